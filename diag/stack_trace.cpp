// Symbolic stack traces: a walk over a context's frames, each written by a format text.

#include <kwuni/diag.h>

#include "platform/debug_help.h"
#include "platform/faults.h"

#include <algorithm>
#include <cstring>
#include <ostream>
#include <string>

namespace {

constexpr unsigned textSize = 512;

// Copies text into buffer, cut to size - 1 and terminated; the length copied.
unsigned copyCut(const std::string& text, char* buffer, unsigned size) {
  const auto length = static_cast<unsigned>(std::min<std::size_t>(text.size(), size - 1));
  std::memcpy(buffer, text.data(), length);
  buffer[length] = 0;
  return length;
}

bool writable(void* pointer, std::size_t size) { return sys::IsBadWritePtr(pointer, size) == FALSE; }

// What one frame's format sequences show, each looked up once, when first needed.
class FrameText {
 public:
  explicit FrameText(sym_engine& engine) : engine_(engine) {}

  void write(std::ostream& out, const char* format) {
    for (const char* at = format; *at != 0; ++at) {
      if (*at != '%') {
        out << *at;
        continue;
      }
      const char what = at[1];
      if (what == 0) {
        out << '%';
        break;
      }
      ++at;
      const bool displacement = at[1] == 'd' && (what == 's' || what == 'l');
      if (displacement) ++at;
      switch (what) {
        case '%': out << '%'; break;
        case 'm':
          out << (engine_.module(module_, textSize) != 0 ? module_ : "?.?");
          break;
        case 's':
          lookUpSymbol();
          if (displacement) {
            out << symbolDisplacement_;
          } else {
            out << (symbol_[0] != 0 ? symbol_ : "?()");
          }
          break;
        case 'f':
          lookUpLine();
          out << (file_[0] != 0 ? file_ : " ");
          break;
        case 'l':
          lookUpLine();
          out << (displacement ? lineDisplacement_ : line_);
          break;
        default: out << '%' << what; break;
      }
    }
  }

 private:
  void lookUpSymbol() {
    if (symbolDone_) return;
    symbolDone_ = true;
    if (engine_.symbol(symbol_, textSize, &symbolDisplacement_) == 0) {
      symbol_[0] = 0;
      symbolDisplacement_ = 0;
    }
  }
  void lookUpLine() {
    if (lineDone_) return;
    lineDone_ = true;
    if (engine_.fileline(file_, textSize, &line_, &lineDisplacement_) == 0) {
      file_[0] = 0;
      line_ = lineDisplacement_ = 0;
    }
  }

  sym_engine& engine_;
  char module_[textSize] = {};
  char symbol_[textSize] = {};
  char file_[textSize] = {};
  unsigned symbolDisplacement_ = 0;
  unsigned line_ = 0;
  unsigned lineDisplacement_ = 0;
  bool symbolDone_ = false;
  bool lineDone_ = false;
};

}  // namespace

sym_engine::sym_engine() = default;

sym_engine::sym_engine(std::uintptr_t address) : address_(address) {}

sym_engine::~sym_engine() { sys::deleteStackWalk(frame_); }

bool sym_engine::check() {
  if (!ready_) ready_ = sys::symbolsReady();
  return ready_;
}

bool sym_engine::stack_first(CONTEXT* context) {
  if (context == nullptr || sys::IsBadReadPtr(context, sizeof(CONTEXT)) != FALSE || !check()) return false;
  if (frame_ == nullptr) frame_ = sys::newStackWalk();
  context_ = context;
  return sys::stackFirst(*frame_, context_, address_);
}

bool sym_engine::stack_next() {
  if (frame_ == nullptr || context_ == nullptr || !ready_) return false;
  return sys::stackNext(*frame_, address_);
}

unsigned sym_engine::module(char* buffer, unsigned size) {
  if (buffer == nullptr || size == 0 || !writable(buffer, size) || !check()) return 0;
  const std::string path = sys::moduleFileName(address_);
  if (path.empty()) return 0;
  return copyCut(path.substr(path.rfind('/') + 1), buffer, size);
}

unsigned sym_engine::symbol(char* buffer, unsigned size, unsigned* displacement) {
  if (buffer == nullptr || size == 0 || !writable(buffer, size) ||
      (displacement != nullptr && !writable(displacement, sizeof *displacement)) || !check()) {
    return 0;
  }
  std::string name;
  std::uintptr_t offset = 0;
  if (!sys::symbolAt(address_, name, offset)) return 0;
  if (displacement != nullptr) *displacement = static_cast<unsigned>(offset);
  return copyCut(name + "()", buffer, size);
}

unsigned sym_engine::fileline(char* buffer, unsigned size, unsigned* line, unsigned* displacement) {
  if (buffer == nullptr || size == 0 || !writable(buffer, size) || (line != nullptr && !writable(line, sizeof *line)) ||
      (displacement != nullptr && !writable(displacement, sizeof *displacement)) || !check()) {
    return 0;
  }
  // An address with no line of its own (padding, say) takes the line of an address before it,
  // at most 99 bytes back; the offset then counts the bytes stepped back.
  constexpr std::uintptr_t furthestBack = 99;
  for (std::uintptr_t back = 0; back <= furthestBack && back <= address_; ++back) {
    std::string file;
    unsigned number = 0;
    std::uintptr_t offset = 0;
    if (!sys::lineAt(address_ - back, file, number, offset)) continue;
    if (file.empty()) return 0;
    if (line != nullptr) *line = number;
    if (displacement != nullptr) *displacement = static_cast<unsigned>(back == 0 ? offset : back);
    return copyCut(file, buffer, size);
  }
  return 0;
}

bool sym_engine::stack_trace(std::ostream& out, sym_engine& engine, CONTEXT* context, unsigned int skip,
                             const char* format) {
  if (format == nullptr || !engine.stack_first(context)) return false;
  out << std::dec;
  do {
    if (skip > 0) {
      --skip;
    } else {
      FrameText(engine).write(out, format);
    }
  } while (out.good() && engine.stack_next());
  return true;
}

[[gnu::noinline]] bool sym_engine::stack_trace(std::ostream& out, unsigned int skip, const char* format) {
  if (format == nullptr) return false;
  CONTEXT context;
  sys::captureContext(context);  // its first frame is this function
  sym_engine engine;
  stack_trace(out, engine, &context, skip, format);
  return true;
}

bool sym_engine::stack_trace(std::ostream& out, CONTEXT* context, unsigned int skip, const char* format) {
  if (format == nullptr) return false;
  sym_engine engine;
  return stack_trace(out, engine, context, skip, format);
}
