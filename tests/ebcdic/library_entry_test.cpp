#include <kwuni/locales.h>

#include "catalogue/locale_list.h"
#include "ebcdic/library_entry.h"

#include <gtest/gtest.h>

namespace {

TEST(LibraryEntry, DetachReleasesTheLocaleListAndThreadsChangeNothing) {
  kwuni::catalogue::testing::rebuildLocaleList();
  ASSERT_EQ(KW_IsLocale(0x0409), 1);
  for (const DWORD reason : {kwuni::DLL_THREAD_ATTACH, kwuni::DLL_THREAD_DETACH}) {
    EXPECT_EQ(kwuni::libraryEntry(nullptr, reason, nullptr), TRUE);
    EXPECT_EQ(KW_IsLocale(0x0409), 1);
  }
  EXPECT_EQ(kwuni::libraryEntry(nullptr, kwuni::DLL_PROCESS_DETACH, nullptr), TRUE);
  EXPECT_EQ(KW_IsLocale(0x0409), 0);  // released, and not built again
  EXPECT_EQ(kwuni::libraryEntry(nullptr, kwuni::DLL_PROCESS_DETACH, nullptr), TRUE);
  EXPECT_EQ(kwuni::libraryEntry(nullptr, kwuni::DLL_PROCESS_ATTACH, nullptr), TRUE);
  kwuni::catalogue::testing::rebuildLocaleList();
  EXPECT_EQ(KW_IsLocale(0x0409), 1);
}

}  // namespace
