#include <kwuni/ebcdic.h>

#include "tests/ebcdic/table_stream.h"
#include "tests/support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using kwuni::test::tableBytes;
using kwuni::test::thrownText;
using kwuni::test::widen;
using velmora::EBCDICTranscoderFileNotFound;
using velmora::EBCDICTranscoders;

// Each test gets an empty registry and a base directory of its own, made as tables are written.
class Registry : public kwuni::test::AddedTables {
 protected:
  void SetUp() override {
    AddedTables::SetUp();
    const auto* test = ::testing::UnitTest::GetInstance();
    base = fs::temp_directory_path() /
           ("kwuni-registry-" + std::to_string(test->random_seed()) + "-" + test->current_test_info()->name());
    fs::remove_all(base);
    useBase(base.string());
  }
  void TearDown() override {
    AddedTables::TearDown();
    KW_SetUniBaseDirectory(u"");
    fs::remove_all(base);
  }

  static void useBase(const std::string& dir) { KW_SetUniBaseDirectory(widen(dir).c_str()); }
  static void writeTable(const fs::path& dir, const std::string& name, const std::string& bytes) {
    fs::create_directories(dir / "Tables");
    std::ofstream(dir / "Tables" / name, std::ios::binary) << bytes;
  }
  static std::string notFound(short ccsid) {
    return thrownText<EBCDICTranscoderFileNotFound>([&] { EBCDICTranscoders::instance().transcoder(ccsid); });
  }

  fs::path base;
};

TEST_F(Registry, LoadsAFileOnceAndLooksAgainForOneMissingOrCorrupt) {
  auto& registry = EBCDICTranscoders::instance();
  try {
    registry.transcoder(37);
    ADD_FAILURE() << "loaded";
  } catch (const EBCDICTranscoderFileNotFound& e) {
    EXPECT_EQ(e.fileName, base.string() + "/Tables/E37U.KWX");
  }
  EXPECT_FALSE(EBCDICTranscoders::hasTranscoder(37));

  writeTable(base, "E37U.KWX", tableBytes(5, {{0xC1, u'A'}, {0xC2, u'B'}}));
  EXPECT_EQ(thrownText<velmora::EBCDICTranscoderFileCorrupt>([&] { registry.transcoder(37); }),
            "File corrupt: /Tables/E37U.KWX");
  EXPECT_FALSE(EBCDICTranscoders::hasTranscoder(37));

  writeTable(base, "E37U.KWX", tableBytes({{0xC1, u'A'}}) + "trailing bytes are never read");
  const auto& first = registry.transcoder(37);
  fs::remove(base / "Tables" / "E37U.KWX");
  EXPECT_EQ(&registry.transcoder(37), &first) << "the second request touches no file";
  EXPECT_EQ(EBCDICTranscoders::EtoU(37, 0xC1), u'A');
  EXPECT_TRUE(EBCDICTranscoders::hasTranscoder(37));
  registry.clear();
  EXPECT_FALSE(EBCDICTranscoders::hasTranscoder(37)) << "after clear the file is read again";
}

TEST_F(Registry, FileNamesFollowTheCatalogueAndTheBase) {
  const std::string dir = base.string();
  struct Case { std::string base; short ccsid; std::string path; };
  const Case cases[] = {
      {dir, 500, dir + "/Tables/E500U.KWX"}, {dir, 1252, dir + "/Tables/A1252U.KWX"},
      {dir, -1, dir + "/Tables/A-1U.KWX"}, {dir, 13488, dir + "/Tables/E13488U.KWX"},
      {dir, 1200, dir + "/Tables/A1200U.KWX"}, {dir, 0, dir + "/Tables/A0U.KWX"},
      {dir + "//  ", 500, dir + "/Tables/E500U.KWX"},  // trailing separators and blanks go
      {"   ", 37, "/Tables/E37U.KWX"},                   // blanks only: the root
      // Without a base, the module's directory: these tests link the library into the program.
      {"", -2, fs::read_symlink("/proc/self/exe").parent_path().string() + "/Tables/A-2U.KWX"}};
  for (const auto& c : cases) {
    if (fs::exists(c.path)) continue;
    useBase(c.base);
    EXPECT_EQ(notFound(c.ccsid), "File not found: " + c.path);
  }
  writeTable(base, "A-1U.KWX", tableBytes({{0xC1, u'Z'}}));
  useBase(dir + "//  ");
  EXPECT_EQ(EBCDICTranscoders::EtoU(static_cast<short>(0xFFFF), 0xC1), u'Z');
}

TEST_F(Registry, APathOf260CharactersOrMoreIsNotFoundAndNothingIsCut) {
  // Up to 259 characters in all the table loads; from 260 on nothing is opened, not even under
  // a cut name.
  const std::size_t fits = 259 - std::string("/Tables/E37U.KWX").size() - base.string().size() - 1;
  ASSERT_LT(fits, 250u);
  for (const std::size_t length : {fits, fits + 1, std::size_t{250}}) {
    const std::string dir = base.string() + "/" + std::string(length, 'd');
    writeTable(dir, "E37U.KWX", tableBytes({{0xC1, u'A'}}));
    useBase(dir);
    EBCDICTranscoders::instance().clear();
    if (length == fits) {
      EXPECT_EQ(EBCDICTranscoders::EtoU(37, 0xC1), u'A');
    } else {
      EXPECT_EQ(notFound(37).rfind("File not found: " + dir.substr(0, 259), 0), 0u) << length;
    }
  }
}

TEST_F(Registry, PathsAreOpenedAsUtf8AndLoneSurrogatesCannotBe) {
  writeTable(base / "h\xC3\xB4te \xE6\x97\xA5\xE6\x9C\xAC", "E37U.KWX", tableBytes({{0xC1, u'A'}}));  // "hôte 日本"
  KW_SetUniBaseDirectory((widen(base.string()) + u"/h\u00F4te \u65E5\u672C").c_str());
  EXPECT_EQ(EBCDICTranscoders::EtoU(37, 0xC1), u'A');

  EBCDICTranscoders::instance().clear();
  KW_SetUniBaseDirectory((widen(base.string()) + u"/\xD800").c_str());
  EXPECT_EQ(thrownText<std::runtime_error>([] { EBCDICTranscoders::instance().transcoder(37); }), "cannot convert");
  EXPECT_THROW(EBCDICTranscoders::hasTranscoder(37), std::runtime_error) << "not a file error";
}

TEST_F(Registry, UnicodeCcsidsPassThroughSingleLookupsOnly) {
  bool flag = true;
  EXPECT_EQ(EBCDICTranscoders::EtoU(1200, 0x00C4, &flag), 0x00C4);
  EXPECT_TRUE(flag) << "left untouched";
  EXPECT_EQ(EBCDICTranscoders::UtoE(13488, 0x4E00, &flag), 0x4E00);
  EXPECT_FALSE(EBCDICTranscoders::hasTranscoder(1200));
  WCHAR out[4];
  const BYTE in[] = {0x00, 0x41};
  EXPECT_THROW(EBCDICTranscoders::convertEtoU(1200, in, out, 2), EBCDICTranscoderFileNotFound);
  writeTable(base, "A1200U.KWX", tableBytes({{0x41, u'a'}}));
  EXPECT_EQ(EBCDICTranscoders::convertEtoU(1200, in, out, 2), 2);
  EXPECT_EQ(out[1], u'a');
}

TEST_F(Registry, AddReplacesTheTableBehindEarlierReferences) {
  writeTable(base, "E37U.KWX", tableBytes({{0xC1, u'A'}}));
  const auto& loaded = EBCDICTranscoders::instance().transcoder(37);
  add(37, {{0xC1, u'Q'}});
  EXPECT_EQ(loaded.EtoU(0xC1), u'Q');
  add(871, {{0xC1, u'R'}});
  EXPECT_EQ(EBCDICTranscoders::EtoU(871, 0xC1), u'R') << "added without any file";
}

}  // namespace
