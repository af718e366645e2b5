// National-language catalogues: the Windows ANSI and OEM code pages, the EBCDIC host code pages
// (CCSIDs) and the host's national language versions (NLVs) that kwuni offers, with their display
// texts, GDI character sets and host defaults.
//
// None of these functions fails or throws. Asking about a code that a catalogue does not list
// yields 0 (membership tests, code lookups), a text such as "-5 - Unsupported CCSID"
// (descriptions) or the fallback value (defaults). Texts returned are owned by the library; the text for an unlisted code is
// replaced by the next such lookup in the same catalogue.
#pragma once

#include <kwuni/export.h>
#include <kwuni/win32.h>

// Called once per offered entry with the entry's key (decimal digits for code pages, CCSIDs and
// NLVs) in a buffer valid only during the call, and the caller's value, passed through unchanged.
using EnumTextProc = int(CALLBACK*)(const WCHAR* key, long value);

// Enumeration flag that also offers the pseudo entries (code page 1200, CCSID 13488). Combine it
// with CP_INSTALLED or CP_SUPPORTED, which restrict the offer to entries that pass the validity test.
constexpr unsigned long KW_ENUM_SPECIAL = 0x10000;

// Enumerate a catalogue in its fixed order. Nothing is offered unless CP_INSTALLED or CP_SUPPORTED
// is set. The callback's result is ignored; the result is always 1.
KWUNI_API int KW_EnumANSICodePages(EnumTextProc proc, long value, unsigned long flags);
KWUNI_API int KW_EnumOEMCodePages(EnumTextProc proc, long value, unsigned long flags);
KWUNI_API int KW_EnumEBCDICCodePages(EnumTextProc proc, long value, unsigned long flags);

// Display text of a code, e.g. for an unlisted CCSID "-5 - Unsupported CCSID".
KWUNI_API const WCHAR* KW_GetACPDesc(int codePage);
KWUNI_API const WCHAR* KW_GetOEMCPDesc(int codePage);
KWUNI_API const WCHAR* KW_GetECPDesc(int ccsid);

// Code of the first row whose description equals the text, ignoring the case of A-Z; 0 if none.
KWUNI_API int KW_GetACPCode(const WCHAR* description);
KWUNI_API int KW_GetOEMCPCode(const WCHAR* description);
KWUNI_API int KW_GetECPCode(const WCHAR* description);

// First ANSI code page displayed with the GDI character set; 0 for ANSI_CHARSET and when none is.
KWUNI_API int KW_GetACPCode(int charset);

// 1 when the catalogue lists the code, else 0.
KWUNI_API int KW_IsACP(int codePage);
KWUNI_API int KW_IsOEMCP(int codePage);
KWUNI_API int KW_IsECP(int ccsid);

// 1 for a mixed single/double-byte CCSID (930, 933, 935, 937, 939, 1364, 1371, 1388, 1390, 1399).
KWUNI_API int KW_IsDbcsECP(int ccsid);

// 1 when the code is listed and, with CP_INSTALLED or CP_SUPPORTED, the system can display it:
// always on the NT family; on the 9x family when its character set is ANSI or the system's own.
KWUNI_API int KW_IsValidACP(int codePage, unsigned long flags);
KWUNI_API int KW_IsValidOEMCP(int codePage, unsigned long flags);
KWUNI_API int KW_IsValidECP(int ccsid, unsigned long flags);

// GDI character set that displays the code; the system code page's set for unlisted codes and for
// rows that name DEFAULT_CHARSET.
KWUNI_API int KW_TranslateACPInfo(int codePage);
KWUNI_API int KW_TranslateOEMCPInfo(int codePage);
KWUNI_API int KW_TranslateECPInfo(int ccsid);

// Default host CCSID for an ANSI code page (0: the system's); 500 for code pages without one.
KWUNI_API int KW_GetDefaultECP(int ansiCodePage);

// The preferred CCSID for one that is replaced (290 -> 930, 833 -> 933, 836 -> 935); others as given.
KWUNI_API int KW_GetCorrectedECP(int ccsid);

// The system's ANSI code page.
KWUNI_API unsigned int KW_GetACP();

// ---- National language versions (NLVs) ---------------------------------------------------------
// The host's numbers for a national language and its conventions, such as 2924 for English.

// Offers every NLV in catalogue order; with CP_INSTALLED or CP_SUPPORTED only those that pass
// KW_IsValidNLV. The callback's result is ignored; the result is always 1.
KWUNI_API int KW_EnumNLVs(EnumTextProc proc, long value, unsigned long flags);

// Display text of an NLV; "2998 - Unsupported NLV" for an unlisted one (replaced by the next
// such call).
KWUNI_API const WCHAR* KW_GetNLVDesc(int nlv);

// NLV of the first row whose description equals the text, ignoring the case of A-Z; 0 if none.
KWUNI_API int KW_GetNLVCode(const WCHAR* description);

// 1 when the catalogue lists the NLV, else 0.
KWUNI_API int KW_IsNLV(int nlv);

// 1 when the NLV is listed and, with CP_INSTALLED or CP_SUPPORTED, the system can display it
// (always on the NT family).
KWUNI_API int KW_IsValidNLV(int nlv, unsigned long flags);

// GDI character set that displays the language; 0 for an unlisted NLV.
KWUNI_API int KW_TranslateNLVInfo(int nlv);

// Default NLV for an ANSI code page (0: the system's); 2924 for code pages without one.
KWUNI_API int KW_GetDefaultNLV(int ansiCodePage);

// Writes the value as an unsigned decimal into at most count characters. Returns the number of
// digits when they and a terminator fit, count when the digits fill it exactly (no terminator),
// and -1 when they do not fit (the first count digits are written).
KWUNI_API int KW_CPToString(int value, WCHAR* buffer, int count);
KWUNI_API int KW_CalendarToString(int value, WCHAR* buffer, int count);
KWUNI_API int KW_NLVToString(int value, WCHAR* buffer, int count);

// Reads a decimal integer: leading white space, an optional sign, then digits; 0 without digits.
KWUNI_API int KW_StringToCP(const WCHAR* text);
KWUNI_API int KW_StringToCalendar(const WCHAR* text);
KWUNI_API int KW_StringToNLV(const WCHAR* text);
