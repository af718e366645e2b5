#include "platform/code_page_conversion.h"

#include "platform/locale.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>
#include <thread>
#include <vector>

namespace {

std::u16string toWide(UINT codePage, const std::string& bytes) {
  const int size = static_cast<int>(bytes.size());
  const int needed = sys::MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
  std::u16string wide(static_cast<std::size_t>(needed), u'\0');
  EXPECT_EQ(sys::MultiByteToWideChar(codePage, 0, bytes.data(), size, wide.data(), needed), needed);
  return wide;
}

std::string toBytes(UINT codePage, const std::u16string& wide, const char* defaultChar = nullptr,
                    BOOL* usedDefault = nullptr) {
  const int size = static_cast<int>(wide.size());
  const int needed = sys::WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0,
                                              defaultChar, usedDefault);
  std::string bytes(static_cast<std::size_t>(needed), '\0');
  EXPECT_EQ(sys::WideCharToMultiByte(codePage, 0, wide.data(), size, bytes.data(), needed,
                                     defaultChar, usedDefault),
            needed);
  return bytes;
}

struct RoundTrip {
  UINT codePage;
  std::string bytes;
  std::u16string text;
};

class RoundTrips : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(RoundTrips, ConvertBothWaysWithAndWithoutTerminator) {
  const auto& c = GetParam();
  const bool unicode = c.codePage == CP_UTF8 || c.codePage == CP_UTF7;
  EXPECT_EQ(toWide(c.codePage, c.bytes), c.text);
  BOOL usedDefault = TRUE;
  EXPECT_EQ(toBytes(c.codePage, c.text, nullptr, unicode ? nullptr : &usedDefault), c.bytes);
  EXPECT_EQ(usedDefault, unicode ? TRUE : FALSE);

  // A length of -1 takes the terminated string and converts the terminator with it.
  const int wideCount = static_cast<int>(c.text.size()) + 1;
  std::u16string wide(static_cast<std::size_t>(wideCount), u'#');
  EXPECT_EQ(sys::MultiByteToWideChar(c.codePage, 0, c.bytes.c_str(), -1, nullptr, 0), wideCount);
  EXPECT_EQ(sys::MultiByteToWideChar(c.codePage, 0, c.bytes.c_str(), -1, wide.data(), wideCount),
            wideCount);
  EXPECT_EQ(wide, c.text + u'\0');

  const int byteCount = static_cast<int>(c.bytes.size()) + 1;
  std::string bytes(static_cast<std::size_t>(byteCount), '#');
  EXPECT_EQ(
      sys::WideCharToMultiByte(c.codePage, 0, c.text.c_str(), -1, nullptr, 0, nullptr, nullptr),
      byteCount);
  EXPECT_EQ(sys::WideCharToMultiByte(c.codePage, 0, c.text.c_str(), -1, bytes.data(), byteCount,
                                     nullptr, nullptr),
            byteCount);
  EXPECT_EQ(bytes, c.bytes + '\0');
}

INSTANTIATE_TEST_SUITE_P(
    CodePages, RoundTrips,
    ::testing::Values(
        RoundTrip{1252, "\x63\x61\x66\xe9\x20\x80\x20\x9c\x81", u"caf\u00E9 \u20AC \u0153\u0081"},
        RoundTrip{1250, "\x8a\x9a\x20\xb3\xf3\x64\x9f", u"\u0160\u0161 \u0142\u00F3d\u017A"},
        RoundTrip{1251, "\xcf\xf0\xe8\xe2\xe5\xf2", u"\u041F\u0440\u0438\u0432\u0435\u0442"},
        RoundTrip{437, "\x82\x20\xe1\x20\xb0\x20\xf1\xe6", u"\u00E9 \u00DF \u2591 \u00B1\u00B5"},
        RoundTrip{437, "\x1a\x1c\x7f", u"\x1A\x1C\x7F"},
        RoundTrip{850, "\x82\x20\xd0\x20\x9d", u"\u00E9 \u00F0 \u00D8"},
        RoundTrip{852, "\xa5\x9f\xfd\xaa", u"\u0105\u010D\u0159\u00AC"},
        RoundTrip{866, "\x8f\xe0\xa8\xa2\xa5\xe2", u"\u041F\u0440\u0438\u0432\u0435\u0442"},
        RoundTrip{932, "\x93\xfa\x96\x7b\x8c\xea\x20\xb1\x5c\x7e", u"\u65E5\u672C\u8A9E \uFF71\\~"},
        RoundTrip{932, "\x1a\x1c\x7f", u"\x1A\x1C\x7F"},
        RoundTrip{936, "\xd6\xd0\xce\xc4\x20\xa3\xa4", u"\u4E2D\u6587 \uFFE5"},
        RoundTrip{949, "\xc7\xd1\xb1\xdb\x20\xa8\xe7", u"\uD55C\uAE00 \u2460"},
        RoundTrip{950, "\xa4\xa4\xa4\xe5\x20\xbb\x4f", u"\u4E2D\u6587 \u81FA"},
        RoundTrip{CP_UTF8, "\xe2\x82\xac\xf0\x9f\x98\x80\xc3\xa9", u"\u20AC\U0001F600\u00E9"},
        RoundTrip{CP_UTF7, "\x2b\x41\x4b\x4d\x2d", u"\u00A3"}),
    [](const auto& testInfo) {
      return "cp" + std::to_string(testInfo.param.codePage) + "_" + std::to_string(testInfo.index);
    });

TEST(CodePageConversion, SizingWritesNothingAndShortBuffersFail) {
  struct Case {
    UINT codePage;
    std::string bytes;
    std::u16string text;
  };
  for (const Case& c :
       {Case{1252, "abc\xe9", u"abc\u00E9"}, Case{932, "\x93\xfa\x96\x7b", u"\u65E5\u672C"},
        Case{CP_UTF8, "\xe2\x82\xac\x61", u"\u20AC\x61"}}) {
    SCOPED_TRACE(c.codePage);
    const int wideCount = static_cast<int>(c.text.size());
    const int byteCount = static_cast<int>(c.bytes.size());
    std::u16string wide(16, u'#');
    std::string bytes(16, '#');
    EXPECT_EQ(sys::MultiByteToWideChar(c.codePage, 0, c.bytes.data(), byteCount, wide.data(), 0),
              wideCount);
    EXPECT_EQ(sys::WideCharToMultiByte(c.codePage, 0, c.text.data(), wideCount, bytes.data(), 0,
                                       nullptr, nullptr),
              byteCount);
    EXPECT_EQ(wide, std::u16string(16, u'#'));
    EXPECT_EQ(bytes, std::string(16, '#'));

    // One short: failure, and nothing beyond the given size is touched.
    EXPECT_EQ(sys::MultiByteToWideChar(c.codePage, 0, c.bytes.data(), byteCount, wide.data(),
                                       wideCount - 1),
              0);
    EXPECT_EQ(wide.substr(static_cast<std::size_t>(wideCount - 1)),
              std::u16string(17 - static_cast<std::size_t>(wideCount), u'#'));
    EXPECT_EQ(sys::WideCharToMultiByte(c.codePage, 0, c.text.data(), wideCount, bytes.data(),
                                       byteCount - 1, nullptr, nullptr),
              0);
    EXPECT_EQ(bytes.substr(static_cast<std::size_t>(byteCount - 1)),
              std::string(17 - static_cast<std::size_t>(byteCount), '#'));
  }
}

struct Substitution {
  UINT codePage;
  std::u16string text;
  const char* defaultChar;
  std::string bytes;
  BOOL usedDefault;
};

class Substitutions : public ::testing::TestWithParam<Substitution> {};

TEST_P(Substitutions, UnmappedCharactersBecomeTheDefaultCharacter) {
  const auto& c = GetParam();
  BOOL used = -1;
  EXPECT_EQ(toBytes(c.codePage, c.text, c.defaultChar, &used), c.bytes);
  EXPECT_EQ(used, c.usedDefault);
  // Counting alone reports it too.
  used = -1;
  EXPECT_EQ(sys::WideCharToMultiByte(c.codePage, 0, c.text.data(), static_cast<int>(c.text.size()),
                                     nullptr, 0, c.defaultChar, &used),
            static_cast<int>(c.bytes.size()));
  EXPECT_EQ(used, c.usedDefault);
}

INSTANTIATE_TEST_SUITE_P(
    CodePages, Substitutions,
    ::testing::Values(Substitution{1252, u"abc", nullptr, "abc", FALSE},
                      Substitution{1252, u"\uFF21\uFF42", nullptr, "Ab", FALSE},
                      Substitution{932, u"\u00A5", nullptr, "\x5c", FALSE},
                      Substitution{1252, u"a\u4E00b", nullptr, "a?b", TRUE},
                      Substitution{1252, u"a\u4E00b", "#", "a#b", TRUE},
                      Substitution{1252, u"\U0001F600.", nullptr, "?.", TRUE},
                      Substitution{1252, u"\xD800.\xDC00", nullptr, "?.?", TRUE},
                      Substitution{437, u"\u4E00", "\x1a", "\x1a", TRUE},
                      Substitution{932, u"\u65E5\u0E01", nullptr, "\x93\xfa?", TRUE},
                      Substitution{932, u"\u0E01", "\x7f", "\x7f", TRUE},
                      Substitution{932, u"\xD800", "#", "#", TRUE},
                      Substitution{936, u"\u0E01\u4E2D", nullptr, "?\xd6\xd0", TRUE},
                      Substitution{949, u"\u0E01", "*", "*", TRUE},
                      Substitution{950, u"\u0E01", nullptr, "?", TRUE}),
    [](const auto& testInfo) { return "case" + std::to_string(testInfo.index); });

TEST(CodePageConversion, UnicodeCodePagesTakeNoDefaultCharacter) {
  char out[8];
  BOOL used = FALSE;
  for (const UINT codePage : {CP_UTF8, CP_UTF7}) {
    EXPECT_EQ(sys::WideCharToMultiByte(codePage, 0, u"a", 1, out, 8, "?", nullptr), 0);
    EXPECT_EQ(sys::WideCharToMultiByte(codePage, 0, u"a", 1, out, 8, nullptr, &used), 0);
    EXPECT_EQ(sys::WideCharToMultiByte(codePage, 0, u"a", 1, out, 8, nullptr, nullptr), 1);
  }
  // Zeros stay plain bytes in UTF-7, outside any base64 run.
  const std::string utf7("+AKM-\0a", 7);
  EXPECT_EQ(toBytes(CP_UTF7, std::u16string(u"\u00A3\0a", 3)), utf7);
  EXPECT_EQ(toWide(CP_UTF7, utf7), std::u16string(u"\u00A3\0a", 3));
  // Ill-formed text becomes U+FFFD either way.
  EXPECT_EQ(toBytes(CP_UTF8, u"a\xD800"), "a\xef\xbf\xbd");
  EXPECT_EQ(toWide(CP_UTF8, "\xc3\x28\xff"), u"\uFFFD(\uFFFD");
}

TEST(CodePageConversion, BadBytesBecomeQuestionMarks) {
  EXPECT_EQ(toWide(932, "a\x93"), u"a?");     // a lead byte at the end
  EXPECT_EQ(toWide(932, "\x81\x20"), u"? ");  // a lead byte without a trail byte
  EXPECT_EQ(toWide(1253, "\xd2"), u"?");      // unassigned in the code page
}

class SystemCodePages : public ::testing::Test {
 protected:
  void TearDown() override { sys::testing::setLocale(nullptr); }
};

TEST_F(SystemCodePages, AnsiAndOemFollowTheLocale) {
  sys::testing::setLocale("ja_JP.UTF-8");
  EXPECT_EQ(toWide(CP_ACP, "\x93\xfa\x96\x7b"), u"\u65E5\u672C");
  EXPECT_EQ(toBytes(CP_ACP, u"\u65E5"), "\x93\xfa");
  EXPECT_EQ(toWide(CP_OEMCP, "\x93\xfa"), u"\u65E5");

  sys::testing::setLocale("ru_RU");
  EXPECT_EQ(toWide(CP_ACP, "\xcf"), u"\u041F");
  EXPECT_EQ(toWide(CP_OEMCP, "\x8f"), u"\u041F");

  sys::testing::setLocale("C");
  EXPECT_EQ(toWide(CP_ACP, "\x80"), u"\u20AC");
  EXPECT_EQ(toWide(CP_OEMCP, "\x80"), u"\u00C7");
}

TEST(CodePageConversion, RefusesUnknownCodePagesAndBadArguments) {
  WCHAR wide[8];
  char bytes[8];
  for (const UINT codePage : {12345u, 1200u, 1201u, 12000u, 2u, 0xFFFFFFFFu}) {
    EXPECT_EQ(sys::MultiByteToWideChar(codePage, 0, "abc", 3, wide, 8), 0) << codePage;
    EXPECT_EQ(sys::WideCharToMultiByte(codePage, 0, u"abc", 3, bytes, 8, nullptr, nullptr), 0)
        << codePage;
  }
  EXPECT_EQ(sys::MultiByteToWideChar(1252, 1, "abc", 3, wide, 8), 0);
  EXPECT_EQ(sys::MultiByteToWideChar(1252, 0, nullptr, 3, wide, 8), 0);
  EXPECT_EQ(sys::MultiByteToWideChar(1252, 0, "abc", 0, wide, 8), 0);
  EXPECT_EQ(sys::MultiByteToWideChar(1252, 0, "abc", -2, wide, 8), 0);
  EXPECT_EQ(sys::MultiByteToWideChar(1252, 0, "abc", 3, wide, -1), 0);
  EXPECT_EQ(sys::MultiByteToWideChar(1252, 0, "abc", 3, nullptr, 8), 0);
  EXPECT_EQ(sys::WideCharToMultiByte(1252, 0x400, u"abc", 3, bytes, 8, nullptr, nullptr), 0);
  EXPECT_EQ(sys::WideCharToMultiByte(1252, 0, nullptr, 3, bytes, 8, nullptr, nullptr), 0);
  EXPECT_EQ(sys::WideCharToMultiByte(1252, 0, u"abc", 0, bytes, 8, nullptr, nullptr), 0);
  EXPECT_EQ(sys::WideCharToMultiByte(1252, 0, u"abc", -2, bytes, 8, nullptr, nullptr), 0);
  EXPECT_EQ(sys::WideCharToMultiByte(1252, 0, u"abc", 3, bytes, -1, nullptr, nullptr), 0);
  EXPECT_EQ(sys::WideCharToMultiByte(1252, 0, u"abc", 3, nullptr, 8, nullptr, nullptr), 0);
}

// The system's iconv as a second opinion: the character it gives for a byte sequence, or
// nothing when it has no mapping.
class Iconv {
 public:
  explicit Iconv(const char* codePage) : handle_(iconv_open("UTF-16LE", codePage)) {}
  ~Iconv() {
    if (valid()) iconv_close(handle_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  std::u16string convert(const std::string& bytes) const {
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    std::string in = bytes;
    char out[16];
    char* inPointer = in.data();
    char* outPointer = out;
    std::size_t inLeft = in.size();
    std::size_t outLeft = sizeof out;
    if (iconv(handle_, &inPointer, &inLeft, &outPointer, &outLeft) ==
            static_cast<std::size_t>(-1) ||
        inLeft != 0) {
      return {};
    }
    std::u16string wide;
    for (const char* p = out; p + 1 < outPointer; p += 2) {
      wide += static_cast<char16_t>(static_cast<unsigned char>(p[0]) |
                                    static_cast<unsigned char>(p[1]) << 8);
    }
    return wide;
  }

 private:
  iconv_t handle_;
};

struct IconvCase {
  UINT codePage;
  const char* iconvName;
};

class AgreesWithIconv : public ::testing::TestWithParam<IconvCase> {};

TEST_P(AgreesWithIconv, OnEverySingleByte) {
  const auto& c = GetParam();
  const Iconv reference(c.iconvName);
  if (!reference.valid()) GTEST_SKIP() << "iconv lacks " << c.iconvName;
  for (unsigned b = 0; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    const std::u16string expected = reference.convert(byte);
    const std::u16string ours = toWide(c.codePage, byte);
    SCOPED_TRACE(b);
    if (expected.empty()) {
      // Bytes iconv leaves unmapped still give one character here, as on Windows.
      EXPECT_EQ(ours.size(), 1u);
      continue;
    }
    EXPECT_EQ(ours, expected);
    BOOL used = TRUE;
    EXPECT_EQ(toBytes(c.codePage, ours, nullptr, &used), byte);
    EXPECT_EQ(used, FALSE);
  }
}

INSTANTIATE_TEST_SUITE_P(
    SingleByte, AgreesWithIconv,
    ::testing::Values(IconvCase{1252, "CP1252"}, IconvCase{1250, "CP1250"},
                      IconvCase{1251, "CP1251"}, IconvCase{437, "CP437"}, IconvCase{850, "CP850"},
                      IconvCase{852, "CP852"}, IconvCase{866, "CP866"}, IconvCase{932, "CP932"},
                      IconvCase{936, "CP936"}, IconvCase{949, "CP949"}, IconvCase{950, "CP950"}),
    [](const auto& testInfo) { return std::string(testInfo.param.iconvName); });

class DoubleByteAgreesWithIconv : public ::testing::TestWithParam<IconvCase> {};

TEST_P(DoubleByteAgreesWithIconv, OnEveryPairIconvMaps) {
  const auto& c = GetParam();
  const Iconv reference(c.iconvName);
  if (!reference.valid()) GTEST_SKIP() << "iconv lacks " << c.iconvName;
  // All pairs of a lead byte that iconv maps go through in one conversion.
  std::size_t pairs = 0;
  for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
    std::string bytes;
    std::u16string expected;
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
      const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
      const std::u16string character = reference.convert(pair);
      if (character.size() != 1) continue;
      bytes += pair;
      expected += character;
    }
    if (bytes.empty()) continue;
    pairs += expected.size();
    const std::u16string ours = toWide(c.codePage, bytes);
    ASSERT_EQ(ours, expected) << "lead byte " << lead;
    // Back to bytes: whichever code Windows picks for a character, it reads as that character.
    BOOL used = TRUE;
    EXPECT_EQ(toWide(c.codePage, toBytes(c.codePage, ours, nullptr, &used)), ours)
        << "lead byte " << lead;
    EXPECT_EQ(used, FALSE);
  }
  EXPECT_GT(pairs, 7000u);
}

INSTANTIATE_TEST_SUITE_P(DoubleByte, DoubleByteAgreesWithIconv,
                         ::testing::Values(IconvCase{932, "CP932"}, IconvCase{936, "CP936"},
                                           IconvCase{949, "CP949"}, IconvCase{950, "CP950"}),
                         [](const auto& testInfo) {
                           return std::string(testInfo.param.iconvName);
                         });

TEST(CodePageConversion, ThreadsConvertSideBySide) {
  const std::string bytes = "\x93\xfa\x96\x7b\x8c\xea\x20\xb1\x5c\x7e";
  const std::u16string text = u"\u65E5\u672C\u8A9E \uFF71\\~";
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (std::size_t t = 0; t < failures.size(); ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 500; ++i) {
        WCHAR wide[16];
        char narrow[16];
        const int n = sys::MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()),
                                               wide, 16);
        const int m = sys::WideCharToMultiByte(t % 2 == 0 ? 932 : 1252, 0, wide, n, narrow, 16,
                                               nullptr, nullptr);
        if (std::u16string(wide, static_cast<std::size_t>(n)) != text || m <= 0) ++failures[t];
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

}  // namespace
