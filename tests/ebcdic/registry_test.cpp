#include <kwuni/ebcdic.h>

#include "catalogue/code_page_rows.h"
#include "tests/ebcdic/table_stream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using kwuni::test::tableBytes;
using velmora::EBCDICTranscoders;

std::u16string wide(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// Each test gets an empty registry and a base directory of its own with a Tables folder.
class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    base = fs::temp_directory_path() / ("kwuni-registry-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                        "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(base);
    fs::create_directories(base / "Tables");
    useBase(wide(base.string()));
    EBCDICTranscoders::instance().clear();
  }
  void TearDown() override {
    EBCDICTranscoders::instance().clear();
    KW_SetUniBaseDirectory(u"");
    fs::remove_all(base);
  }

  void useBase(const std::u16string& dir) { KW_SetUniBaseDirectory(dir.c_str()); }

  void writeTable(const std::string& name, const std::string& bytes) {
    std::ofstream(base / "Tables" / name, std::ios::binary) << bytes;
  }

  template <typename Exception>
  std::string failure(short ccsid) {
    try {
      EBCDICTranscoders::instance().transcoder(ccsid);
    } catch (const Exception& e) {
      return e.what();
    }
    ADD_FAILURE() << "no exception for " << ccsid;
    return {};
  }

  fs::path base;
};

TEST_F(Registry, LoadsOnceAndKeepsTheTable) {
  writeTable("E37U.KWX", tableBytes({{0xC1, u'A'}}));
  const auto& first = EBCDICTranscoders::instance().transcoder(37);
  fs::remove(base / "Tables" / "E37U.KWX");
  const auto& second = EBCDICTranscoders::instance().transcoder(37);
  EXPECT_EQ(&first, &second) << "the second request touches no file";
  EXPECT_EQ(EBCDICTranscoders::EtoU(37, 0xC1), u'A');
  EXPECT_TRUE(EBCDICTranscoders::hasTranscoder(37));

  EBCDICTranscoders::instance().clear();
  EXPECT_FALSE(EBCDICTranscoders::hasTranscoder(37)) << "after clear the file is read again";
}

TEST_F(Registry, FileNamesFollowTheCatalogue) {
  const std::string dir = base.string();
  struct Case {
    short ccsid;
    const char* name;
  };
  for (const auto& c : {Case{500, "E500U.KWX"}, Case{1252, "A1252U.KWX"}, Case{-1, "A-1U.KWX"},
                        Case{13488, "E13488U.KWX"}, Case{1200, "A1200U.KWX"}, Case{0, "A0U.KWX"}}) {
    EXPECT_EQ(failure<velmora::EBCDICTranscoderFileNotFound>(c.ccsid), "File not found: " + dir + "/Tables/" + c.name);
  }
  writeTable("A-1U.KWX", tableBytes({{0xC1, u'Z'}}));
  EXPECT_EQ(EBCDICTranscoders::EtoU(static_cast<short>(0xFFFF), 0xC1), u'Z');
}

TEST_F(Registry, AMissingFileIsLookedForAgain) {
  try {
    EBCDICTranscoders::instance().transcoder(500);
    FAIL() << "loaded";
  } catch (const velmora::EBCDICTranscoderFileNotFound& e) {
    EXPECT_EQ(e.fileName, base.string() + "/Tables/E500U.KWX");
  }
  EXPECT_FALSE(EBCDICTranscoders::hasTranscoder(500));
  writeTable("E500U.KWX", tableBytes({{0xC1, u'A'}}));
  EXPECT_TRUE(EBCDICTranscoders::hasTranscoder(500));
}

TEST_F(Registry, ACorruptFileNamesOnlyItsTablePath) {
  writeTable("E37U.KWX", tableBytes(5, {{0xC1, u'A'}, {0xC2, u'B'}}));
  EXPECT_EQ(failure<velmora::EBCDICTranscoderFileCorrupt>(37), "File corrupt: /Tables/E37U.KWX");
  EXPECT_FALSE(EBCDICTranscoders::hasTranscoder(37));
  writeTable("E37U.KWX", tableBytes({{0xC1, u'A'}}) + "trailing bytes are never read");
  EXPECT_TRUE(EBCDICTranscoders::hasTranscoder(37));
}

TEST_F(Registry, TrailingBlanksAndSeparatorsOfTheBaseAreIgnored) {
  writeTable("E37U.KWX", tableBytes({{0xC1, u'A'}}));
  useBase(wide(base.string()) + u"//  ");
  EXPECT_EQ(EBCDICTranscoders::EtoU(37, 0xC1), u'A');
}

TEST_F(Registry, ABaseOfBlanksOnlyIsTheRoot) {
  useBase(u"   ");
  if (fs::exists("/Tables/E37U.KWX")) GTEST_SKIP() << "this machine has /Tables";
  EXPECT_EQ(failure<velmora::EBCDICTranscoderFileNotFound>(37), "File not found: /Tables/E37U.KWX");
}

TEST_F(Registry, WithoutABaseTheModuleDirectoryIsUsed) {
  KW_SetUniBaseDirectory(u"");
  // These tests link the library statically: the module is the test program itself.
  const fs::path program = fs::read_symlink("/proc/self/exe");
  EXPECT_EQ(failure<velmora::EBCDICTranscoderFileNotFound>(-2),
            "File not found: " + program.parent_path().string() + "/Tables/A-2U.KWX");
}

TEST_F(Registry, APathTooLongIsNotFoundAndNothingIsCut) {
  // The whole path needs 260 characters or more: nothing may be opened under a cut name.
  const std::string longDir = base.string() + "/" + std::string(250, 'd');
  fs::create_directories(fs::path(longDir) / "Tables");
  std::ofstream(fs::path(longDir) / "Tables" / "E37U.KWX", std::ios::binary) << tableBytes({{0xC1, u'A'}});
  useBase(wide(longDir));
  EXPECT_EQ(failure<velmora::EBCDICTranscoderFileNotFound>(37).rfind("File not found: " + base.string(), 0), 0u);

  // Just inside the limit: 259 characters in all.
  const std::size_t room = 259 - std::string("/Tables/E37U.KWX").size() - base.string().size() - 1;
  const std::string fitting = base.string() + "/" + std::string(room, 'f');
  ASSERT_EQ(fitting.size() + 16, 259u);
  fs::create_directories(fs::path(fitting) / "Tables");
  std::ofstream(fs::path(fitting) / "Tables" / "E37U.KWX", std::ios::binary) << tableBytes({{0xC1, u'A'}});
  useBase(wide(fitting));
  EXPECT_EQ(EBCDICTranscoders::EtoU(37, 0xC1), u'A');
}

TEST_F(Registry, PathsAreOpenedAsUtf8AndLoneSurrogatesCannotBe) {
  const fs::path unicodeDir = base / "h\xC3\xB4te \xE6\x97\xA5\xE6\x9C\xAC";  // "hôte 日本"
  fs::create_directories(unicodeDir / "Tables");
  std::ofstream(unicodeDir / "Tables" / "E37U.KWX", std::ios::binary) << tableBytes({{0xC1, u'A'}});
  KW_SetUniBaseDirectory((wide(base.string()) + u"/h\u00F4te \u65E5\u672C").c_str());
  EXPECT_EQ(EBCDICTranscoders::EtoU(37, 0xC1), u'A');

  EBCDICTranscoders::instance().clear();
  KW_SetUniBaseDirectory((wide(base.string()) + u"/\xD800").c_str());
  try {
    EBCDICTranscoders::instance().transcoder(37);
    FAIL() << "loaded";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "cannot convert");
  }
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
  EXPECT_THROW(EBCDICTranscoders::convertEtoU(1200, in, out, 2), velmora::EBCDICTranscoderFileNotFound);
  writeTable("A1200U.KWX", tableBytes({{0x41, u'a'}}));
  EXPECT_EQ(EBCDICTranscoders::convertEtoU(1200, in, out, 2), 2);
  EXPECT_EQ(out[1], u'a');
}

TEST_F(Registry, AddReplacesTheTableBehindEarlierReferences) {
  writeTable("E37U.KWX", tableBytes({{0xC1, u'A'}}));
  const auto& loaded = EBCDICTranscoders::instance().transcoder(37);
  std::istringstream other(tableBytes({{0xC1, u'Q'}}));
  EBCDICTranscoders::instance().add(velmora::EBCDICTranscoder(37, other));
  EXPECT_EQ(loaded.EtoU(0xC1), u'Q');

  std::istringstream fresh(tableBytes({{0xC1, u'R'}}));
  EBCDICTranscoders::instance().add(velmora::EBCDICTranscoder(871, fresh));
  EXPECT_EQ(EBCDICTranscoders::EtoU(871, 0xC1), u'R') << "added without any file";
}

TEST_F(Registry, BufferConversionsGoThroughTheTable) {
  writeTable("E37U.KWX", tableBytes({{0xC1, u'A'}, {0x85, u'e'}, {0x51, 0x00E9}}));
  const BYTE in[] = {0xC1, 0x51};
  WCHAR out[3];
  EXPECT_EQ(EBCDICTranscoders::convertEtoU(37, in, out, 2), 2);
  EXPECT_EQ(std::u16string(out), u"A\u00E9");
  BYTE back[4];
  EXPECT_EQ(EBCDICTranscoders::convertUtoE(37, u"Ae\u0301", back, 3), 2);
  EXPECT_EQ(back[1], 0x51);
}

}  // namespace

namespace {

// The tables the build generated, loaded through the registry from the build directory.
class BuiltTables : public ::testing::Test {
 protected:
  void SetUp() override { KW_SetUniBaseDirectory(KWUNI_BUILD_DIR); }
  void TearDown() override {
    KW_SetUniBaseDirectory(u"");
    velmora::EBCDICTranscoders::instance().clear();
  }
};

TEST_F(BuiltTables, EveryTableLoads) {
  for (const auto& row : kwuni::catalogue::ccsidRows) {
    if (row.code == 924 || row.code == 13488) continue;  // no table: no source maps 924; 13488 is Unicode
    const auto ccsid = static_cast<short>(row.code);
    ASSERT_TRUE(EBCDICTranscoders::hasTranscoder(ccsid)) << row.code;
    const auto& table = EBCDICTranscoders::instance().transcoder(ccsid);
    EXPECT_EQ(table.isMixed(), row.isDbcs == 1);
    EXPECT_EQ(table.EtoU(0x40), u' ') << "the host space";
  }
  struct Case {
    short ccsid;
    WORD code;
    WORD ch;
  };
  for (const auto& c : {Case{37, 0xC1, u'A'}, Case{500, 0x4A, u'['}, Case{37, 0x1C, 0x2013}, Case{1390, 0x1C, 0x001C},
                        Case{930, 0x4040, 0x3000}, Case{1047, 0x15, 0x0085}}) {
    EXPECT_EQ(EBCDICTranscoders::EtoU(c.ccsid, c.code), c.ch) << c.ccsid << " " << std::hex << c.code;
    EXPECT_EQ(EBCDICTranscoders::UtoE(c.ccsid, c.ch), c.code) << c.ccsid << " " << std::hex << c.ch;
  }
}

}  // namespace
