// Classification for code that has already found the CCSID's table and asks about many
// characters in a row (the edit buffer asks about every cell it walks).
#pragma once

#include "ebcdic/host_lookup.h"

namespace kwuni {

// KW_IsFullWidthChar for a CCSID whose lookup is already at hand.
bool takesTwoCells(const UnicodeToHost& host, bool unicodeCcsid, WCHAR ch);

}  // namespace kwuni
