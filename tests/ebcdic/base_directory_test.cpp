#include <kwuni/ebcdic.h>

#include "tests/support.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

class BaseDirectory : public ::testing::Test {
 protected:
  void TearDown() override { KW_SetUniBaseDirectory(u""); }
};

TEST_F(BaseDirectory, UnsetUntilSetAndCutToTheCapacity) {
  WCHAR buffer[48] = {u'x', u'y'};
  EXPECT_FALSE(KW_GetUniBaseDirectory(buffer, 16));
  EXPECT_EQ(buffer[0], 0);
  KW_SetUniBaseDirectory(u"0123456789");
  struct Case { unsigned capacity; std::u16string expected; };
  for (const auto& c : {Case{5, u"0123"}, Case{10, u"012345678"}, Case{11, u"0123456789"}, Case{40, u"0123456789"},
                        Case{1, u""}}) {
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_TRUE(KW_GetUniBaseDirectory(buffer, c.capacity));
    EXPECT_EQ(std::u16string(buffer), c.expected);
    EXPECT_EQ(buffer[c.capacity], u'#') << "wrote past the capacity " << c.capacity;
  }
  WCHAR untouched = u'#';
  EXPECT_TRUE(KW_GetUniBaseDirectory(&untouched, 0));
  EXPECT_EQ(untouched, u'#');
  KW_SetUniBaseDirectory(u"");  // unset again
  EXPECT_FALSE(KW_GetUniBaseDirectory(buffer, 16));
  EXPECT_EQ(buffer[0], 0);
}

TEST_F(BaseDirectory, NullBufferIsRefused) {
  for (const char16_t* dir : {u"", u"/opt"}) {
    KW_SetUniBaseDirectory(dir);
    EXPECT_EQ(kwuni::test::thrownText<std::invalid_argument>([] { KW_GetUniBaseDirectory(nullptr, 10); }), "pszDest");
  }
}

TEST(ModuleHandle, IsTheModuleHoldingTheLibraryCode) {
  EXPECT_NE(KW_GetKWUNI(), nullptr);
  EXPECT_EQ(KW_GetKWUNI(), KW_GetKWUNI());
}

}  // namespace
