#include "ebcdic/library_entry.h"

#include <kwuni/text.h>

#include "catalogue/locale_list.h"

namespace kwuni {

BOOL libraryEntry(HINSTANCE, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) InitComplex();
  if (reason == DLL_PROCESS_DETACH) catalogue::releaseLocaleList();
  return TRUE;
}

namespace {

// The loader runs these when the shared library is loaded and unloaded (at exit, or dlclose).
[[gnu::constructor]] void loaded() { libraryEntry(nullptr, DLL_PROCESS_ATTACH, nullptr); }
[[gnu::destructor]] void unloaded() { libraryEntry(nullptr, DLL_PROCESS_DETACH, nullptr); }

}  // namespace
}  // namespace kwuni
