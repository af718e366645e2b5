// kwuni convert -f FROM -t TO [-o OUTPUT] [--lines] [--record N] [--strict] [--stats] [FILE...]:
// host data to and from Unicode, read and written a chunk at a time.

#include <kwuni/streaming.h>

#include "tools/kwuni/command.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace kwuni::cli {
namespace {

constexpr std::size_t chunkSize = std::size_t{1} << 18;
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
    "  UTF-7                         RFC 2152, every encoded run closed with '-'; read leniently\n"
    "                                (a byte above 0x7F is the character of its value, reported)\n"
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
  kwuni::HostLayout layout;
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
      o.layout.recordLength = recordLength(value());
    } else if (arg == "--lines") {
      o.layout.newLines = flag();
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
  if (o.layout.newLines && o.layout.recordLength != 0) throw UsageError("--lines and --record exclude each other");
  if (o.inputs.size() > mostInputs) throw UsageError("convert reads at most " + std::to_string(mostInputs) + " files");
  return o;
}

void checkLayout(const Options& o, const kwuni::Encoding& from, const kwuni::Encoding& to) {
  const char* option = o.layout.newLines ? "--lines" : o.layout.recordLength != 0 ? "--record" : nullptr;
  if (option == nullptr) return;
  if (!from.isHost() && !to.isHost()) {
    throw UsageError(std::string(option) + " is for host data, but neither side is a CCSID");
  }
  const auto unicodeHost = kwuni::Encoding::Kind::unicodeHost;
  const bool anyUnicodeHost = from.kind() == unicodeHost || to.kind() == unicodeHost;
  if (anyUnicodeHost && o.layout.recordLength % 2 != 0) {
    throw UsageError("records of CCSID 13488 hold whole UTF-16 code units: --record needs an even length");
  }
}

// A file or standard input, taken a chunk at a time into one buffer, which stays in the cache.
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

  // The next chunk of at most `size` bytes, short only at the end of the input.
  std::span<const BYTE> next(std::size_t size) {
    buffer_.resize(size);
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = ::read(fd_, buffer_.data() + done, size - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw Failure(name_ + ": cannot read: " + std::strerror(errno));
      if (n == 0) break;
      done += static_cast<std::size_t>(n);
    }
    return {buffer_.data(), done};
  }

 private:
  std::string name_;
  int fd_ = STDIN_FILENO;
  std::vector<BYTE> buffer_;
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

// Buffered output to a file descriptor, for the converters to write in place.
template <typename Unit>
class FileSink final : public kwuni::Sink<Unit> {
 public:
  void writeTo(int fd, const std::string& name) {
    fd_ = fd;
    name_ = name;
  }

  Unit* reserve(std::size_t n) override {
    if (used_ + n > buffer_.size()) {
      flush();
      if (n > buffer_.size()) buffer_.resize(std::max(n, sinkCapacity));
    }
    return buffer_.data() + used_;
  }
  void commit(std::size_t n) override {
    used_ += n;
    if (used_ >= sinkCapacity) flush();
  }

  // Throws Failure when the system refuses the bytes.
  void flush() {
    std::size_t done = 0;
    while (done < used_) {
      const ssize_t n = ::write(fd_, buffer_.data() + done, used_ - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw Failure(name_ + ": cannot write: " + std::strerror(errno));
      done += static_cast<std::size_t>(n);
    }
    used_ = 0;
  }

 private:
  static constexpr std::size_t sinkCapacity = std::size_t{1} << 18;
  int fd_ = STDOUT_FILENO;
  std::string name_ = "standard output";
  std::vector<Unit> buffer_ = std::vector<Unit>(sinkCapacity);
  std::size_t used_ = 0;
};

// The inputs by name, and where each begins in the stream of an encoder that reads them all.
class Inputs {
 public:
  void begin(std::string name, std::uint64_t offset, std::uint64_t lines) {
    names_.push_back(std::move(name));
    starts_.push_back({offset, lines});
  }
  std::size_t current() const { return names_.size() - 1; }
  const std::string& name(std::size_t input) const { return names_[input]; }
  // "NAME: offset N" of an offset in the current input's stream.
  std::string where(std::uint64_t offset) const { return names_.back() + ": offset " + std::to_string(offset); }
  // The same of an offset in the encoder's stream.
  std::string whereInStream(std::uint64_t offset) const {
    std::size_t input = starts_.size() - 1;
    while (input > 0 && starts_[input].offset > offset) --input;
    return names_[input] + ": offset " + std::to_string(offset - starts_[input].offset);
  }
  std::uint64_t linesBefore() const { return starts_.back().lines; }

 private:
  struct Start {
    std::uint64_t offset;
    std::uint64_t lines;
  };
  std::vector<std::string> names_;
  std::vector<Start> starts_;
};

// Offsets of the text between a decoder and an encoder: the input's number in the high 16 bits,
// the byte offset in it below.
constexpr int inputShift = 48;
constexpr std::uint64_t offsetMask = (std::uint64_t{1} << inputShift) - 1;

// Reads each input a chunk at a time and converts it: decoded straight into UTF-8, encoded
// straight from UTF-8, or decoded into UTF-16 that an encoder writes.
class Conversion {
 public:
  // Throws ConversionError when a translation table cannot be loaded.
  Conversion(const kwuni::Encoding& from, const kwuni::Encoding& to, const kwuni::ConversionOptions& options)
      : strict_(options.stopAtUnmapped) {
    if (to.kind() != Kind::utf8) encoder_.emplace(to, options);
    if (from.kind() != Kind::utf8 || to.kind() == Kind::utf8) decoder_.emplace(from, options);
  }

  void writeTo(int fd, const std::string& name) {
    text_.writeTo(fd, name);
    bytes_.writeTo(fd, name);
  }

  void convert(Input& in) {
    inputs_.begin(in.name(), encoder_ && !decoder_ ? encoder_->offset() : 0, encoder_ ? encoder_->lines() : 0);
    for (bool last = false; !last;) {
      const std::span<const BYTE> chunk = in.next(chunkSize);
      last = chunk.size() < chunkSize;
      guarded([&] {
        if (!decoder_) return encodeUtf8(chunk);
        if (!encoder_) return decodeToUtf8(chunk, last);
        decodeAndEncode(chunk, last);
      });
    }
  }

  void finish() {
    if (encoder_) {
      guarded([&] {
        if (decoder_) {
          encoder_->encode(std::u16string_view(), bytes_, true);
        } else {
          encoder_->encode(std::string_view(), bytes_, true);
        }
        if (const auto& problem = encoder_->problem()) throw Failure(whereEncoded(*problem) + ": " + problem->description);
      });
    }
    text_.flush();
    bytes_.flush();
  }

  kwuni::Counts counts() const {
    kwuni::Counts total = decoder_ ? decoder_->counts() : encoder_->counts();
    if (decoder_ && encoder_) total.substitutions += encoder_->counts().substitutions;
    return total;
  }

 private:
  using Kind = kwuni::Encoding::Kind;

  void decodeToUtf8(std::span<const BYTE> chunk, bool last) {
    decoder_->decode(chunk, text_, last);
    failOnDecoderProblem();
  }

  void encodeUtf8(std::span<const BYTE> chunk) {
    encoder_->encode(std::string_view(reinterpret_cast<const char*>(chunk.data()), chunk.size()), bytes_, false);
    if (const auto& problem = encoder_->problem()) throw Failure(whereEncoded(*problem) + ": " + problem->description);
  }

  void decodeAndEncode(std::span<const BYTE> chunk, bool last) {
    units_.clear();
    offsets_.clear();
    kwuni::AppendTo<std::u16string> text(units_);
    decoder_->decode(chunk, text, last, strict_ ? &offsets_ : nullptr);
    failOnDecoderProblem();
    if (!strict_) {
      encoder_->encode(std::u16string_view(units_), bytes_, false);
      return;
    }
    const std::uint64_t tag = std::uint64_t{inputs_.current()} << inputShift;
    for (auto& offset : offsets_) offset |= tag;
    const std::uint64_t end = tag | (decoder_->offset() - decoder_->held().size());
    encoder_->encode(std::u16string_view(units_), offsets_, end, bytes_, false);
    if (const auto& problem = encoder_->problem()) throw Failure(whereEncoded(*problem) + ": " + problem->description);
  }

  void failOnDecoderProblem() const {
    if (const auto& problem = decoder_->problem()) {
      throw Failure(inputs_.where(problem->offset) + ": " + problem->description);
    }
  }

  std::string whereEncoded(const kwuni::Problem& problem) const {
    if (!decoder_) return inputs_.whereInStream(problem.offset);
    const auto input = static_cast<std::size_t>(problem.offset >> inputShift);
    return inputs_.name(input) + ": offset " + std::to_string(problem.offset & offsetMask);
  }

  // The library's errors, told as the tool tells them.
  template <typename Step>
  void guarded(Step step) {
    const std::string& name = inputs_.name(inputs_.current());
    try {
      step();
    } catch (const kwuni::RecordOverflow& e) {
      const std::uint64_t line = e.line - inputs_.linesBefore();
      const std::string needs = e.needed == 0 ? "more than the record length " + std::to_string(e.recordLength) +
                                                    " bytes"
                                              : std::to_string(e.needed) + " bytes, more than the record length " +
                                                    std::to_string(e.recordLength);
      throw Failure(name + ": line " + std::to_string(line) + " needs " + needs);
    } catch (const kwuni::ConversionError& e) {
      throw Failure(name + ": " + e.what());
    }
  }

  bool strict_;
  std::optional<kwuni::Decoder> decoder_;
  std::optional<kwuni::Encoder> encoder_;
  FileSink<char> text_;
  FileSink<BYTE> bytes_;
  Inputs inputs_;
  std::u16string units_;
  std::vector<std::uint64_t> offsets_;
};

}  // namespace

int convertCommand(std::span<const std::string_view> args) {
  const Options o = parseOptions(args);
  if (o.help) {
    std::fputs(help, stdout);
    return exitOk;
  }
  const auto encoding = [](const std::string& name) {
    try {
      return kwuni::Encoding(name);
    } catch (const kwuni::UnknownEncoding& e) {
      throw Failure(e.what());
    }
  };
  const kwuni::Encoding from = encoding(o.from);
  const kwuni::Encoding to = encoding(o.to);
  checkLayout(o, from, to);

  std::optional<Conversion> conversion;
  try {
    conversion.emplace(from, to, kwuni::ConversionOptions{o.layout, o.strict});
  } catch (const kwuni::ConversionError& e) {
    throw Failure(e.what());
  }
  std::optional<OutputFile> file;
  if (o.output) {
    file.emplace(*o.output);
    conversion->writeTo(file->fd(), *o.output);
  }
  const std::vector<std::string> inputs = o.inputs.empty() ? std::vector<std::string>{"-"} : o.inputs;
  for (const auto& name : inputs) {
    Input in(name);
    conversion->convert(in);
  }
  conversion->finish();
  if (file) file->commit();
  if (o.stats) {
    const kwuni::Counts counts = conversion->counts();
    std::fprintf(stderr, "kwuni: %llu characters converted, %llu substituted\n",
                 static_cast<unsigned long long>(counts.characters),
                 static_cast<unsigned long long>(counts.substitutions));
  }
  return exitOk;
}

}  // namespace kwuni::cli
