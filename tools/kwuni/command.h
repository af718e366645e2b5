// What every subcommand of the kwuni tool shares: its signature, its errors and text output.
#pragma once

#include <kwuni/win32.h>

#include <optional>
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
int localeCommand(std::span<const std::string_view> args);
int tablesCommand(std::span<const std::string_view> args);
int fieldCommand(std::span<const std::string_view> args);
int renderCommand(std::span<const std::string_view> args);
int traceCommand(std::span<const std::string_view> args);

// The value of a numeric option, within low..high; a UsageError naming the option otherwise.
int numberOption(std::string_view option, std::string_view text, int low, int high);

// Bytes of the UTF-8 character that starts with lead; 0 when no character starts with it.
std::size_t utf8Length(unsigned char lead);

// One character of UTF-8 text from `text` at `at`, which it moves past. Nothing for bytes that
// are not UTF-8 (overlong forms and surrogates included).
std::optional<char32_t> nextUtf8(std::string_view text, std::size_t& at);

// UTF-8 form of a terminated UTF-16 text; unpaired surrogates become U+FFFD.
std::string toUtf8(const WCHAR* text);

// The text as a JSON string literal, quotes included.
std::string jsonString(std::string_view utf8);

}  // namespace kwuni::cli
