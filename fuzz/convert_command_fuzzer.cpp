// kwuni convert's option and input handling: the input is a NUL-separated argument list, an
// empty argument ending it, then the bytes of the one input file. Whatever it holds, convert
// answers with an exit status or one of the tool's errors, never a crash. Output goes nowhere,
// and options that would write files or read standard input are left out.

#include "fuzz/fuzz_support.h"
#include "tools/kwuni/command.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The scratch file that stands for the input, made once per process.
const std::string& inputFile() {
  static const std::string path = [] {
    char name[] = "/tmp/kwuni-convert-fuzz-XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd < 0) std::abort();
    ::close(fd);
    // Converted text is of no interest: standard output goes nowhere.
    const int null = ::open("/dev/null", O_WRONLY);
    if (null < 0 || ::dup2(null, STDOUT_FILENO) < 0) std::abort();
    ::close(null);
    return std::string(name);
  }();
  return path;
}

void writeInput(const std::uint8_t* data, std::size_t size) {
  const int fd = ::open(inputFile().c_str(), O_WRONLY | O_TRUNC);
  if (fd < 0) std::abort();
  for (std::size_t done = 0; done < size;) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0) std::abort();
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kwuni::fuzz::useBuildTables();
  std::vector<std::string> words;
  std::size_t at = 0;
  while (at < size && words.size() < 16) {
    std::size_t end = at;
    while (end < size && data[end] != 0) ++end;
    if (end == at) {  // an empty argument ends the list
      ++at;
      break;
    }
    words.emplace_back(reinterpret_cast<const char*>(data + at), end - at);
    at = end + 1;
  }
  if (at > size) at = size;
  writeInput(data + at, size - at);

  std::vector<std::string_view> args;
  bool skipValue = false;
  for (const std::string& word : words) {
    if (skipValue) {
      skipValue = false;
      continue;
    }
    if (word == "-o" || word == "--output") {
      skipValue = true;
      continue;
    }
    if (word.starts_with("--output=") || word == "-" || (!word.starts_with("-") && word.find('/') != std::string::npos)) {
      continue;
    }
    args.emplace_back(word);
  }
  args.emplace_back("--");
  args.emplace_back(inputFile());
  try {
    const int status = kwuni::cli::convertCommand(args);
    kwuni::fuzz::require(status == kwuni::cli::exitOk);
  } catch (const kwuni::cli::UsageError&) {
  } catch (const kwuni::cli::Failure&) {
  }
  return 0;
}
