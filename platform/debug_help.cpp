#include "platform/debug_help.h"

#define UNW_LOCAL_ONLY
#include <cxxabi.h>
#include <elfutils/libdwfl.h>
#include <libunwind.h>
#include <unistd.h>
#include <unwind.h>

#include <cstdlib>
#include <memory>
#include <mutex>

namespace sys {

struct StackWalk {
  CONTEXT* context = nullptr;
  unsigned next = 0;  // the next recorded frame, when the context has them
  unw_cursor_t cursor{};
};

namespace {

struct Capture {
  CONTEXT* context;
  unsigned seen;
};

_Unwind_Reason_Code captureFrame(_Unwind_Context* unwind, void* state) {
  auto& capture = *static_cast<Capture*>(state);
  CONTEXT& context = *capture.context;
  if (capture.seen++ == 0) return _URC_NO_REASON;  // captureContext itself
  const std::uintptr_t ip = _Unwind_GetIP(unwind);
  if (ip == 0 || context.frameCount == CONTEXT::maxFrames) return _URC_END_OF_STACK;
  context.frames[context.frameCount++] = ip - 1;  // inside the call, not after it
  return _URC_NO_REASON;
}

// The symbol handler of the process: libdwfl over the modules the process has mapped.
class Symbols {
 public:
  ~Symbols() {
    if (dwfl_ != nullptr) dwfl_end(dwfl_);
  }

  bool ready() {
    std::call_once(once_, [this] { dwfl_ = open(); });
    return dwfl_ != nullptr;
  }

  // The module holding the address; the process's modules are read again once when none does,
  // for libraries loaded since.
  Dwfl_Module* module(std::uintptr_t address) {
    if (!ready()) return nullptr;
    if (Dwfl_Module* found = dwfl_addrmodule(dwfl_, address)) return found;
    dwfl_report_begin_add(dwfl_);
    dwfl_linux_proc_report(dwfl_, getpid());
    dwfl_report_end(dwfl_, nullptr, nullptr);
    return dwfl_addrmodule(dwfl_, address);
  }

  std::mutex lock;

 private:
  static Dwfl* open() {
    static const Dwfl_Callbacks callbacks = {dwfl_linux_proc_find_elf, dwfl_standard_find_debuginfo, nullptr,
                                             nullptr};
    Dwfl* dwfl = dwfl_begin(&callbacks);
    if (dwfl == nullptr) return nullptr;
    dwfl_report_begin(dwfl);
    const int failed = dwfl_linux_proc_report(dwfl, getpid());
    if (dwfl_report_end(dwfl, nullptr, nullptr) != 0 || failed != 0) {
      dwfl_end(dwfl);
      return nullptr;
    }
    return dwfl;
  }

  std::once_flag once_;
  Dwfl* dwfl_ = nullptr;
};

Symbols& symbols() {
  static Symbols process;
  return process;
}

// "ns::f<int>(int) const" as "ns::f<int>": the name without its parameter list and qualifiers.
std::string withoutParameters(std::string name) {
  std::size_t end = name.size();
  while (end > 0 && name[end - 1] != ')') {
    // Qualifiers after the parameters (" const", " &&"); a name with no parameters stays.
    if (name[end - 1] == '>' || name.find(')') == std::string::npos) return name;
    --end;
  }
  int depth = 0;
  for (std::size_t i = end; i-- > 0;) {
    if (name[i] == ')') ++depth;
    if (name[i] == '(' && --depth == 0) return name.substr(0, i);
  }
  return name;
}

std::string demangled(const char* symbol) {
  int status = 0;
  const std::unique_ptr<char, decltype(&std::free)> readable(abi::__cxa_demangle(symbol, nullptr, nullptr, &status),
                                                             std::free);
  return status == 0 && readable ? withoutParameters(readable.get()) : std::string(symbol);
}

}  // namespace

void captureContext(CONTEXT& context) {
  context.frameCount = 0;
  getcontext(&context.registers);
  Capture capture{&context, 0};
  _Unwind_Backtrace(captureFrame, &capture);
}

StackWalk* newStackWalk() { return new StackWalk; }

void deleteStackWalk(StackWalk* walk) { delete walk; }

bool stackFirst(StackWalk& walk, CONTEXT* context, std::uintptr_t& address) {
  walk.context = context;
  walk.next = 0;
  if (context->frameCount == 0) {
    // No recorded frames: unwind the stack the registers describe, which must still be live.
    if (unw_init_local(&walk.cursor, reinterpret_cast<unw_context_t*>(&context->registers)) != 0) return false;
    unw_word_t ip = 0;
    unw_get_reg(&walk.cursor, UNW_REG_IP, &ip);
    address = ip;
    return ip != 0 && !moduleFileName(address).empty();
  }
  return stackNext(walk, address);
}

bool stackNext(StackWalk& walk, std::uintptr_t& address) {
  if (walk.context == nullptr) return false;
  if (walk.context->frameCount > 0) {
    if (walk.next >= walk.context->frameCount) return false;
    address = walk.context->frames[walk.next++];
  } else {
    if (unw_step(&walk.cursor) <= 0) return false;
    unw_word_t ip = 0;
    unw_get_reg(&walk.cursor, UNW_REG_IP, &ip);
    if (ip == 0) return false;
    address = unw_is_signal_frame(&walk.cursor) > 0 ? ip : ip - 1;
  }
  return !moduleFileName(address).empty();
}

bool symbolsReady() { return symbols().ready(); }

std::string moduleFileName(std::uintptr_t address) {
  const std::lock_guard guard(symbols().lock);
  Dwfl_Module* module = symbols().module(address);
  if (module == nullptr) return {};
  // The name the module was reported by: its path in the process's memory map.
  const char* path = dwfl_module_info(module, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  return path != nullptr ? path : "";
}

bool symbolAt(std::uintptr_t address, std::string& name, std::uintptr_t& offset) {
  const std::lock_guard guard(symbols().lock);
  Dwfl_Module* module = symbols().module(address);
  if (module == nullptr) return false;
  GElf_Off symbolOffset = 0;
  GElf_Sym symbol{};
  const char* found = dwfl_module_addrinfo(module, address, &symbolOffset, &symbol, nullptr, nullptr, nullptr);
  if (found == nullptr) return false;
  name = demangled(found);
  offset = symbolOffset;
  return true;
}

bool lineAt(std::uintptr_t address, std::string& file, unsigned& line, std::uintptr_t& offset) {
  const std::lock_guard guard(symbols().lock);
  Dwfl_Module* module = symbols().module(address);
  Dwfl_Line* found = module != nullptr ? dwfl_module_getsrc(module, address) : nullptr;
  if (found == nullptr) return false;
  Dwarf_Addr lineAddress = 0;
  int lineNumber = 0;
  const char* source = dwfl_lineinfo(found, &lineAddress, &lineNumber, nullptr, nullptr, nullptr);
  // Line records of functions the linker dropped keep address 0, the module's first byte, which
  // is its file header and never code.
  Dwarf_Addr moduleStart = 0;
  dwfl_module_info(module, nullptr, &moduleStart, nullptr, nullptr, nullptr, nullptr, nullptr);
  if (source == nullptr || lineAddress > address || lineAddress <= moduleStart) return false;
  file = source;
  line = static_cast<unsigned>(lineNumber);
  offset = address - lineAddress;
  return true;
}

}  // namespace sys
