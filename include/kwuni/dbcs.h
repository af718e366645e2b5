// DBCS classification: which characters take two bytes on the host, which take two display
// cells, and how many host bytes a string needs. The values 0xFFFF and 0xFFFE are the edit
// buffer's shift marks and always count as single-byte, half-width.
#pragma once

#include <kwuni/export.h>
#include <kwuni/win32.h>

// True for the Unicode CCSIDs 1200 and 13488.
KWUNI_API bool KW_IsUnicodeCodePage(int ccsid);

// True when the character has a two-byte host code in the CCSID; in a Unicode CCSID every
// character but the shift marks does. A CCSID whose table is missing or damaged answers false.
KWUNI_API bool KW_IsDBCSChar(int ccsid, WCHAR ch);

// True when the character is double-byte and drawn in two cells. Every double-byte host
// character is; in a Unicode CCSID the Latin, Greek, Cyrillic, Thai and half-width forms are not.
KWUNI_API bool KW_IsFullWidthChar(int ccsid, WCHAR ch);

// Host bytes of the terminated, precomposed string: two per double-byte character, one per
// other character except CR and LF, which take none; with countShifts, also one shift-out and
// one shift-in per double-byte run (never in a Unicode CCSID). 0 for null or empty text.
KWUNI_API int KW_DBCSLen(int ccsid, const WCHAR* text, bool countShifts);
