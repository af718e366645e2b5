#include <kwuni/dbcs.h>

#include "tests/ebcdic/table_stream.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class Classification : public kwuni::test::AddedTables {
 protected:
  void SetUp() override {
    AddedTables::SetUp();
    add(930, {{0xC1, u'A'}, {0xC2, u'B'}, {0x45, 0x00E9}, {0x4040, 0x3000}, {0x4481, 0x4E00}, {0x4482, 0x4E8C}});
  }
};

TEST_F(Classification, UnicodeDoubleByteAndFullWidth) {
  for (const int ccsid : {1200, 13488}) EXPECT_TRUE(KW_IsUnicodeCodePage(ccsid));
  for (const int ccsid : {0, 37, 930, -1200, 1200 + 65536}) EXPECT_FALSE(KW_IsUnicodeCodePage(ccsid));
  struct Case { int ccsid; WCHAR ch; bool dbcs, fullWidth; };
  const Case cases[] = {
      {930, u'A', false, false},   {930, 0x4E00, true, true},   {930, 0x3000, true, true},
      {930, 0x9999, false, false}, {930, 0xFFFF, false, false}, {930, 0xFFFE, false, false},
      {1200, u'A', true, false},   {1200, 0x4E00, true, true},  {1200, 0xFF76, true, false},
      {1200, 0x20AC, true, false}, {1200, 0x0416, true, false}, {1200, 0x0E01, true, false},
      {1200, 0x0E5C, true, true},  {1200, 0x0106, true, true},  {13488, 0xFFFF, false, false},
      {13488, 0xFFE8, true, false}, {13488, 0xFFEF, true, true}, {500, 0x4E00, false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.ccsid << " U+" << std::hex << static_cast<unsigned>(c.ch));
    EXPECT_EQ(KW_IsDBCSChar(c.ccsid, c.ch), c.dbcs);
    EXPECT_EQ(KW_IsFullWidthChar(c.ccsid, c.ch), c.fullWidth);
  }
}

TEST_F(Classification, HostByteLengths) {
  struct Case { int ccsid; std::u16string text; int withoutShifts, withShifts; };
  const Case cases[] = {
      {930, u"", 0, 0},          {930, u"AB", 2, 2},       {930, u"\u4E00\u4E8C", 4, 6},
      {930, u"A\u4E00B", 4, 6},  {930, u"A\u4E00", 3, 5},  {930, u"A\r\nB", 2, 2},
      {930, u"e\u0301", 1, 1},   {1200, u"A\r\nB", 8, 8},  {1200, u"\uFFFF\u4E00", 3, 3},
      {930, u"\u4E00\r\n\u4E00", 4, 6},
      {500, u"A\u4E00", 2, 2}};  // no table: every character is single-byte
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    EXPECT_EQ(KW_DBCSLen(c.ccsid, c.text.c_str(), false), c.withoutShifts);
    EXPECT_EQ(KW_DBCSLen(c.ccsid, c.text.c_str(), true), c.withShifts);
  }
  EXPECT_EQ(KW_DBCSLen(930, nullptr, true), 0);
  // Long enough to fold on the heap, with a combining accent in it so that folding runs.
  std::u16string text(100000, u'A');
  text += u"e\u0301";
  for (int i = 0; i < 1000; ++i) text += u"\u4E00";
  EXPECT_EQ(KW_DBCSLen(930, text.c_str(), true), 100000 + 1 + 1 + 2000 + 1);
}

}  // namespace
