// kwuni field [--ccsid N] [--kind KIND] [--length N] [--keys TEXT]: edit one host input field,
// in the terminal or from a scripted key sequence, and show its cells and host bytes.

#include <kwuni/catalogue.h>
#include <kwuni/dbcs.h>
#include <kwuni/ebcdic.h>

#include "tools/kwuni/command.h"
#include "tools/kwuni/field_editor.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace kwuni::cli {
namespace {

constexpr int longestField = 3564;  // a 27 x 132 screen

constexpr const char* fieldUsage =
    "usage: kwuni field [--ccsid N] [--kind KIND] [--length N] [--keys TEXT]\n"
    "\n"
    "Edit one host input field the way a terminal does, then show its cells, the free space at\n"
    "the cursor and the field's host bytes.\n"
    "\n"
    "  --ccsid N     the field's host CCSID (default 930); 13488 for a Unicode field\n"
    "  --kind KIND   where double-byte text may stand (default open):\n"
    "                  only    double-byte only, SO in the first cell and SI in the last\n"
    "                  pure    double-byte only, no shift marks\n"
    "                  either  all double-byte (between SO and SI) or all single-byte\n"
    "                  open    single-byte text with double-byte runs between SO and SI\n"
    "                  none    single-byte only\n"
    "  --length N    cells in the field, 1 to 3564 (default 40)\n"
    "  --keys TEXT   run the keys of TEXT instead of reading the terminal\n"
    "\n"
    "Keys of TEXT: UTF-8 text is typed at the cursor (overwriting, until \\i), and\n"
    "  \\i  toggle insert/overwrite     \\d  delete the character at the cursor\n"
    "  \\b  delete the one before it    \\l  \\r  move the cursor left, right one character\n"
    "  \\h  to the first cell           \\e  to the cell after the data\n"
    "  \\\\  type a backslash\n"
    "In the terminal: text, Insert (or Ctrl-T), Delete, Backspace, the arrows, Home and End;\n"
    "Enter, Esc or Ctrl-D ends and prints the field.\n"
    "\n"
    "Output: the cells (« shift-out, » shift-in, · an empty cell; a full-width character covers\n"
    "its second cell), the cursor, the mode, the free space at the cursor, how many keys the\n"
    "field refused, and the host bytes in hex (0E and 0F for the shift marks, 00 for an empty\n"
    "cell).\n"
    "Exit status: 0 once the keys have run (refused keys included), 1 when the CCSID's table\n"
    "cannot be read, 2 for a wrong command line or key text.\n";

struct FieldOptions {
  short ccsid = 930;
  velmora::DbcsType kind = velmora::DbcsOpen;
  int length = 40;
  std::optional<std::string_view> keys;
};

velmora::DbcsType kindNamed(std::string_view name) {
  if (name == "only") return velmora::DbcsOnly;
  if (name == "pure") return velmora::DbcsPure;
  if (name == "either") return velmora::DbcsEither;
  if (name == "open") return velmora::DbcsOpen;
  if (name == "none") return velmora::DbcsNone;
  throw UsageError("unknown field kind '" + std::string(name) + "' (expected only, pure, either, open or none)");
}

FieldOptions parse(std::span<const std::string_view> args) {
  FieldOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const auto arg = args[i];
    auto value = [&]() {
      if (i + 1 >= args.size()) throw UsageError(std::string(arg) + " needs a value");
      return args[++i];
    };
    if (arg == "--ccsid") {
      options.ccsid = static_cast<short>(numberOption(arg, value(), 1, 65535));
    } else if (arg == "--kind") {
      options.kind = kindNamed(value());
    } else if (arg == "--length") {
      options.length = numberOption(arg, value(), 1, longestField);
    } else if (arg == "--keys") {
      options.keys = value();
    } else if (arg.starts_with("-")) {
      throw UsageError("unknown option '" + std::string(arg) + "' for field");
    } else {
      throw UsageError("unexpected argument '" + std::string(arg) + "' for field");
    }
  }
  const int ccsid = static_cast<unsigned short>(options.ccsid);
  if (!KW_IsUnicodeCodePage(ccsid)) {
    if (!KW_IsECP(ccsid)) {
      throw UsageError("CCSID " + std::to_string(ccsid) + " is not a host CCSID (see kwuni list ccsid)");
    }
    if (!velmora::EBCDICTranscoders::hasTranscoder(options.ccsid)) {
      throw Failure("the translation table of CCSID " + std::to_string(ccsid) + " cannot be read (see kwuni tables)");
    }
  }
  return options;
}

std::string hexCode(char32_t c) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
  return text;
}

// A character to type into the field: within UTF-16's basic plane (a cell holds one code unit)
// and not a control character.
Key typed(char32_t c, const std::string& where) {
  if (c > 0xFFFF) {
    throw UsageError(hexCode(c) + " " + where + " lies beyond U+FFFF: a field cell holds one UTF-16 unit");
  }
  if (c < 0x20 || c == 0x7F) {
    throw UsageError("control character " + hexCode(c) + " " + where + ": use the escapes of --help");
  }
  return {KeyAction::type, static_cast<WCHAR>(c)};
}

// The keys of a --keys script: UTF-8 text is typed, and a backslash starts an escape.
std::vector<Key> scriptKeys(std::string_view script) {
  std::vector<Key> keys;
  std::size_t at = 0;
  while (at < script.size()) {
    const std::size_t start = at;
    const std::string where = "at byte " + std::to_string(start + 1) + " of --keys";
    if (script[at] == '\\') {
      if (at + 1 >= script.size()) throw UsageError("--keys ends inside an escape (a lone '\\')");
      const char escape = script[at + 1];
      at += 2;
      switch (escape) {
        case 'i': keys.push_back({KeyAction::toggleInsert}); break;
        case 'd': keys.push_back({KeyAction::deleteHere}); break;
        case 'b': keys.push_back({KeyAction::deleteBefore}); break;
        case 'l': keys.push_back({KeyAction::left}); break;
        case 'r': keys.push_back({KeyAction::right}); break;
        case 'h': keys.push_back({KeyAction::home}); break;
        case 'e': keys.push_back({KeyAction::end}); break;
        case '\\': keys.push_back({KeyAction::type, u'\\'}); break;
        default:
          throw UsageError("unknown escape '\\" + std::string(1, escape) + "' " + where + " (see kwuni field --help)");
      }
      continue;
    }
    const auto c = nextUtf8(script, at);
    if (!c) throw UsageError("invalid UTF-8 " + where);
    keys.push_back(typed(*c, where));
  }
  return keys;
}

const char* kindName(velmora::DbcsType kind) {
  switch (kind) {
    case velmora::DbcsOnly: return "only";
    case velmora::DbcsPure: return "pure";
    case velmora::DbcsEither: return "either";
    case velmora::DbcsOpen: return "open";
    case velmora::DbcsNone: return "none";
  }
  return "?";
}

void report(const FieldEditor& editor, const FieldOptions& options) {
  std::printf("field    CCSID %d, kind %s, %d cells\n", static_cast<unsigned short>(options.ccsid),
              kindName(options.kind), options.length);
  std::printf("cells    %s\n", editor.cells().c_str());
  std::printf("cursor   %d\n", editor.cursor());
  std::printf("mode     %s\n", editor.inserting() ? "insert" : "overwrite");
  std::printf("free     %d\n", editor.freeSpace());
  std::printf("refused  %d\n", editor.refused());
  std::printf("host     %s\n", editor.hostBytes().c_str());
}

// ---- The terminal -------------------------------------------------------------------------------

// Raw input for as long as it lives, on the alternate screen.
class RawTerminal {
 public:
  RawTerminal() {
    if (tcgetattr(STDIN_FILENO, &saved_) != 0) throw Failure("cannot read the terminal's settings");
    termios raw = saved_;
    raw.c_iflag &= ~static_cast<tcflag_t>(BRKINT | ICRNL | INPCK | ISTRIP | IXON);
    raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    raw.c_cflag |= CS8;
    raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | IEXTEN | ISIG);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSAFLUSH, &raw) != 0) throw Failure("cannot put the terminal in raw mode");
    std::fputs("\x1b[?1049h", stdout);
  }
  ~RawTerminal() {
    std::fputs("\x1b[?1049l", stdout);
    std::fflush(stdout);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
  }
  RawTerminal(const RawTerminal&) = delete;
  RawTerminal& operator=(const RawTerminal&) = delete;

  // The next byte, or nothing at the end of input.
  std::optional<unsigned char> read() const {
    unsigned char byte = 0;
    if (::read(STDIN_FILENO, &byte, 1) != 1) return std::nullopt;
    return byte;
  }

  // The next byte if one comes within the time a terminal takes to send an escape sequence.
  std::optional<unsigned char> readSoon() const {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (poll(&input, 1, 50) != 1) return std::nullopt;
    return read();
  }

 private:
  termios saved_{};
};

constexpr const char* cellsPrefix = "cells    ";

void draw(const FieldEditor& editor, const FieldOptions& options) {
  std::printf("\x1b[H\x1b[J");
  std::printf("kwuni field: CCSID %d, kind %s, %d cells\r\n", static_cast<unsigned short>(options.ccsid),
              kindName(options.kind), options.length);
  std::printf("keys: text types, Insert or Ctrl-T toggles insert, Delete, Backspace, arrows, Home, End;\r\n");
  std::printf("      Enter, Esc or Ctrl-D ends\r\n\r\n");
  std::printf("%s%s\r\n", cellsPrefix, editor.cells().c_str());
  std::printf("mode     %s   free %d   refused %d\r\n", editor.inserting() ? "insert   " : "overwrite",
              editor.freeSpace(), editor.refused());
  std::printf("host     %s\r\n", editor.hostBytes().c_str());
  // The cursor: each cell takes one column of the cells line.
  std::printf("\x1b[5;%dH", static_cast<int>(std::string_view(cellsPrefix).size()) + editor.cursor() + 1);
  std::fflush(stdout);
}

// Reads keys until the user ends; bytes of a UTF-8 character are gathered first.
void runTerminal(FieldEditor& editor, const FieldOptions& options) {
  const RawTerminal terminal;
  draw(editor, options);
  std::string pending;
  for (;;) {
    const auto byte = terminal.read();
    if (!byte || *byte == 0x04 || *byte == '\r' || *byte == '\n' || *byte == 0x03) return;
    std::optional<Key> key;
    if (*byte == 0x1B) {
      const auto next = terminal.readSoon();
      if (!next || *next != '[') return;  // Esc alone ends
      std::string sequence;
      for (auto b = terminal.readSoon(); b; b = terminal.readSoon()) {
        sequence += static_cast<char>(*b);
        if (*b >= 0x40 && *b <= 0x7E) break;
      }
      if (sequence == "D") key = Key{KeyAction::left};
      if (sequence == "C") key = Key{KeyAction::right};
      if (sequence == "H" || sequence == "1~") key = Key{KeyAction::home};
      if (sequence == "F" || sequence == "4~") key = Key{KeyAction::end};
      if (sequence == "3~") key = Key{KeyAction::deleteHere};
      if (sequence == "2~") key = Key{KeyAction::toggleInsert};
    } else if (*byte == 0x7F || *byte == 0x08) {
      key = Key{KeyAction::deleteBefore};
    } else if (*byte == 0x14) {
      key = Key{KeyAction::toggleInsert};
    } else if (*byte >= 0x20) {
      pending += static_cast<char>(*byte);
      const std::size_t length = utf8Length(static_cast<unsigned char>(pending[0]));
      if (length == 0 || pending.size() >= length) {
        std::size_t at = 0;
        const auto c = nextUtf8(pending, at);
        if (c && *c <= 0xFFFF && *c != 0x7F) key = Key{KeyAction::type, static_cast<WCHAR>(*c)};
        pending.clear();  // a whole character, or bytes that are none
      }
    }
    if (key) editor.press(*key);
    draw(editor, options);
  }
}

}  // namespace

int fieldCommand(std::span<const std::string_view> args) {
  for (const auto arg : args) {
    if (arg == "--help" || arg == "-h") {
      std::fputs(fieldUsage, stdout);
      return exitOk;
    }
  }
  const FieldOptions options = parse(args);
  FieldEditor editor(options.ccsid, options.kind, options.length);
  if (options.keys) {
    for (const auto& key : scriptKeys(*options.keys)) editor.press(key);
  } else {
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) {
      throw UsageError("field needs a terminal; without one, give the keys with --keys");
    }
    runTerminal(editor, options);
  }
  report(editor, options);
  return exitOk;
}

}  // namespace kwuni::cli
