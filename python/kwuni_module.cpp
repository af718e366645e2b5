// _kwuni: Python codecs over kwuni::Decoder and kwuni::Encoder.
//
// The converters run in stop mode: at each character without a mapping they stop, and the
// codec's error handler (codecs.lookup_error) is given a UnicodeDecodeError or UnicodeEncodeError
// that points at it. Its replacement is written and conversion goes on where it says, so every
// handler behaves as it does with Python's own codecs.
#include <kwuni/catalogue.h>
#include <kwuni/streaming.h>

#include <pybind11/pybind11.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

namespace py = pybind11;

namespace {

constexpr BYTE shiftOut = 0x0E;
// Conversions of this many bytes or code units or more run without the GIL.
constexpr std::size_t longConversion = std::size_t{1} << 16;
// The encoder stops at it: see EncoderInput.
constexpr char16_t separator = 0xFFFF;

std::string codecName(int ccsid) { return "kwuni-" + std::to_string(ccsid); }

[[noreturn]] void raisePython() { throw py::error_already_set(); }

// The encoding of an EBCDIC CCSID; anything else is no codec of this module.
kwuni::Encoding hostEncoding(int ccsid) {
  kwuni::Encoding encoding(std::to_string(ccsid));
  if (encoding.kind() != kwuni::Encoding::Kind::host) {
    PyErr_SetString(PyExc_LookupError, ("no EBCDIC CCSID " + std::to_string(ccsid)).c_str());
    raisePython();
  }
  return encoding;
}

kwuni::ConversionOptions stopping() {
  kwuni::ConversionOptions options;
  options.stopAtUnmapped = true;
  return options;
}

template <typename Work>
auto withoutGilIfLong(std::size_t size, Work work) {
  if (size < longConversion) return work();
  py::gil_scoped_release released;
  return work();
}

// ---- Output -----------------------------------------------------------------------------------

// Converter output, in memory left uninitialised until written: a converter asks for room for a
// whole piece, mostly more than it writes.
template <typename Unit>
class Buffer final : public kwuni::Sink<Unit> {
 public:
  explicit Buffer(std::size_t expected = 64) { grow(expected); }

  Unit* reserve(std::size_t n) override {
    if (n > capacity_ - size_) grow(std::max(size_ + n, 2 * capacity_));
    return data_.get() + size_;
  }
  void commit(std::size_t n) override { size_ += n; }

  std::span<const Unit> units() const { return {data_.get(), size_}; }
  void clear() { size_ = 0; }

 private:
  void grow(std::size_t capacity) {
    auto larger = std::make_unique_for_overwrite<Unit[]>(capacity);
    std::copy_n(data_.get(), size_, larger.get());
    data_ = std::move(larger);
    capacity_ = capacity;
  }

  std::unique_ptr<Unit[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

// ---- Python text and bytes ------------------------------------------------------------------

bool isHigh(Py_UCS4 c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLow(Py_UCS4 c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Calls visit(data, length) with the code points of a str as an array of its own width.
template <typename Visit>
void visitCodePoints(py::handle text, Visit visit) {
  PyObject* object = text.ptr();
#if PY_VERSION_HEX < 0x030C0000
  if (PyUnicode_READY(object) != 0) raisePython();
#endif
  const auto length = static_cast<std::size_t>(PyUnicode_GET_LENGTH(object));
  switch (PyUnicode_KIND(object)) {
    case PyUnicode_1BYTE_KIND: return visit(PyUnicode_1BYTE_DATA(object), length);
    case PyUnicode_2BYTE_KIND: return visit(PyUnicode_2BYTE_DATA(object), length);
    default: return visit(PyUnicode_4BYTE_DATA(object), length);
  }
}

// Writes a code point as UTF-16 at p and returns the end.
char16_t* putUtf16(Py_UCS4 c, char16_t* p) {
  if (c > 0xFFFF) {
    *p++ = static_cast<char16_t>(0xD7C0 + (c >> 10));
    *p++ = static_cast<char16_t>(0xDC00 | (c & 0x3FF));
  } else {
    *p++ = static_cast<char16_t>(c);
  }
  return p;
}

py::str strFromUtf16(std::span<const char16_t> units) {
  int order = std::endian::native == std::endian::little ? -1 : 1;
  PyObject* text = PyUnicode_DecodeUTF16(reinterpret_cast<const char*>(units.data()),
                                         static_cast<Py_ssize_t>(units.size() * 2), "surrogatepass", &order);
  if (text == nullptr) raisePython();
  return py::reinterpret_steal<py::str>(text);
}

// Appends a str as UTF-16; false (and nothing appended) when it holds a surrogate code point,
// which two str pieces keep apart but one UTF-16 string would pair.
bool appendUtf16(py::handle text, Buffer<char16_t>& out) {
  bool plain = true;
  visitCodePoints(text, [&](const auto* data, std::size_t length) {
    plain = std::none_of(data, data + length, [](Py_UCS4 c) { return isHigh(c) || isLow(c); });
    if (!plain) return;
    char16_t* const begin = out.reserve(2 * length);
    char16_t* p = begin;
    for (std::size_t i = 0; i < length; ++i) p = putUtf16(data[i], p);
    out.commit(static_cast<std::size_t>(p - begin));
  });
  return plain;
}

py::str checkedStr(py::handle text) {
  if (!PyUnicode_Check(text.ptr())) {
    throw py::type_error(std::string("encode() argument 1 must be str, not ") + Py_TYPE(text.ptr())->tp_name);
  }
  return py::reinterpret_borrow<py::str>(text);
}

// The bytes of any bytes-like object, held for the length of a call.
class ByteView {
 public:
  explicit ByteView(py::handle object) {
    if (PyObject_GetBuffer(object.ptr(), &view_, PyBUF_SIMPLE) != 0) raisePython();
  }
  ~ByteView() { PyBuffer_Release(&view_); }
  ByteView(const ByteView&) = delete;
  ByteView& operator=(const ByteView&) = delete;

  std::span<const BYTE> bytes() const {
    return {static_cast<const BYTE*>(view_.buf), static_cast<std::size_t>(view_.len)};
  }

 private:
  Py_buffer view_{};
};

// ---- Error handlers -------------------------------------------------------------------------

// The handler named by a codec's errors argument, looked up at the first error as Python's codecs
// do, and its answers checked as they check them.
class ErrorHandler {
 public:
  explicit ErrorHandler(py::handle errors) {
    if (errors.is_none()) return;
    if (!PyUnicode_Check(errors.ptr())) {
      throw py::type_error(std::string("errors must be str, not ") + Py_TYPE(errors.ptr())->tp_name);
    }
    const char* name = PyUnicode_AsUTF8(errors.ptr());
    if (name == nullptr) raisePython();
    name_ = name;
  }

  // Calls the handler with the exception; returns its replacement and where to go on, a position
  // in an object of `size` items.
  std::pair<py::object, std::size_t> operator()(const py::object& exception, std::size_t size, bool decoding) {
    if (!function_) {
      PyObject* function = PyCodec_LookupError(name_.c_str());
      if (function == nullptr) raisePython();
      function_ = py::reinterpret_steal<py::object>(function);
    }
    const py::object answer = function_(exception);
    const bool valid = PyTuple_Check(answer.ptr()) && PyTuple_GET_SIZE(answer.ptr()) == 2 &&
                       PyLong_Check(PyTuple_GET_ITEM(answer.ptr(), 1)) &&
                       (PyUnicode_Check(PyTuple_GET_ITEM(answer.ptr(), 0)) ||
                        (!decoding && PyBytes_Check(PyTuple_GET_ITEM(answer.ptr(), 0))));
    if (!valid) {
      throw py::type_error(decoding ? "decoding error handler must return (str, int) tuple"
                                    : "encoding error handler must return (str/bytes, int) tuple");
    }
    const Py_ssize_t given = PyLong_AsSsize_t(PyTuple_GET_ITEM(answer.ptr(), 1));
    if (given == -1 && PyErr_Occurred()) raisePython();
    const auto length = static_cast<Py_ssize_t>(size);
    const Py_ssize_t position = given < 0 ? length + given : given;
    if (position < 0 || position > length) {
      throw py::index_error("position " + std::to_string(given) + " from error handler out of bounds");
    }
    return {py::reinterpret_borrow<py::object>(PyTuple_GET_ITEM(answer.ptr(), 0)),
            static_cast<std::size_t>(position)};
  }

 private:
  std::string name_ = "strict";
  py::object function_;
};

// Where a problem reported at stream offset `at` lies in an input of `size` items, the input's
// item `index` standing at stream offset `base`.
std::size_t locate(std::uint64_t at, std::uint64_t base, std::size_t index, std::size_t size) {
  const auto position = static_cast<std::int64_t>(index) + static_cast<std::int64_t>(at - base);
  return static_cast<std::size_t>(std::clamp<std::int64_t>(position, 0, static_cast<std::int64_t>(size)));
}

// The length of the next piece fed to a converter. A converter prepares for a whole piece (room
// for its output, a look over its text) before it stops at a problem, so pieces start small after
// a stop and double while they run clean: the work stays in proportion to the input.
class Pace {
 public:
  std::size_t next(std::size_t available) const { return std::min(available, size_); }
  void clean() { size_ = std::min(2 * size_, largest); }
  void stopped() { size_ = smallest; }

 private:
  static constexpr std::size_t smallest = 256;
  static constexpr std::size_t largest = std::size_t{1} << 20;
  std::size_t size_ = 4096;
};

// ---- One converter, one thread ----------------------------------------------------------------

// Lets one call at a time use a converter. A thread waits for it without the GIL, so that the
// thread inside can take the GIL back; a call from within the converter's own conversion (an
// error handler that uses it) is refused instead of waiting for ever.
class Exclusive {
 public:
  class Hold {
   public:
    explicit Hold(Exclusive& exclusive) : exclusive_(exclusive) { exclusive_.acquire(); }
    ~Hold() { exclusive_.release(); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

   private:
    Exclusive& exclusive_;
  };

 private:
  void acquire() {
    if (owner_.load() == std::this_thread::get_id()) {
      throw py::value_error("a kwuni converter cannot be used from within its own conversion");
    }
    if (!mutex_.try_lock()) {
      py::gil_scoped_release released;
      mutex_.lock();
    }
    owner_.store(std::this_thread::get_id());
  }
  void release() {
    owner_.store(std::thread::id());
    mutex_.unlock();
  }

  std::mutex mutex_;
  std::atomic<std::thread::id> owner_;
};

// ---- Decoding -------------------------------------------------------------------------------

// The bytes a decoding call works through: those the decoder held from the previous call, then
// the new ones. Positions count from the first held byte; the exception object is built only at
// the first error.
class DecoderInput {
 public:
  DecoderInput(std::span<const BYTE> held, py::handle object, std::span<const BYTE> bytes)
      : held_(held.begin(), held.end()), object_(object), bytes_(bytes) {}

  std::size_t size() const { return held_.size() + bytes_.size(); }
  std::size_t start() const { return held_.size(); }
  // From `position` to the end of the part it lies in.
  std::span<const BYTE> from(std::size_t position) const {
    if (position < held_.size()) return std::span<const BYTE>(held_).subspan(position);
    return bytes_.subspan(position - held_.size());
  }
  const py::object& object() {
    if (exceptionObject_) return exceptionObject_;
    if (held_.empty() && PyBytes_CheckExact(object_.ptr())) {
      exceptionObject_ = py::reinterpret_borrow<py::object>(object_);
    } else {
      std::string all(held_.begin(), held_.end());
      all.append(reinterpret_cast<const char*>(bytes_.data()), bytes_.size());
      exceptionObject_ = py::bytes(all);
    }
    return exceptionObject_;
  }

 private:
  std::vector<BYTE> held_;
  py::handle object_;
  std::span<const BYTE> bytes_;
  py::object exceptionObject_;
};

// Decoded text: the decoder's UTF-16 and the handlers' replacements. A replacement that holds a
// surrogate code point is kept as a str of its own, so that it cannot pair with its neighbours.
class DecodedText {
 public:
  explicit DecodedText(std::size_t expected) : units_(expected) {}

  Buffer<char16_t>& units() { return units_; }
  void append(const py::str& replacement) {
    if (appendUtf16(replacement, units_)) return;
    flush();
    pieces_.append(replacement);
  }
  py::str finish() {
    if (pieces_.empty()) return strFromUtf16(units_.units());
    flush();
    PyObject* joined = PyUnicode_Join(py::str("").ptr(), pieces_.ptr());
    if (joined == nullptr) raisePython();
    return py::reinterpret_steal<py::str>(joined);
  }

 private:
  void flush() {
    if (units_.units().empty()) return;
    pieces_.append(strFromUtf16(units_.units()));
    units_.clear();
  }

  Buffer<char16_t> units_;
  py::list pieces_;
};

// A stream decoder for one CCSID.
class HostDecoder {
 public:
  explicit HostDecoder(int ccsid) : HostDecoder(ccsid, hostEncoding(ccsid)) {}

  py::str decode(py::handle data, bool final, py::handle errors) {
    const Exclusive::Hold hold(exclusive_);
    const ByteView view(data);
    return run(data, view.bytes(), final, errors);
  }
  void reset() {
    const Exclusive::Hold hold(exclusive_);
    decoder_.reset();
  }
  std::size_t pending() {
    const Exclusive::Hold hold(exclusive_);
    return decoder_.held().size();
  }

  // (held bytes, flags) as codecs.IncrementalDecoder.getstate gives it; flag 1: within a
  // double-byte run.
  py::tuple getState() {
    const Exclusive::Hold hold(exclusive_);
    const auto held = decoder_.held();
    return py::make_tuple(py::bytes(reinterpret_cast<const char*>(held.data()), held.size()),
                          decoder_.shifted() ? 1 : 0);
  }
  void setState(py::handle state) {
    PyObject* tuple = state.ptr();
    if (!PyTuple_Check(tuple) || PyTuple_GET_SIZE(tuple) != 2 || !PyBytes_Check(PyTuple_GET_ITEM(tuple, 0)) ||
        !PyLong_Check(PyTuple_GET_ITEM(tuple, 1))) {
      throw py::type_error("decoder state must be a (bytes, int) tuple");
    }
    int overflow = 0;
    const long long flags = PyLong_AsLongLongAndOverflow(PyTuple_GET_ITEM(tuple, 1), &overflow);
    if (overflow != 0 || flags < 0 || flags > (mixed_ ? 1 : 0)) throw py::value_error("invalid decoder state flags");
    const ByteView held(PyTuple_GET_ITEM(tuple, 0));
    std::vector<BYTE> stream(flags == 1 ? 1 : 0, shiftOut);
    stream.insert(stream.end(), held.bytes().begin(), held.bytes().end());
    const Exclusive::Hold hold(exclusive_);
    decoder_.reset();
    Buffer<char16_t> text;
    decoder_.decode(stream, text);
    if (!text.units().empty() || decoder_.problem() || decoder_.held().size() != held.bytes().size()) {
      decoder_.reset();
      throw py::value_error("invalid decoder state: the bytes are no start of a character");
    }
  }

  // Decodes without taking the object: for a decoder no one else can see.
  py::str run(py::handle data, std::span<const BYTE> bytes, bool final, py::handle errors) {
    ErrorHandler handler(errors);
    DecoderInput input(decoder_.held(), data, bytes);
    DecodedText text(input.size() + 16);
    Pace pace;
    std::size_t position = input.start();
    for (;;) {
      const auto rest = input.from(position);
      const auto piece = rest.first(pace.next(rest.size()));
      const bool last = final && position + piece.size() == input.size();
      const std::uint64_t base = decoder_.offset();
      withoutGilIfLong(piece.size(), [&] { return decoder_.decode(piece, text.units(), last); });
      const auto& problem = decoder_.problem();
      if (!problem) {
        position += piece.size();
        if (position == input.size()) return text.finish();
        pace.clean();
        continue;
      }
      pace.stopped();
      const std::size_t start = locate(problem->offset, base, position, input.size());
      const std::size_t end = std::min(start + problem->length, input.size());
      const std::size_t taken = locate(decoder_.offset(), base, position, input.size());
      const py::object error =
          py::handle(PyExc_UnicodeDecodeError)(name_, input.object(), start, end, problem->description);
      auto [replacement, resume] = handler(error, input.size(), true);
      text.append(py::reinterpret_borrow<py::str>(replacement));
      // Bytes the decoder still holds after the stop are on their way: go on after them.
      position = taken > end ? taken : resume;
    }
  }

 private:
  HostDecoder(int ccsid, const kwuni::Encoding& encoding)
      : name_(codecName(ccsid)), mixed_(encoding.mixed()), decoder_(encoding, stopping()) {}

  std::string name_;
  bool mixed_;
  kwuni::Decoder decoder_;
  Exclusive exclusive_;
};

py::tuple decodeOnce(int ccsid, py::handle data, py::handle errors) {
  const ByteView view(data);
  HostDecoder decoder(ccsid);
  return py::make_tuple(decoder.run(data, view.bytes(), true, errors), view.bytes().size());
}

// ---- Encoding -------------------------------------------------------------------------------

// A str as the encoder reads it: UTF-16, and separators that are no part of the str, U+FFFF (a
// noncharacter no table maps, so the encoder stops at it). One goes between two surrogate code
// points that UTF-16 would pair, so that each is reported on its own, as Python sees them. Two end
// the text: the encoder writes all before them (it would otherwise keep the last character for a
// combining mark that may follow) and stops at the first. Encoder::flush() cannot do that here:
// a stop within what it writes leaves the rest held in the encoder, ahead of any replacement.
// With the separators every stop falls in the text a call was given, and nothing is held after
// it. Positions in the str count code points.
class EncoderInput {
 public:
  explicit EncoderInput(const py::str& text) {
    visitCodePoints(text, [&](const auto* data, std::size_t length) { read(data, length); });
    end_ = units_.size();
    units_.append(2, separator);
  }

  std::u16string_view from(std::size_t unit) const { return std::u16string_view(units_).substr(unit); }
  std::size_t units() const { return units_.size(); }
  std::size_t points() const { return points_; }
  bool isSeparator(std::size_t unit) const {
    return std::binary_search(separators_.begin(), separators_.end(), unit);
  }
  bool isEnd(std::size_t unit) const { return unit == end_; }
  // The code point a unit belongs to, and the first code point that starts at or after a unit.
  std::size_t pointAt(std::size_t unit) const {
    if (starts_.empty()) return std::min(unit, points_);
    const auto after = std::upper_bound(starts_.begin(), starts_.end(), unit);
    return std::min(static_cast<std::size_t>(after - starts_.begin()) - 1, points_);
  }
  std::size_t pointFrom(std::size_t unit) const {
    if (starts_.empty()) return std::min(unit, points_);
    const auto at = std::lower_bound(starts_.begin(), starts_.end(), unit);
    return std::min(static_cast<std::size_t>(at - starts_.begin()), points_);
  }
  std::size_t unitOf(std::size_t point) const { return starts_.empty() ? point : starts_[point]; }

 private:
  template <typename Char>
  void read(const Char* data, std::size_t length) {
    points_ = length;
    units_.reserve(length + 2);
    if (plain(data, length)) {
      units_.assign(data, data + length);
      return;
    }
    starts_.reserve(length + 1);
    for (std::size_t i = 0; i < length; ++i) {
      if (i > 0 && isHigh(data[i - 1]) && isLow(data[i])) {
        separators_.push_back(units_.size());
        units_.push_back(separator);
      }
      starts_.push_back(units_.size());
      char16_t units[2];
      units_.append(units, putUtf16(data[i], units));
    }
    starts_.push_back(units_.size());
  }
  // True when each code point is one unit on its own.
  template <typename Char>
  static bool plain(const Char* data, std::size_t length) {
    if constexpr (std::is_same_v<Char, Py_UCS1>) {
      return true;
    } else {
      for (std::size_t i = 0; i < length; ++i) {
        if (data[i] > 0xFFFF || (i > 0 && isHigh(data[i - 1]) && isLow(data[i]))) return false;
      }
      return true;
    }
  }

  std::u16string units_;
  std::size_t points_ = 0;
  std::size_t end_ = 0;  // the first end separator
  // The unit each code point starts at, and the units in all; empty while units are code points.
  std::vector<std::size_t> starts_;
  std::vector<std::size_t> separators_;  // those within the text
};

// A stream encoder for one CCSID.
class HostEncoder {
 public:
  explicit HostEncoder(int ccsid) : name_(codecName(ccsid)), encoder_(hostEncoding(ccsid), stopping()) {}

  py::bytes encode(py::handle text, bool final, py::handle errors) {
    const py::str checked = checkedStr(text);
    const Exclusive::Hold hold(exclusive_);
    return run(checked, final, errors);
  }
  void reset() {
    const Exclusive::Hold hold(exclusive_);
    encoder_.reset();
  }

  // Encodes without taking the object: for an encoder no one else can see. All of the text is
  // written; the double-byte run stays open until a final call.
  py::bytes run(const py::str& text, bool final, py::handle errors) {
    const EncoderInput input(text);
    ErrorHandler handler(errors);
    Buffer<BYTE> out(2 * input.units() + 16);
    Pace pace;
    std::size_t position = 0;
    for (;;) {
      const std::uint64_t base = encoder_.offset();
      const auto piece = input.from(position).substr(0, pace.next(input.units() - position));
      withoutGilIfLong(piece.size(), [&] { return encoder_.encode(piece, out); });
      const auto& problem = encoder_.problem();
      if (!problem) {
        position += piece.size();
        if (position == input.units()) throw py::value_error("the table of " + name_ + " maps U+FFFF");
        pace.clean();
        continue;
      }
      pace.stopped();
      const std::size_t at = locate(problem->offset, base, position, input.units());
      if (input.isEnd(at)) break;
      const std::size_t taken = locate(encoder_.offset(), base, position, input.units());
      if (input.isSeparator(at)) {
        position = taken;
        continue;
      }
      const std::size_t start = input.pointAt(at);
      const std::size_t end = std::max(input.pointFrom(at + problem->length), start + 1);
      const py::object error = py::handle(PyExc_UnicodeEncodeError)(name_, text, start, end, problem->description);
      auto [replacement, resume] = handler(error, input.points(), false);
      if (PyBytes_Check(replacement.ptr())) {
        const auto size = static_cast<std::size_t>(PyBytes_GET_SIZE(replacement.ptr()));
        std::memcpy(out.reserve(size), PyBytes_AS_STRING(replacement.ptr()), size);
        out.commit(size);
      } else {
        encodeReplacement(py::reinterpret_borrow<py::str>(replacement), error, out);
      }
      // A stop within what the encoder held from the previous piece leaves the rest of it held,
      // on its way: go on after it.
      position = taken > at + problem->length ? taken : input.unitOf(resume);
    }
    if (final) encoder_.encode(std::u16string_view(), out, true);  // nothing is held: closes the run
    return py::bytes(reinterpret_cast<const char*>(out.units().data()), out.units().size());
  }

 private:
  // A replacement goes through the same encoder, in the stream's shift state; when a character
  // of it cannot be encoded either, the original error is raised, as Python's codecs do.
  void encodeReplacement(const py::str& replacement, const py::object& error, Buffer<BYTE>& out) {
    const EncoderInput input(replacement);
    const std::uint64_t base = encoder_.offset();
    encoder_.encode(input.from(0), out);
    const auto& problem = encoder_.problem();
    if (!problem || !input.isEnd(locate(problem->offset, base, 0, input.units()))) {
      PyErr_SetObject(PyExc_UnicodeEncodeError, error.ptr());
      raisePython();
    }
  }

  std::string name_;
  kwuni::Encoder encoder_;
  Exclusive exclusive_;
};

py::tuple encodeOnce(int ccsid, py::handle text, py::handle errors) {
  const py::str checked = checkedStr(text);
  HostEncoder encoder(ccsid);
  return py::make_tuple(encoder.run(checked, true, errors), PyUnicode_GET_LENGTH(checked.ptr()));
}

// ---- Catalogue ------------------------------------------------------------------------------

py::str description(int ccsid) {
  const WCHAR* text = KW_GetECPDesc(ccsid);
  return strFromUtf16(std::u16string_view(text));
}

void translateExceptions(std::exception_ptr thrown) {
  try {
    if (thrown) std::rethrow_exception(thrown);
  } catch (const kwuni::UnknownEncoding& e) {
    PyErr_SetString(PyExc_LookupError, e.what());
  } catch (const kwuni::ConversionError& e) {
    PyErr_SetString(PyExc_UnicodeError, e.what());
  }
}

}  // namespace

PYBIND11_MODULE(_kwuni, m) {
  m.doc() = "EBCDIC host data codecs over the kwuni library; the package kwuni registers them.";
  py::register_exception_translator(translateExceptions);

  m.def(
      "host_ccsids",
      [] {
        py::list ccsids;
        for (const int ccsid : kwuni::availableHostCcsids()) ccsids.append(ccsid);
        return ccsids;
      },
      "The CCSIDs that have a translation table, ascending.");
  m.def("description", &description, py::arg("ccsid"), "The catalogue's description of a CCSID.");
  m.def("decode", &decodeOnce, py::arg("ccsid"), py::arg("data"), py::arg("errors") = py::none(),
        "Decodes host data whole: (text, bytes used).");
  m.def("encode", &encodeOnce, py::arg("ccsid"), py::arg("text"), py::arg("errors") = py::none(),
        "Encodes text whole: (host data, code points used).");

  py::class_<HostDecoder>(m, "Decoder", "Decodes a stream of one CCSID's host data a piece at a time.")
      .def(py::init<int>(), py::arg("ccsid"))
      .def("decode", &HostDecoder::decode, py::arg("data"), py::arg("final") = false, py::arg("errors") = py::none())
      .def("reset", &HostDecoder::reset)
      .def("getstate", &HostDecoder::getState)
      .def("setstate", &HostDecoder::setState, py::arg("state"))
      .def_property_readonly("pending", &HostDecoder::pending, "Bytes kept for the next piece.");

  py::class_<HostEncoder>(m, "Encoder", "Encodes text as one CCSID's host data a piece at a time.")
      .def(py::init<int>(), py::arg("ccsid"))
      .def("encode", &HostEncoder::encode, py::arg("text"), py::arg("final") = false, py::arg("errors") = py::none())
      .def("reset", &HostEncoder::reset);
}
