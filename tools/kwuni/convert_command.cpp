// kwuni convert -f FROM -t TO [-o OUTPUT] [--lines] [--record N] [--strict] [--stats] [FILE...]:
// host data to and from Unicode, read and written a chunk at a time.

#include "tools/kwuni/command.h"
#include "tools/kwuni/encodings.h"
#include "tools/kwuni/transcoding.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace kwuni::cli {
namespace {

constexpr std::size_t chunkSize = std::size_t{1} << 20;
constexpr std::size_t largestRecord = std::size_t{1} << 20;
constexpr std::size_t mostInputs = 0xFFFF;

constexpr const char* help =
    "usage: kwuni convert -f FROM -t TO [-o OUTPUT] [--lines | --record N] [--strict] [--stats] [FILE...]\n"
    "\n"
    "Convert host data to or from Unicode. Each FILE is read in turn (standard input when none is\n"
    "given, and for '-') and decoded on its own; their texts are joined into standard output or\n"
    "OUTPUT.\n"
    "\n"
    "FROM and TO (case is ignored):\n"
    "  37, IBM-37, IBM037, CCSID37   an EBCDIC CCSID (see 'kwuni list ccsid'). In a mixed CCSID such\n"
    "                                as 930, shift-out 0x0E and shift-in 0x0F bracket double-byte runs;\n"
    "                                13488 is host data in UTF-16, big-endian\n"
    "  UTF-8, UTF-16LE, UTF-16BE\n"
    "  cp1252, windows-1252, cp932   a Windows code page\n"
    "\n"
    "options:\n"
    "  -o, --output OUTPUT  write OUTPUT; it is replaced only when the whole conversion succeeds\n"
    "  --lines              the host new-line 0x15 (NEL) reads as LF, and LF or CR LF is written\n"
    "                       as 0x15\n"
    "  --record N           host data in fixed-length records of N bytes. Read, each record becomes\n"
    "                       a line without its trailing spaces (0x40), and a short last record is\n"
    "                       accepted. Written, each line becomes one record padded with 0x40, its\n"
    "                       double-byte run closed within it; a line that needs more than N bytes\n"
    "                       is an error\n"
    "  --strict             a character that has no mapping (or invalid UTF-8, or an unpaired\n"
    "                       surrogate) is an error naming its byte offset in the input, instead\n"
    "                       of being replaced by a substitute\n"
    "  --stats              report the characters converted and substituted on standard error\n"
    "\n"
    "Substitutes: written to host data, '?' (0x6F; 0x40 in CCSID 933); read from mixed host data,\n"
    "a space (U+3000 for a double-byte code); read from other host data and code pages, '?';\n"
    "for invalid UTF-8 read and unpaired surrogates written as UTF-8, U+FFFD.\n";

struct Options {
  std::string from, to;
  std::optional<std::string> output;
  HostLayout layout;
  bool strict = false;
  bool stats = false;
  bool help = false;
  std::vector<std::string> inputs;
};

std::size_t recordLength(std::string_view value) {
  std::size_t n = 0;
  bool valid = !value.empty() && value.size() <= 8;
  for (const char c : value) {
    valid = valid && c >= '0' && c <= '9';
    if (valid) n = n * 10 + static_cast<std::size_t>(c - '0');
  }
  if (!valid || n == 0 || n > largestRecord) {
    throw UsageError("--record needs a length from 1 to " + std::to_string(largestRecord) + " bytes, not '" +
                     std::string(value) + "'");
  }
  return n;
}

Options parseOptions(std::span<const std::string_view> args) {
  Options o;
  bool onlyFiles = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (onlyFiles || arg == "-" || !arg.starts_with("-")) {
      o.inputs.emplace_back(arg);
      continue;
    }
    std::optional<std::string_view> attached;  // --name=value
    if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
      attached = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
    }
    const auto value = [&]() -> std::string {
      if (attached) return std::string(*attached);
      if (i + 1 >= args.size()) throw UsageError(std::string(arg) + " needs a value");
      return std::string(args[++i]);
    };
    const auto flag = [&]() {
      if (attached) throw UsageError(std::string(arg) + " takes no value");
      return true;
    };
    if (arg == "--") {
      onlyFiles = true;
    } else if (arg == "-f" || arg == "--from") {
      o.from = value();
    } else if (arg == "-t" || arg == "--to") {
      o.to = value();
    } else if (arg == "-o" || arg == "--output") {
      o.output = value();
      if (o.output->empty()) throw UsageError("-o needs a file name");
    } else if (arg == "--record") {
      o.layout.record = recordLength(value());
    } else if (arg == "--lines") {
      o.layout.lines = flag();
    } else if (arg == "--strict") {
      o.strict = flag();
    } else if (arg == "--stats") {
      o.stats = flag();
    } else if (arg == "-h" || arg == "--help") {
      o.help = true;
    } else {
      throw UsageError("unknown option '" + std::string(arg) + "' for convert");
    }
  }
  if (o.help) return o;
  if (o.from.empty() || o.to.empty()) throw UsageError("convert needs -f FROM and -t TO");
  if (o.layout.lines && o.layout.record != 0) throw UsageError("--lines and --record exclude each other");
  if (o.inputs.size() > mostInputs) throw UsageError("convert reads at most " + std::to_string(mostInputs) + " files");
  return o;
}

void checkLayout(const Options& o, const Encoding& from, const Encoding& to) {
  const char* option = o.layout.lines ? "--lines" : o.layout.record != 0 ? "--record" : nullptr;
  if (option == nullptr) return;
  if (!from.host() && !to.host()) {
    throw UsageError(std::string(option) + " is for host data, but neither side is a CCSID");
  }
  const bool unicodeHost = from.kind == Encoding::Kind::unicodeHost || to.kind == Encoding::Kind::unicodeHost;
  if (unicodeHost && o.layout.record % 2 != 0) {
    throw UsageError("records of CCSID 13488 hold whole UTF-16 code units: --record needs an even length");
  }
}

// A file or standard input, read in whole chunks.
class Input {
 public:
  explicit Input(const std::string& name) : name_(name == "-" ? "standard input" : name) {
    if (name == "-") return;
    fd_ = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw Failure(name_ + ": cannot open: " + std::strerror(errno));
  }
  ~Input() {
    if (fd_ != STDIN_FILENO) ::close(fd_);
  }
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;

  const std::string& name() const { return name_; }

  // Fills the buffer, stopping short only at the end of the input.
  std::size_t read(BYTE* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = ::read(fd_, buffer + done, size - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw Failure(name_ + ": cannot read: " + std::strerror(errno));
      if (n == 0) break;
      done += static_cast<std::size_t>(n);
    }
    return done;
  }

 private:
  std::string name_;
  int fd_ = STDIN_FILENO;
};

// The temporary file beside OUTPUT, removed if the process is stopped by a signal.
char pendingTemporary[4096];

void removeTemporaryAndStop(int signal) {
  if (pendingTemporary[0] != 0) ::unlink(pendingTemporary);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

// OUTPUT is written to a temporary file in its directory and renamed over it only on success,
// so that a failed run leaves no partial file and an existing OUTPUT as it was.
class OutputFile {
 public:
  explicit OutputFile(const std::string& path) : path_(path) {
    struct stat existing {};
    const bool exists = ::stat(path.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) throw Failure(path + ": is a directory");
    const auto slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    temporary_ = (slash == std::string::npos ? "" : dir) + "." + base + ".kwuni-XXXXXX";
    if (temporary_.size() >= sizeof pendingTemporary) throw Failure(path + ": the file name is too long");
    fd_ = ::mkstemp(temporary_.data());
    if (fd_ < 0) throw Failure(path + ": cannot create a temporary file in " + dir + ": " + std::strerror(errno));
    std::memcpy(pendingTemporary, temporary_.c_str(), temporary_.size() + 1);
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) std::signal(s, removeTemporaryAndStop);
    // The permissions the file has, or those a new file gets.
    mode_t mode = existing.st_mode & 07777;
    if (!exists) {
      const mode_t mask = ::umask(0);
      ::umask(mask);
      mode = 0666 & ~mask;
    }
    ::fchmod(fd_, mode);
  }

  ~OutputFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_) ::unlink(temporary_.c_str());
    pendingTemporary[0] = 0;
  }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  int fd() const { return fd_; }

  void commit() {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) throw Failure(path_ + ": cannot write: " + std::strerror(errno));
    if (::rename(temporary_.c_str(), path_.c_str()) != 0) {
      throw Failure(path_ + ": cannot replace: " + std::strerror(errno));
    }
    committed_ = true;
  }

 private:
  std::string path_;
  std::string temporary_;
  int fd_ = -1;
  bool committed_ = false;
};

// Counts characters as the text passes, a surrogate pair as one even when a chunk splits it.
class CharacterCount {
 public:
  void add(const std::u16string& units, Tally& tally) {
    std::uint64_t n = units.size();
    for (const char16_t u : units) {
      if (isLowSurrogate(u) && afterHigh_) --n;
      afterHigh_ = isHighSurrogate(u);
    }
    tally.converted(n);
  }

 private:
  bool afterHigh_ = false;
};

// Decodes one input a chunk at a time and hands the text to the encoder. A chunk begins with
// the bytes the previous one left unused, after one byte of room that a decoder may use.
void convertInput(Input& in, Decoder& decoder, Encoder& encoder, Tally& tally, ByteSink& out, CharacterCount* count) {
  tally.beginInput(in.name());
  encoder.beginInput();
  const Position start = positionOf(tally.inputIndex(), 0);
  std::vector<BYTE> buffer(1 + chunkSize);
  std::uint64_t offset = 0;  // of the first byte after the room
  std::size_t held = 0;
  Text text;
  for (bool last = false; !last;) {
    if (buffer.size() < 1 + held + chunkSize) buffer.resize(1 + held + chunkSize);
    BYTE* data = buffer.data() + 1;
    const std::size_t got = in.read(data + held, chunkSize);
    last = got < chunkSize;
    const std::size_t length = held + got;
    const std::size_t used = decoder.decode(data, length, start + offset, last, text);
    if (count != nullptr) count->add(text.units, tally);
    encoder.encode(text, out);
    text.clear();
    held = length - used;
    std::memmove(data, data + used, held);
    offset += used;
  }
}

}  // namespace

int convertCommand(std::span<const std::string_view> args) {
  const Options o = parseOptions(args);
  if (o.help) {
    std::fputs(help, stdout);
    return exitOk;
  }
  const Encoding from = parseEncoding(o.from);
  const Encoding to = parseEncoding(o.to);
  checkLayout(o, from, to);

  Tally tally(o.strict, o.stats);
  const auto decoder = makeDecoder(from, o.layout, tally);
  const auto encoder = makeEncoder(to, o.layout, tally);
  std::optional<OutputFile> file;
  if (o.output) file.emplace(*o.output);
  ByteSink sink(file ? file->fd() : STDOUT_FILENO, file ? *o.output : "standard output");
  CharacterCount count;

  const std::vector<std::string> inputs = o.inputs.empty() ? std::vector<std::string>{"-"} : o.inputs;
  for (const auto& name : inputs) {
    Input in(name);
    convertInput(in, *decoder, *encoder, tally, sink, o.stats ? &count : nullptr);
  }
  encoder->finish(sink);
  sink.flush();
  if (file) file->commit();
  if (o.stats) {
    std::fprintf(stderr, "kwuni: %llu characters converted, %llu substituted\n",
                 static_cast<unsigned long long>(tally.characters()),
                 static_cast<unsigned long long>(tally.substitutions()));
  }
  return exitOk;
}

}  // namespace kwuni::cli
