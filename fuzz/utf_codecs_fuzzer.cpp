// Arbitrary bytes read as UTF-8 and as UTF-7: what is read must come back unchanged from a trip
// through the encoder (with every choice of UTF-7 flags), a target cut short must hold the start
// of the whole output, the UTF-7 decoder carried across two pieces must read as it does whole, and
// the whole-buffer conversions must give the text up to its first U+0000. The first byte picks
// where the input is cut and how small the short target is.

#include "strings/utf_codecs.h"

#include "fuzz/fuzz_support.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace ks = kwuni::strings;
using kwuni::fuzz::require;
using Result = ks::ConversionResult;

struct Decoded {
  std::u16string text;
  Result result;
};

template <typename Convert>
Decoded decode(const std::uint8_t* data, std::size_t size, std::size_t capacity, Convert convert) {
  std::vector<WCHAR> out(capacity);
  const std::uint8_t* src = data;
  WCHAR* dst = out.data();
  const Result result = convert(&src, data + size, &dst, out.data() + capacity);
  require(dst >= out.data() && dst <= out.data() + capacity && src >= data && src <= data + size);
  return {std::u16string(out.data(), dst), result};
}

std::basic_string<unsigned char> encodeUtf8(const std::u16string& text) {
  std::vector<unsigned char> out(3 * text.size());
  const WCHAR* src = text.data();
  unsigned char* dst = out.data();
  require(ks::convertUtoUTF8(&src, text.data() + text.size(), &dst, out.data() + out.size()) == Result::done);
  return {out.data(), dst};
}

std::basic_string<unsigned char> encodeUtf7(const std::u16string& text, int optionalDirect, int closeRuns) {
  std::vector<unsigned char> out(8 * text.size() + 2);
  const WCHAR* src = text.data();
  unsigned char* dst = out.data();
  require(ks::convertUtoUTF7(&src, text.data() + text.size(), &dst, out.data() + out.size(), optionalDirect,
                             closeRuns) == Result::done);
  return {out.data(), dst};
}

std::u16string upToZero(const std::u16string& text) { return text.substr(0, text.find(u'\0')); }

void checkUtf8(const std::uint8_t* data, std::size_t size, std::size_t shortCapacity) {
  const Decoded whole = decode(data, size, size, ks::convertUTF8toU);
  require(whole.result != Result::targetFull);
  const Decoded cut = decode(data, size, shortCapacity, ks::convertUTF8toU);
  require(whole.text.compare(0, cut.text.size(), cut.text) == 0);

  // Everything read is well-formed UTF-16 or a lone surrogate, and both come back.
  const auto bytes = encodeUtf8(whole.text);
  const Decoded again = decode(bytes.data(), bytes.size(), bytes.size(), ks::convertUTF8toU);
  require(again.result == Result::done && again.text == whole.text);

  const std::unique_ptr<WCHAR[]> entry(ks::wideFromUtf8(reinterpret_cast<const char*>(data), static_cast<int>(size)));
  require(entry.get() == upToZero(whole.text));
  const std::unique_ptr<char[]> narrow(ks::utf8FromWide(whole.text.data(), static_cast<int>(whole.text.size())));
  const auto prefix = encodeUtf8(upToZero(whole.text));
  require(std::char_traits<char>::length(narrow.get()) == prefix.size() &&
          prefix.compare(0, prefix.size(), reinterpret_cast<const unsigned char*>(narrow.get()), prefix.size()) == 0);
}

void checkUtf7(const std::uint8_t* data, std::size_t size, std::size_t shortCapacity, std::size_t split) {
  const Decoded whole = decode(data, size, size, ks::convertUTF7toU);
  require(whole.result != Result::targetFull);
  const Decoded cut = decode(data, size, shortCapacity, ks::convertUTF7toU);
  require(whole.text.compare(0, cut.text.size(), cut.text) == 0);

  // Two pieces, the state of the first carried into the second as a streaming converter keeps it.
  std::u16string pieces;
  bool malformed = false;
  const auto feed = [&](ks::Utf7Decoder& decoder, std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) {
      const auto step = decoder.step(data[i]);
      malformed = malformed || step.malformed;
      if (step.hasUnit) pieces += step.unit;
    }
  };
  ks::Utf7Decoder first;
  feed(first, 0, split);
  ks::Utf7Decoder carried = first;
  feed(carried, split, size);
  malformed = carried.finish() || malformed;
  require(pieces == whole.text && malformed == (whole.result == Result::badSource));

  for (int flags = 0; flags < 4; ++flags) {
    const auto bytes = encodeUtf7(whole.text, flags & 1, flags >> 1);
    const Decoded again = decode(bytes.data(), bytes.size(), bytes.size(), ks::convertUTF7toU);
    require(again.result == Result::done && again.text == whole.text);
  }

  const std::unique_ptr<WCHAR[]> entry(ks::wideFromUtf7(reinterpret_cast<const char*>(data), static_cast<int>(size)));
  require(entry.get() == upToZero(whole.text));
  const std::unique_ptr<char[]> narrow(ks::utf7FromWide(whole.text.data(), static_cast<int>(whole.text.size())));
  const Decoded back = decode(reinterpret_cast<const std::uint8_t*>(narrow.get()),
                              std::char_traits<char>::length(narrow.get()), size + 1, ks::convertUTF7toU);
  require(back.result == Result::done && back.text == whole.text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t* bytes = data + 1;
  const std::size_t length = size - 1;
  const std::size_t shortCapacity = data[0] % (length + 1);
  const std::size_t split = (data[0] * 7u) % (length + 1);
  checkUtf8(bytes, length, shortCapacity);
  checkUtf7(bytes, length, shortCapacity, split);
  return 0;
}
