#include <kwuni/resources.h>

#include "platform/locale.h"
#include "platform/module.h"
#include "platform/resource.h"
#include "platform/version.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Resources, LoadsTextsByIdCutToTheBufferAndLeavesMissingOnesEmpty) {
  const HINSTANCE module = KW_GetKWRES();
  ASSERT_NE(module, nullptr);
  WCHAR buffer[81];
  EXPECT_GT(sys::LoadStringW(module, 6154, buffer, 81), 0);
  EXPECT_EQ(std::u16string(buffer).rfind(u"37 - ", 0), 0u);
  WCHAR small[4];
  EXPECT_EQ(sys::LoadStringW(module, 6154, small, 4), 3);
  EXPECT_EQ(std::u16string(small), u"37 ");
  EXPECT_EQ(sys::LoadStringW(module, 6154, small, 0), 0);
  EXPECT_EQ(sys::LoadStringW(module, 6154, nullptr, 81), 0);

  // No such string, or a module without a string table (this program has none).
  const HINSTANCE self = sys::moduleContaining(reinterpret_cast<const void*>(&sys::LoadStringW));
  for (const auto& [from, id] : {std::pair(module, 6151u), std::pair(module, 0u), std::pair(module, 99999u),
                                 std::pair(self, 6154u), std::pair(HINSTANCE{}, 6154u)}) {
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(sys::LoadStringW(from, id, buffer, 81), 0) << id;
    EXPECT_EQ(buffer[0], 0) << id;
  }
}

TEST(Module, FileNameIsTheModulePathCutToTheBuffer) {
  const HINSTANCE module = KW_GetKWRES();
  WCHAR path[4096];
  const DWORD length = sys::GetModuleFileNameW(module, path, 4096);
  ASSERT_GT(length, 0u);
  const std::u16string name(path, length);
  EXPECT_NE(name.find(u"libkwres.so"), std::u16string::npos);
  EXPECT_EQ(name.front(), u'/');
  WCHAR cut[8];
  EXPECT_EQ(sys::GetModuleFileNameW(module, cut, 8), 8u);
  EXPECT_EQ(std::u16string(cut), name.substr(0, 7));
  EXPECT_EQ(sys::GetModuleFileNameW(module, cut, 0), 0u);
  EXPECT_EQ(sys::GetModuleFileNameW(nullptr, path, 4096), 0u);
}

TEST(Version, ReportsNtUnlessTestsAskForThe9xFamily) {
  sys::OSVERSIONINFOW info{};
  EXPECT_EQ(sys::GetVersionExW(&info), FALSE) << "size field not set";
  info.dwOSVersionInfoSize = sizeof info;
  EXPECT_EQ(sizeof info, 276u);
  ASSERT_EQ(sys::GetVersionExW(&info), TRUE);
  EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
  sys::testing::setPlatformId(VER_PLATFORM_WIN32_WINDOWS);
  ASSERT_EQ(sys::GetVersionExW(&info), TRUE);
  EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_WINDOWS);
  sys::testing::setPlatformId(VER_PLATFORM_WIN32_NT);
}

TEST(Locale, CodePagesAndLcidFollowTheLocale) {
  struct Case { const char* posix; UINT ansi, oem; LCID lcid; };
  const Case cases[] = {
      {"C", 1252, 437, 0x0409},           {"POSIX", 1252, 437, 0x0409},       {"C.UTF-8", 1252, 437, 0x0409},
      {"", 1252, 437, 0x0409},            {"en_GB.UTF-8", 1252, 850, 0x0809}, {"de_DE.UTF-8@euro", 1252, 850, 0x0407},
      {"ja_JP.eucJP", 932, 932, 0x0411},  {"zh_TW.UTF-8", 950, 950, 0x0404},  {"zh_CN.GB18030", 936, 936, 0x0804},
      {"zh_HK", 950, 950, 0x0C04},        {"ko_KR", 949, 949, 0x0412},        {"ru_RU.KOI8-R", 1251, 866, 0x0419},
      {"sr_RS@latin", 1250, 852, 0x241A}, {"sr_RS", 1251, 855, 0x281A},       {"pl_PL", 1250, 852, 0x0415},
      {"tr_TR", 1254, 857, 0x041F},       {"he_IL", 1255, 862, 0x040D},       {"ar_EG", 1256, 720, 0x0C01},
      {"lt_LT", 1257, 775, 0x0427},       {"vi_VN", 1258, 1258, 0x042A},      {"th_TH", 874, 874, 0x041E},
      {"el_GR", 1253, 737, 0x0408}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.posix);
    sys::testing::setLocale(c.posix);
    EXPECT_EQ(sys::GetACP(), c.ansi);
    EXPECT_EQ(sys::GetOEMCP(), c.oem);
    EXPECT_EQ(sys::GetSystemDefaultLCID(), c.lcid);
    EXPECT_EQ(sys::GetUserDefaultLCID(), c.lcid);
  }
  sys::testing::setLocale("fr_FR");
  EXPECT_EQ(sys::ConvertDefaultLocale(0x0800), 0x040Cu);
  EXPECT_EQ(sys::ConvertDefaultLocale(0x0400), 0x040Cu);
  EXPECT_EQ(sys::ConvertDefaultLocale(0), 0x040Cu);
  EXPECT_EQ(sys::ConvertDefaultLocale(0x0007), 0x0407u);  // German, neutral
  EXPECT_EQ(sys::ConvertDefaultLocale(0x0C0C), 0x0C0Cu);
  sys::testing::setLocale(nullptr);
}

TEST(Locale, EnvironmentDecidesWhenNoHookIsSet) {
  sys::testing::setLocale(nullptr);
  // The test runner sets LC_ALL=C, which means English (United States).
  const char* lcAll = std::getenv("LC_ALL");
  if (lcAll == nullptr || std::string(lcAll) != "C") GTEST_SKIP() << "needs LC_ALL=C";
  EXPECT_EQ(sys::GetACP(), 1252u);
  EXPECT_EQ(sys::GetUserDefaultLCID(), 0x0409u);
}

TEST(Charsets, TranslateCodePagesOfTheAnsiFamilyOnly) {
  const std::pair<UINT, UINT> cases[] = {{1252, 0}, {932, 128}, {1250, 238}, {1255, 177}, {874, 222}, {1361, 130}};
  for (const auto& [cp, charset] : cases) {
    sys::CHARSETINFO info{};
    ASSERT_EQ(sys::TranslateCharsetInfo(cp, &info, sys::TCI_SRCCODEPAGE), TRUE) << cp;
    EXPECT_EQ(info.ciCharset, charset);
    EXPECT_EQ(info.ciACP, cp);
  }
  sys::CHARSETINFO info{};
  EXPECT_EQ(sys::TranslateCharsetInfo(437, &info, sys::TCI_SRCCODEPAGE), FALSE);
  EXPECT_EQ(sys::TranslateCharsetInfo(1200, &info, sys::TCI_SRCCODEPAGE), FALSE);
  EXPECT_EQ(sys::TranslateCharsetInfo(1252, nullptr, sys::TCI_SRCCODEPAGE), FALSE);
  ASSERT_EQ(sys::TranslateCharsetInfo(128, &info, sys::TCI_SRCCHARSET), TRUE);
  EXPECT_EQ(info.ciACP, 932u);
}

}  // namespace
