// Builds translation table streams byte by byte for the tests, and loads tables from entries;
// fixtures for suites that add their own tables or read the ones the build made.
#pragma once

#include <kwuni/ebcdic.h>
#include <kwuni/win32.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace kwuni::test {

using Entries = std::vector<std::pair<WORD, WORD>>;  // (EBCDIC code, UTF-16 code unit)

inline void appendWord(std::string& bytes, WORD value) {
  bytes += static_cast<char>(value & 0xFF);
  bytes += static_cast<char>(value >> 8);
}

// The table with the given count word, followed by the entries (which may disagree with it).
inline std::string tableBytes(std::int16_t count, const Entries& entries) {
  std::string bytes;
  appendWord(bytes, static_cast<WORD>(count));
  for (const auto& [code, ch] : entries) {
    appendWord(bytes, code);
    appendWord(bytes, ch);
  }
  return bytes;
}

inline std::string tableBytes(const Entries& entries) {
  return tableBytes(static_cast<std::int16_t>(entries.size()), entries);
}

inline velmora::EBCDICTranscoder loadTable(short ccsid, const Entries& entries) {
  std::istringstream stream(tableBytes(entries));
  return velmora::EBCDICTranscoder(ccsid, stream);
}

// Each test starts with an empty registry, which holds only the tables the test adds.
class AddedTables : public ::testing::Test {
 protected:
  void SetUp() override { velmora::EBCDICTranscoders::instance().clear(); }
  void TearDown() override { velmora::EBCDICTranscoders::instance().clear(); }
  static void add(short ccsid, const Entries& entries) {
    velmora::EBCDICTranscoders::instance().add(loadTable(ccsid, entries));
  }
};

// Each test reads the tables the build made, from the build directory, and leaves the registry
// empty. Base is the gtest fixture to extend (a parameterised one, for instance).
template <typename Base = ::testing::Test>
class BuildTables : public Base {
 protected:
  void SetUp() override { KW_SetUniBaseDirectory(KWUNI_BUILD_DIR); }
  void TearDown() override {
    KW_SetUniBaseDirectory(u"");
    velmora::EBCDICTranscoders::instance().clear();
  }
};

}  // namespace kwuni::test
