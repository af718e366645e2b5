// What every subcommand of the kwuni tool shares: its signature, its errors and text output.
#pragma once

#include <kwuni/win32.h>

#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kwuni::cli {

// Exit statuses of the tool.
inline constexpr int exitOk = 0;
inline constexpr int exitFailure = 1;  // the input or the system failed
inline constexpr int exitUsage = 2;    // the command line is wrong

// A wrong command line: reported on one line with a hint to --help, exit status 2.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A failure of the work itself: reported on one line, exit status 1.
struct Failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A subcommand receives the arguments after its name and returns the exit status.
using Command = int (*)(std::span<const std::string_view> args);

int convertCommand(std::span<const std::string_view> args);
int listCommand(std::span<const std::string_view> args);
int tablesCommand(std::span<const std::string_view> args);
int fieldCommand(std::span<const std::string_view> args);

// UTF-8 form of a terminated UTF-16 text; unpaired surrogates become U+FFFD.
std::string toUtf8(const WCHAR* text);

// Writes the UTF-8 form of a code point (one to four bytes) at p and returns the end.
inline BYTE* putUtf8(char32_t c, BYTE* p) {
  if (c < 0x80) {
    *p++ = static_cast<BYTE>(c);
  } else if (c < 0x800) {
    *p++ = static_cast<BYTE>(0xC0 | c >> 6);
    *p++ = static_cast<BYTE>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *p++ = static_cast<BYTE>(0xE0 | c >> 12);
    *p++ = static_cast<BYTE>(0x80 | (c >> 6 & 0x3F));
    *p++ = static_cast<BYTE>(0x80 | (c & 0x3F));
  } else {
    *p++ = static_cast<BYTE>(0xF0 | c >> 18);
    *p++ = static_cast<BYTE>(0x80 | (c >> 12 & 0x3F));
    *p++ = static_cast<BYTE>(0x80 | (c >> 6 & 0x3F));
    *p++ = static_cast<BYTE>(0x80 | (c & 0x3F));
  }
  return p;
}

// The text as a JSON string literal, quotes included.
std::string jsonString(std::string_view utf8);

}  // namespace kwuni::cli
