#include <kwuni/catalogue.h>

#include "catalogue/catalogue_rows.h"
#include "platform/locale.h"
#include "platform/version.h"
#include "tests/support.h"

#include <gtest/gtest.h>

#include <set>
#include <span>
#include <string>
#include <vector>

namespace {

using kwuni::catalogue::ansiRows;
using kwuni::catalogue::ccsidRows;
using kwuni::catalogue::CodeRow;
using kwuni::catalogue::nlvRows;
using kwuni::catalogue::oemRows;
using kwuni::test::widen;

std::u16string text(const WCHAR* p) { return p == nullptr ? std::u16string() : std::u16string(p); }

// The system is an NT-family machine in the United States unless a test says otherwise.
class CodePages : public ::testing::Test {
 protected:
  void SetUp() override { sys::testing::setLocale("en_US.UTF-8"); }
  void TearDown() override {
    sys::testing::setLocale(nullptr);
    sys::testing::setPlatformId(VER_PLATFORM_WIN32_NT);
  }
};

// Every row of each catalogue: listed once, translated to its character set, and described by a
// text that names its code and leads back to it, whatever the case of A-Z (so the descriptions
// are unique within the catalogue).
TEST_F(CodePages, EveryRowIsListedAndItsDescriptionLeadsBackToIt) {
  struct Catalogue {
    std::span<const CodeRow> rows;
    const WCHAR* (*describe)(int);
    int (*codeOf)(const WCHAR*), (*isListed)(int), (*translate)(int);
  };
  for (const auto& c : {Catalogue{ansiRows, KW_GetACPDesc, KW_GetACPCode, KW_IsACP, KW_TranslateACPInfo},
                        Catalogue{oemRows, KW_GetOEMCPDesc, KW_GetOEMCPCode, KW_IsOEMCP, KW_TranslateOEMCPInfo},
                        Catalogue{ccsidRows, KW_GetECPDesc, KW_GetECPCode, KW_IsECP, KW_TranslateECPInfo},
                        Catalogue{nlvRows, KW_GetNLVDesc, KW_GetNLVCode, KW_IsNLV, KW_TranslateNLVInfo}}) {
    std::set<int> codes;
    for (const auto& row : c.rows) {
      SCOPED_TRACE(row.code);
      EXPECT_TRUE(codes.insert(row.code).second) << "listed twice";
      const std::u16string description = text(c.describe(row.code));
      EXPECT_LE(description.size(), 80u);
      EXPECT_EQ(description.rfind(widen(std::to_string(row.code) + " - "), 0), 0u) << "names its code";
      std::u16string upper = description;
      for (auto& ch : upper) ch = ch >= u'a' && ch <= u'z' ? static_cast<char16_t>(ch - u'a' + u'A') : ch;
      EXPECT_EQ(c.codeOf(description.c_str()), row.code);
      EXPECT_EQ(c.codeOf(upper.c_str()), row.code);
      EXPECT_EQ(c.isListed(row.code), 1);
      // On an en-US system the system code page is 1252, displayed with ANSI_CHARSET.
      EXPECT_EQ(c.translate(row.code), row.charset == DEFAULT_CHARSET ? ANSI_CHARSET : row.charset);
    }
  }
}

TEST_F(CodePages, UnlistedCodesAndDescriptions) {
  EXPECT_EQ(text(KW_GetACPDesc(1255)), u"1255 - Unsupported code page");
  EXPECT_EQ(text(KW_GetOEMCPDesc(1252)), u"1252 - Unsupported code page");
  EXPECT_EQ(text(KW_GetECPDesc(-5)), u"-5 - Unsupported CCSID");
  EXPECT_EQ(text(KW_GetECPDesc(-2147483647 - 1)), u"-2147483648 - Unsupported CCSID");
  // The text lives in one buffer per catalogue, replaced by the next unlisted lookup there.
  const WCHAR* first = KW_GetECPDesc(1);
  EXPECT_EQ(first, KW_GetECPDesc(2));
  EXPECT_EQ(text(first), u"2 - Unsupported CCSID");
  EXPECT_NE(KW_GetACPDesc(7), KW_GetOEMCPDesc(7));

  EXPECT_EQ(KW_GetECPCode(u"no such code page"), 0);
  EXPECT_EQ(KW_GetECPCode(u""), 0);
  EXPECT_EQ(KW_GetECPCode(nullptr), 0);
  // Only A-Z fold: a description with one character changed outside ASCII does not match.
  std::u16string description = text(KW_GetECPDesc(37));
  description.back() = u'\u00E9';
  EXPECT_EQ(KW_GetECPCode(description.c_str()), 0);
}

TEST_F(CodePages, MembershipDbcsAndCharsets) {
  struct Case { int code, ansi, oem, ccsid, dbcs; };
  const Case cases[] = {{1252, 1, 0, 0, 0}, {1200, 1, 0, 0, 0}, {437, 0, 1, 0, 0},   {37, 0, 0, 1, 0},
                        {930, 0, 0, 1, 1},  {939, 0, 0, 1, 1},  {1399, 0, 0, 1, 1},  {13488, 0, 0, 1, 0},
                        {290, 0, 0, 0, 0},  {424, 0, 0, 0, 0},  {1255, 0, 0, 0, 0},  {0, 0, 0, 0, 0},
                        {-1, 0, 0, 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(KW_IsACP(c.code), c.ansi);
    EXPECT_EQ(KW_IsOEMCP(c.code), c.oem);
    EXPECT_EQ(KW_IsECP(c.code), c.ccsid);
    EXPECT_EQ(KW_IsDbcsECP(c.code), c.dbcs);
  }
  int dbcsCount = 0;
  for (const auto& r : ccsidRows) dbcsCount += KW_IsDbcsECP(r.code);
  EXPECT_EQ(dbcsCount, 10);

  const std::pair<int, int> fromCharset[] = {{128, 932}, {238, 1250}, {1, 1200}, {0, 0},
                                             {177, 0},   {130, 1361}, {-1, 0}};
  for (const auto& [charset, code] : fromCharset) EXPECT_EQ(KW_GetACPCode(charset), code) << charset;
}

TEST_F(CodePages, DefaultAndCorrectedCcsids) {
  EXPECT_EQ(KW_GetDefaultECP(0), 37);  // en-US: code page 1252
  const std::pair<int, int> defaults[] = {{1255, 424}, {1256, 420}, {437, 500},  {932, 930},
                                          {1361, 1364}, {874, 838}, {1252, 37}, {65001, 500}};
  for (const auto& [cp, ccsid] : defaults) EXPECT_EQ(KW_GetDefaultECP(cp), ccsid) << cp;
  sys::testing::setLocale("ja_JP.UTF-8");
  EXPECT_EQ(KW_GetDefaultECP(0), 930);
  sys::testing::setLocale("el_GR");
  EXPECT_EQ(KW_GetDefaultECP(0), 875);
  const std::pair<int, int> corrected[] = {{290, 930}, {833, 933}, {836, 935}, {930, 930}, {0, 0}, {-7, -7}};
  for (const auto& [from, to] : corrected) EXPECT_EQ(KW_GetCorrectedECP(from), to) << from;
}

TEST_F(CodePages, TranslationFallsBackToTheSystemCharset) {
  EXPECT_EQ(KW_TranslateECPInfo(930), 128);
  EXPECT_EQ(KW_TranslateECPInfo(13488), ANSI_CHARSET);
  EXPECT_EQ(KW_TranslateECPInfo(424), ANSI_CHARSET);
  sys::testing::setLocale("ru_RU.UTF-8");
  EXPECT_EQ(KW_TranslateECPInfo(13488), RUSSIAN_CHARSET);
  EXPECT_EQ(KW_TranslateACPInfo(1200), RUSSIAN_CHARSET);
  EXPECT_EQ(KW_TranslateOEMCPInfo(9999), RUSSIAN_CHARSET);
  // A system code page without a GDI character set: the translation gives DEFAULT_CHARSET.
  sys::testing::setLocale("hi_IN");
  EXPECT_EQ(KW_TranslateECPInfo(13488), ANSI_CHARSET);
}

TEST_F(CodePages, Validity) {
  EXPECT_EQ(KW_IsValidACP(1200, 0), 1);
  EXPECT_EQ(KW_IsValidACP(1255, 0), 0);
  EXPECT_EQ(KW_IsValidACP(1251, CP_INSTALLED), 1);
  EXPECT_EQ(KW_IsValidECP(930, CP_SUPPORTED), 1);
  EXPECT_EQ(KW_IsValidOEMCP(1252, CP_SUPPORTED), 0);
  // The older family: valid when displayed with ANSI_CHARSET or the system code page's set.
  sys::testing::setPlatformId(VER_PLATFORM_WIN32_WINDOWS);
  EXPECT_EQ(KW_IsValidACP(1251, CP_INSTALLED), 0);
  EXPECT_EQ(KW_IsValidACP(1200, CP_INSTALLED), 1);
  EXPECT_EQ(KW_IsValidACP(1252, CP_SUPPORTED), 1);
  EXPECT_EQ(KW_IsValidECP(930, CP_INSTALLED), 0);
  EXPECT_EQ(KW_IsValidECP(930, 0), 1);
  sys::testing::setLocale("ja_JP");
  EXPECT_EQ(KW_IsValidECP(930, CP_INSTALLED), 1);
  EXPECT_EQ(KW_IsValidECP(933, CP_INSTALLED), 0);
  EXPECT_EQ(KW_IsValidOEMCP(437, CP_INSTALLED), 1);
}

int CALLBACK collect(const WCHAR* key, long value) {
  reinterpret_cast<std::vector<std::u16string>*>(value)->emplace_back(key);
  return 0;  // ignored: the enumeration always runs to the end
}

std::vector<std::u16string> enumerate(int (*enumerator)(EnumTextProc, long, unsigned long), unsigned long flags) {
  std::vector<std::u16string> keys;
  EXPECT_EQ(enumerator(collect, reinterpret_cast<long>(&keys), flags), 1);
  return keys;
}

// With KW_ENUM_SPECIAL every row is offered, so these also give each catalogue's size.
TEST_F(CodePages, EnumerationFlags) {
  const std::vector<std::u16string> ansi = {u"874",  u"932",  u"936",  u"949",  u"950",  u"1250", u"1251",
                                            u"1252", u"1253", u"1254", u"1257", u"1258", u"1361"};
  EXPECT_EQ(enumerate(KW_EnumANSICodePages, CP_SUPPORTED), ansi);
  auto withSpecial = ansi;
  withSpecial.insert(withSpecial.begin() + 5, u"1200");
  EXPECT_EQ(enumerate(KW_EnumANSICodePages, CP_SUPPORTED | KW_ENUM_SPECIAL), withSpecial);
  EXPECT_TRUE(enumerate(KW_EnumANSICodePages, 0).empty());
  EXPECT_TRUE(enumerate(KW_EnumANSICodePages, KW_ENUM_SPECIAL).empty());
  const auto ccsids = enumerate(KW_EnumEBCDICCodePages, CP_INSTALLED);
  EXPECT_EQ(ccsids.size(), 49u);
  EXPECT_EQ(ccsids.front(), u"37");
  const auto allCcsids = enumerate(KW_EnumEBCDICCodePages, CP_INSTALLED | KW_ENUM_SPECIAL);
  ASSERT_EQ(allCcsids.size(), 50u);
  EXPECT_EQ(allCcsids.back(), u"13488");
  EXPECT_EQ(enumerate(KW_EnumOEMCodePages, CP_INSTALLED).size(), 20u);
  EXPECT_EQ(enumerate(KW_EnumOEMCodePages, CP_INSTALLED | KW_ENUM_SPECIAL).size(), 20u);
  // On the older family with a Western system code page, only ANSI_CHARSET code pages pass.
  sys::testing::setPlatformId(VER_PLATFORM_WIN32_WINDOWS);
  EXPECT_EQ(enumerate(KW_EnumOEMCodePages, CP_INSTALLED),
            (std::vector<std::u16string>{u"437", u"819", u"850", u"858", u"860", u"861", u"863", u"865", u"923"}));
  EXPECT_EQ(KW_EnumEBCDICCodePages(nullptr, 0, CP_INSTALLED), 1);
}

TEST_F(CodePages, NumberTexts) {
  struct Case { int value, count, result; std::u16string written; };
  const Case cases[] = {{1252, 16, 4, u"1252"}, {-1, 16, 10, u"4294967295"}, {12345, 4, -1, u"1234"},
                        {1234, 4, 4, u"1234"},  {0, 2, 1, u"0"},             {7, 1, 1, u"7"},
                        {7, 0, -1, u""},        {42, -3, -1, u""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    std::u16string buffer(16, u'#');
    EXPECT_EQ(KW_CPToString(c.value, buffer.data(), c.count), c.result);
    const bool terminated = c.result >= 0 && c.result < c.count;
    EXPECT_EQ(buffer.substr(0, c.written.size() + 1), c.written + (terminated ? u'\0' : u'#'));
  }
  EXPECT_EQ(KW_NLVToString(2924, nullptr, 0), -1);

  const std::pair<std::u16string, int> readings[] = {
      {u" 37x", 37},     {u"abc", 0}, {u"", 0},   {u"\t\n-12", -12},         {u"+5", 5},
      {u"- 5", 0},       {u"0037", 37}, {u"99999999999", 2147483647}, {u"-99999999999", -2147483647 - 1}};
  for (const auto& [input, value] : readings) EXPECT_EQ(KW_StringToCP(input.c_str()), value);
  EXPECT_EQ(KW_StringToNLV(nullptr), 0);
  EXPECT_EQ(KW_StringToCalendar(u"2"), 2);
}

}  // namespace

namespace {

// ---- NLVs --------------------------------------------------------------------------------------

TEST_F(CodePages, NlvEnumerationOffersEveryRowWithoutFlags) {
  const auto all = enumerate(KW_EnumNLVs, 0);
  ASSERT_EQ(all.size(), 48u);
  EXPECT_EQ(all.front(), u"2902");
  EXPECT_EQ(all.back(), u"2996");
  EXPECT_EQ(all[16], u"2930");  // table order, not numeric order
  EXPECT_EQ(enumerate(KW_EnumNLVs, CP_SUPPORTED), all);
  EXPECT_EQ(enumerate(KW_EnumNLVs, KW_ENUM_SPECIAL), all);
  // The older family with a Western system code page offers the NLVs shown with ANSI_CHARSET.
  sys::testing::setPlatformId(VER_PLATFORM_WIN32_WINDOWS);
  const auto western = enumerate(KW_EnumNLVs, CP_INSTALLED);
  EXPECT_EQ(western.size(), 26u);
  EXPECT_EQ(enumerate(KW_EnumNLVs, 0), all);
}

TEST_F(CodePages, NlvLookups) {
  EXPECT_EQ(text(KW_GetNLVDesc(2998)), u"2998 - Unsupported NLV");
  EXPECT_EQ(text(KW_GetNLVDesc(-1)), u"-1 - Unsupported NLV");
  EXPECT_EQ(KW_TranslateNLVInfo(2962), 128);
  EXPECT_EQ(KW_TranslateNLVInfo(1), 0);  // no fallback to the system's set
  EXPECT_EQ(KW_IsNLV(2930), 1);
  EXPECT_EQ(KW_IsNLV(2998), 0);
  EXPECT_EQ(KW_GetNLVCode(u"2924 - ENGLISH (UPPERCASE AND LOWERCASE)"), 2924);
  EXPECT_EQ(KW_GetNLVCode(nullptr), 0);

  const std::pair<int, int> defaults[] = {{932, 2962}, {437, 2924}, {1251, 2979}, {1256, 2954}, {65001, 2924}};
  for (const auto& [cp, nlv] : defaults) EXPECT_EQ(KW_GetDefaultNLV(cp), nlv) << cp;
  EXPECT_EQ(KW_GetDefaultNLV(0), 2924);
  sys::testing::setLocale("ru_RU");
  EXPECT_EQ(KW_GetDefaultNLV(0), 2979);
}

TEST_F(CodePages, NlvValidity) {
  EXPECT_EQ(KW_IsValidNLV(2979, CP_INSTALLED), 1);
  EXPECT_EQ(KW_IsValidNLV(2998, 0), 0);
  EXPECT_EQ(KW_IsValidNLV(2998, CP_SUPPORTED), 0);
  sys::testing::setPlatformId(VER_PLATFORM_WIN32_WINDOWS);
  EXPECT_EQ(KW_IsValidNLV(2979, CP_INSTALLED), 0);
  EXPECT_EQ(KW_IsValidNLV(2924, CP_INSTALLED), 1);
  EXPECT_EQ(KW_IsValidNLV(2979, 0), 1);
  sys::testing::setLocale("ru_RU");
  EXPECT_EQ(KW_IsValidNLV(2979, CP_SUPPORTED), 1);
  EXPECT_EQ(KW_IsValidNLV(2962, CP_SUPPORTED), 0);
}

}  // namespace
