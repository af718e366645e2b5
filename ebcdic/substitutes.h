// What the single lookups give for a code that the table leaves unmapped.
#pragma once

#include <kwuni/win32.h>

namespace kwuni {

// Host code for an unmapped character: the EBCDIC space in CCSID 933, the question mark elsewhere.
constexpr WORD hostSubstitute(short ccsid) { return ccsid == 933 ? 0x40 : 0x6F; }

// Character for an unmapped host code: a space of the code's width in a mixed CCSID, a question
// mark of its width otherwise.
constexpr WCHAR unicodeSubstitute(bool mixedCcsid, bool doubleByteCode) {
  if (mixedCcsid) return doubleByteCode ? 0x3000 : 0x0020;
  return doubleByteCode ? 0xFF1F : 0x003F;
}

}  // namespace kwuni
