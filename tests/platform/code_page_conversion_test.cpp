#include "platform/code_page_conversion.h"

#include "platform/locale.h"
#include "tests/support.h"

#include <gtest/gtest.h>

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
  const int needed = sys::WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, defaultChar, usedDefault);
  std::string bytes(static_cast<std::size_t>(needed), '\0');
  EXPECT_EQ(sys::WideCharToMultiByte(codePage, 0, wide.data(), size, bytes.data(), needed, defaultChar, usedDefault),
            needed);
  return bytes;
}

TEST(CodePageConversion, RoundTripsAndSizesExactly) {
  struct Case { UINT codePage; std::string bytes; std::u16string text; };
  const Case cases[] = {
      {1252, "\x63\x61\x66\xe9\x20\x80\x20\x9c\x81", u"caf\u00E9 \u20AC \u0153\u0081"},
      {1250, "\x8a\x9a\x20\xb3\xf3\x64\x9f", u"\u0160\u0161 \u0142\u00F3d\u017A"},
      {1251, "\xcf\xf0\xe8\xe2\xe5\xf2", u"\u041F\u0440\u0438\u0432\u0435\u0442"},
      {437, "\x82\x20\xe1\x20\xb0\x20\xf1\xe6", u"\u00E9 \u00DF \u2591 \u00B1\u00B5"},
      {437, "\x1a\x1c\x7f", u"\x1A\x1C\x7F"},
      {850, "\x82\x20\xd0\x20\x9d", u"\u00E9 \u00F0 \u00D8"},
      {852, "\xa5\x9f\xfd\xaa", u"\u0105\u010D\u0159\u00AC"},
      {866, "\x8f\xe0\xa8\xa2\xa5\xe2", u"\u041F\u0440\u0438\u0432\u0435\u0442"},
      {932, "\x93\xfa\x96\x7b\x8c\xea\x20\xb1\x5c\x7e", u"\u65E5\u672C\u8A9E \uFF71\\~"},
      {932, "\x1a\x1c\x7f", u"\x1A\x1C\x7F"},
      {936, "\xd6\xd0\xce\xc4\x20\xa3\xa4", u"\u4E2D\u6587 \uFFE5"},
      {949, "\xc7\xd1\xb1\xdb\x20\xa8\xe7", u"\uD55C\uAE00 \u2460"},
      {950, "\xa4\xa4\xa4\xe5\x20\xbb\x4f", u"\u4E2D\u6587 \u81FA"},
      {CP_UTF8, "\xe2\x82\xac\xf0\x9f\x98\x80\xc3\xa9", u"\u20AC\U0001F600\u00E9"},
      {CP_UTF7, "\x2b\x41\x4b\x4d\x2d", u"\u00A3"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "code page " << c.codePage << ", row " << &c - cases);
    const UINT cp = c.codePage;
    const bool unicode = cp == CP_UTF8 || cp == CP_UTF7;
    EXPECT_EQ(toWide(cp, c.bytes), c.text);
    BOOL usedDefault = TRUE;
    EXPECT_EQ(toBytes(cp, c.text, nullptr, unicode ? nullptr : &usedDefault), c.bytes);
    EXPECT_EQ(usedDefault, unicode ? TRUE : FALSE);

    // Length -1 takes the terminated string, terminator included. The buffers have two spare
    // places, so that a stray write shows: sizing writes nothing, a short buffer is not overrun.
    const int wideCount = static_cast<int>(c.text.size()) + 1, byteCount = static_cast<int>(c.bytes.size()) + 1;
    std::u16string wide(c.text.size() + 3, u'#');
    std::string bytes(c.bytes.size() + 3, '#');
    const auto into = [&](int wideRoom, int byteRoom) {
      return std::pair(sys::MultiByteToWideChar(cp, 0, c.bytes.c_str(), -1, wide.data(), wideRoom),
                       sys::WideCharToMultiByte(cp, 0, c.text.c_str(), -1, bytes.data(), byteRoom, nullptr, nullptr));
    };
    EXPECT_EQ(into(0, 0), std::pair(wideCount, byteCount));
    EXPECT_EQ(wide, std::u16string(wide.size(), u'#'));
    EXPECT_EQ(bytes, std::string(bytes.size(), '#'));
    EXPECT_EQ(into(wideCount - 1, byteCount - 1), std::pair(0, 0));
    EXPECT_EQ(wide.substr(c.text.size()), u"###");
    EXPECT_EQ(bytes.substr(c.bytes.size()), "###");
    EXPECT_EQ(into(wideCount, byteCount), std::pair(wideCount, byteCount));
    EXPECT_EQ(wide, c.text + u'\0' + u"##");
    EXPECT_EQ(bytes, c.bytes + '\0' + "##");
  }
}

TEST(CodePageConversion, UnmappedCharactersBecomeTheDefaultCharacter) {
  struct Case { UINT codePage; std::u16string text; const char* defaultChar; std::string bytes; BOOL usedDefault; };
  const Case cases[] = {
      {1252, u"abc", nullptr, "abc", FALSE},       {1252, u"\uFF21\uFF42", nullptr, "Ab", FALSE},
      {932, u"\u00A5", nullptr, "\x5c", FALSE},    {1252, u"a\u4E00b", nullptr, "a?b", TRUE},
      {1252, u"a\u4E00b", "#", "a#b", TRUE},       {1252, u"\U0001F600.", nullptr, "?.", TRUE},
      {1252, u"\xD800.\xDC00", nullptr, "?.?", TRUE}, {437, u"\u4E00", "\x1a", "\x1a", TRUE},
      {932, u"\u65E5\u0E01", nullptr, "\x93\xfa?", TRUE}, {932, u"\u0E01", "\x7f", "\x7f", TRUE},
      {932, u"\xD800", "#", "#", TRUE},            {936, u"\u0E01\u4E2D", nullptr, "?\xd6\xd0", TRUE},
      {949, u"\u0E01", "*", "*", TRUE},            {950, u"\u0E01", nullptr, "?", TRUE}};
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    BOOL used = -1;
    EXPECT_EQ(toBytes(c.codePage, c.text, c.defaultChar, &used), c.bytes);
    EXPECT_EQ(used, c.usedDefault);
    used = -1;  // counting alone reports it too
    EXPECT_EQ(sys::WideCharToMultiByte(c.codePage, 0, c.text.data(), static_cast<int>(c.text.size()), nullptr, 0,
                                       c.defaultChar, &used),
              static_cast<int>(c.bytes.size()));
    EXPECT_EQ(used, c.usedDefault);
  }
  // Bytes that do not map read as question marks.
  EXPECT_EQ(toWide(932, "a\x93"), u"a?");     // a lead byte at the end
  EXPECT_EQ(toWide(932, "\x81\x20"), u"? ");  // a lead byte without a trail byte
  EXPECT_EQ(toWide(1253, "\xd2"), u"?");      // unassigned in the code page
}

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

  // Unless the caller asks for a failure on unpaired surrogates (UTF-8 only).
  const std::pair<std::u16string, int> strict[] = {{u"a\xD800", 0}, {u"\xDC00" u"a", 0}, {u"\xD83D\xDE00", 4},
                                                   {u"h\u00F4", 3}};
  for (const auto& [text, length] : strict) {
    EXPECT_EQ(sys::WideCharToMultiByte(CP_UTF8, sys::WC_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr),
              length);
  }
  EXPECT_EQ(sys::WideCharToMultiByte(1252, sys::WC_ERR_INVALID_CHARS, u"a", 1, out, 8, nullptr, nullptr), 0);
}

TEST(CodePageConversion, AnsiAndOemFollowTheLocale) {
  struct Case { const char* locale; UINT codePage; std::string bytes; std::u16string text; };
  for (const auto& c : {Case{"ja_JP.UTF-8", CP_ACP, "\x93\xfa\x96\x7b", u"\u65E5\u672C"},
                        Case{"ja_JP.UTF-8", CP_OEMCP, "\x93\xfa", u"\u65E5"}, Case{"ru_RU", CP_ACP, "\xcf", u"\u041F"},
                        Case{"ru_RU", CP_OEMCP, "\x8f", u"\u041F"}, Case{"C", CP_ACP, "\x80", u"\u20AC"},
                        Case{"C", CP_OEMCP, "\x80", u"\u00C7"}}) {
    sys::testing::setLocale(c.locale);
    EXPECT_EQ(toWide(c.codePage, c.bytes), c.text) << c.locale << " " << c.codePage;
    EXPECT_EQ(toBytes(c.codePage, c.text), c.bytes) << c.locale << " " << c.codePage;
  }
  sys::testing::setLocale(nullptr);
}

TEST(CodePageConversion, RefusesUnknownCodePagesAndBadArguments) {
  WCHAR wide[8];
  char bytes[8];
  for (const UINT codePage : {12345u, 1200u, 1201u, 12000u, 2u, 0xFFFFFFFFu}) {
    EXPECT_EQ(sys::MultiByteToWideChar(codePage, 0, "abc", 3, wide, 8), 0) << codePage;
    EXPECT_EQ(sys::WideCharToMultiByte(codePage, 0, u"abc", 3, bytes, 8, nullptr, nullptr), 0) << codePage;
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

class AgreesWithIconv : public ::testing::TestWithParam<std::pair<UINT, bool>> {};

// The system's iconv as a second opinion, on every byte and every pair it maps.
TEST_P(AgreesWithIconv, OnEveryByteAndPairItMaps) {
  const auto [codePage, doubleByte] = GetParam();
  const auto reference = kwuni::test::openIconv("CP" + std::to_string(codePage));
  if (reference == nullptr) GTEST_SKIP() << "iconv lacks CP" << codePage;
  // Rows of sequences: the single bytes, then the pairs of each lead byte. Each row goes through
  // in one conversion.
  std::vector<std::vector<std::string>> rows(1);
  for (unsigned b = 0; b < 256; ++b) rows[0].emplace_back(1, static_cast<char>(b));
  for (unsigned lead = 0x81; doubleByte && lead <= 0xFE; ++lead) {
    auto& row = rows.emplace_back();
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
      row.push_back({static_cast<char>(lead), static_cast<char>(trail)});
    }
  }
  std::size_t compared = 0;
  for (const auto& row : rows) {
    std::string bytes;
    std::u16string expected;
    for (const std::string& sequence : row) {
      const std::u16string character = kwuni::test::iconvToWide(reference, sequence);
      if (character.size() != 1) continue;
      bytes += sequence;
      expected += character;
    }
    if (bytes.empty()) continue;
    const std::u16string ours = toWide(codePage, bytes);
    ASSERT_EQ(ours, expected) << "from the " << row.front().size() << "-byte row "
                              << static_cast<unsigned char>(row.front()[0]) + 0;
    compared += ours.size();
    // Back to bytes. Where several codes share a character, any of them reads back as it.
    BOOL used = TRUE;
    const std::string back = toBytes(codePage, ours, nullptr, &used);
    if (!doubleByte) {
      EXPECT_EQ(back, bytes);
    }
    EXPECT_EQ(toWide(codePage, back), ours);
    EXPECT_EQ(used, FALSE);
  }
  EXPECT_GT(compared, doubleByte ? 7000u : 200u);
}

INSTANTIATE_TEST_SUITE_P(CodePages, AgreesWithIconv,
                         ::testing::Values(std::pair(1252u, false), std::pair(1250u, false), std::pair(1251u, false),
                                           std::pair(437u, false), std::pair(850u, false), std::pair(852u, false),
                                           std::pair(866u, false), std::pair(932u, true), std::pair(936u, true),
                                           std::pair(949u, true), std::pair(950u, true)),
                         [](const auto& testInfo) { return "CP" + std::to_string(testInfo.param.first); });

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
        const int n = sys::MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()), wide, 16);
        const int m = sys::WideCharToMultiByte(t % 2 == 0 ? 932 : 1252, 0, wide, n, narrow, 16, nullptr, nullptr);
        if (std::u16string(wide, static_cast<std::size_t>(n)) != text || m <= 0) ++failures[t];
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

}  // namespace
