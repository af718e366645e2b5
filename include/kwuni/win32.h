// The Windows types and constants that the kwuni interface uses, with their Windows layouts and
// values. On Windows the system headers provide them; elsewhere this header does.
#pragma once

#if defined(_WIN32)
#  include <windows.h>
#else

#include <cstdint>

// A wide character is a UTF-16 code unit everywhere: char16_t off Windows (ICU's UChar).
using WCHAR = char16_t;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using LONG = std::int32_t;
using LCID = DWORD;
using CALID = DWORD;
using HRESULT = std::int32_t;

// A module instance is named by the address at which the module is loaded.
using HINSTANCE = struct HINSTANCE__*;
using HMODULE = HINSTANCE;

// A lock the platform layer initialises and owns; large enough for the system's mutex.
struct CRITICAL_SECTION {
  alignas(8) BYTE opaque[64];
};

#ifndef TRUE
#  define TRUE 1
#endif
#ifndef FALSE
#  define FALSE 0
#endif

#define CALLBACK

// Code page and locale enumeration flags.
constexpr DWORD CP_INSTALLED = 0x00000001;
constexpr DWORD CP_SUPPORTED = 0x00000002;
constexpr DWORD LCID_INSTALLED = 0x00000001;
constexpr DWORD LCID_SUPPORTED = 0x00000002;

// Locale and calendar information types, ids and flags.
using LCTYPE = DWORD;
using CALTYPE = DWORD;

constexpr LCID LOCALE_NEUTRAL = 0x0000;
constexpr LCID LOCALE_INVARIANT = 0x007F;
constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;

constexpr LCTYPE LOCALE_ILANGUAGE = 0x0001;
constexpr LCTYPE LOCALE_SLANGUAGE = 0x0002;  // "Language (Country)", in English here
constexpr LCTYPE LOCALE_SABBREVLANGNAME = 0x0003;
constexpr LCTYPE LOCALE_SNATIVELANGNAME = 0x0004;
constexpr LCTYPE LOCALE_ICOUNTRY = 0x0005;
constexpr LCTYPE LOCALE_SCOUNTRY = 0x0006;
constexpr LCTYPE LOCALE_SABBREVCTRYNAME = 0x0007;
constexpr LCTYPE LOCALE_SNATIVECTRYNAME = 0x0008;
constexpr LCTYPE LOCALE_IDEFAULTLANGUAGE = 0x0009;
constexpr LCTYPE LOCALE_IDEFAULTCOUNTRY = 0x000A;
constexpr LCTYPE LOCALE_IDEFAULTCODEPAGE = 0x000B;  // the OEM code page
constexpr LCTYPE LOCALE_SLIST = 0x000C;
constexpr LCTYPE LOCALE_IMEASURE = 0x000D;
constexpr LCTYPE LOCALE_SDECIMAL = 0x000E;
constexpr LCTYPE LOCALE_STHOUSAND = 0x000F;
constexpr LCTYPE LOCALE_SGROUPING = 0x0010;
constexpr LCTYPE LOCALE_IDIGITS = 0x0011;
constexpr LCTYPE LOCALE_ILZERO = 0x0012;
constexpr LCTYPE LOCALE_SNATIVEDIGITS = 0x0013;
constexpr LCTYPE LOCALE_SCURRENCY = 0x0014;
constexpr LCTYPE LOCALE_SINTLSYMBOL = 0x0015;
constexpr LCTYPE LOCALE_SMONDECIMALSEP = 0x0016;
constexpr LCTYPE LOCALE_SMONTHOUSANDSEP = 0x0017;
constexpr LCTYPE LOCALE_SMONGROUPING = 0x0018;
constexpr LCTYPE LOCALE_ICURRDIGITS = 0x0019;
constexpr LCTYPE LOCALE_ICURRENCY = 0x001B;
constexpr LCTYPE LOCALE_INEGCURR = 0x001C;
constexpr LCTYPE LOCALE_SDATE = 0x001D;
constexpr LCTYPE LOCALE_STIME = 0x001E;
constexpr LCTYPE LOCALE_SSHORTDATE = 0x001F;
constexpr LCTYPE LOCALE_SLONGDATE = 0x0020;
constexpr LCTYPE LOCALE_IDATE = 0x0021;
constexpr LCTYPE LOCALE_ILDATE = 0x0022;
constexpr LCTYPE LOCALE_ITIME = 0x0023;
constexpr LCTYPE LOCALE_S1159 = 0x0028;
constexpr LCTYPE LOCALE_S2359 = 0x0029;
constexpr LCTYPE LOCALE_SDAYNAME1 = 0x002A;  // Monday; SDAYNAME7 (0x30) is Sunday
constexpr LCTYPE LOCALE_SABBREVDAYNAME1 = 0x0031;
constexpr LCTYPE LOCALE_SMONTHNAME1 = 0x0038;  // January, up to SMONTHNAME12 (0x43)
constexpr LCTYPE LOCALE_SABBREVMONTHNAME1 = 0x0044;
constexpr LCTYPE LOCALE_SPOSITIVESIGN = 0x0050;
constexpr LCTYPE LOCALE_SNEGATIVESIGN = 0x0051;
constexpr LCTYPE LOCALE_SISO639LANGNAME = 0x0059;
constexpr LCTYPE LOCALE_SISO3166CTRYNAME = 0x005A;
constexpr LCTYPE LOCALE_SNAME = 0x005C;
constexpr LCTYPE LOCALE_SMONTHDAY = 0x0078;
constexpr LCTYPE LOCALE_SENGLANGUAGE = 0x1001;
constexpr LCTYPE LOCALE_SENGCOUNTRY = 0x1002;
constexpr LCTYPE LOCALE_STIMEFORMAT = 0x1003;
constexpr LCTYPE LOCALE_IDEFAULTANSICODEPAGE = 0x1004;
constexpr LCTYPE LOCALE_SYEARMONTH = 0x1006;
constexpr LCTYPE LOCALE_ICALENDARTYPE = 0x1009;
constexpr LCTYPE LOCALE_IOPTIONALCALENDAR = 0x100B;
constexpr LCTYPE LOCALE_IFIRSTDAYOFWEEK = 0x100C;
constexpr LCTYPE LOCALE_INEGNUMBER = 0x1010;
constexpr LCTYPE LOCALE_IDEFAULTEBCDICCODEPAGE = 0x1012;
constexpr LCTYPE LOCALE_NOUSEROVERRIDE = 0x80000000;

constexpr CALID CAL_GREGORIAN = 1;
constexpr CALID CAL_GREGORIAN_US = 2;
constexpr CALID CAL_JAPAN = 3;
constexpr CALID CAL_TAIWAN = 4;
constexpr CALID CAL_KOREA = 5;
constexpr CALID CAL_HIJRI = 6;
constexpr CALID CAL_THAI = 7;
constexpr CALID CAL_HEBREW = 8;
constexpr CALID CAL_UMALQURA = 23;
constexpr CALID ENUM_ALL_CALENDARS = 0xFFFFFFFF;

constexpr CALTYPE CAL_ICALINTVALUE = 0x0001;
constexpr CALTYPE CAL_SCALNAME = 0x0002;
constexpr CALTYPE CAL_IYEAROFFSETRANGE = 0x0003;
constexpr CALTYPE CAL_SERASTRING = 0x0004;
constexpr CALTYPE CAL_SSHORTDATE = 0x0005;
constexpr CALTYPE CAL_SLONGDATE = 0x0006;
constexpr CALTYPE CAL_SDAYNAME1 = 0x0007;  // Monday, up to CAL_SDAYNAME7 (0x0D)
constexpr CALTYPE CAL_SABBREVDAYNAME1 = 0x000E;
constexpr CALTYPE CAL_SMONTHNAME1 = 0x0015;  // January, up to CAL_SMONTHNAME12 (0x20)
constexpr CALTYPE CAL_SABBREVMONTHNAME1 = 0x0022;
constexpr CALTYPE CAL_SYEARMONTH = 0x002F;
constexpr CALTYPE CAL_SMONTHDAY = 0x0038;
constexpr CALTYPE CAL_SABBREVERASTRING = 0x0039;

// Date format kinds of EnumDateFormatsW.
constexpr DWORD DATE_SHORTDATE = 0x0001;
constexpr DWORD DATE_LONGDATE = 0x0002;
constexpr DWORD DATE_YEARMONTH = 0x0008;
constexpr DWORD DATE_MONTHDAY = 0x0080;

// Character types of GetStringTypeExW.
constexpr DWORD CT_CTYPE1 = 0x0001;
constexpr WORD C1_UPPER = 0x0001;
constexpr WORD C1_LOWER = 0x0002;
constexpr WORD C1_DIGIT = 0x0004;
constexpr WORD C1_SPACE = 0x0008;
constexpr WORD C1_PUNCT = 0x0010;
constexpr WORD C1_CNTRL = 0x0020;
constexpr WORD C1_BLANK = 0x0040;
constexpr WORD C1_XDIGIT = 0x0080;
constexpr WORD C1_ALPHA = 0x0100;
constexpr WORD C1_DEFINED = 0x0200;

// CompareStringW flags and results.
constexpr DWORD NORM_IGNORECASE = 0x00000001;
constexpr DWORD NORM_IGNORENONSPACE = 0x00000002;
constexpr DWORD NORM_IGNORESYMBOLS = 0x00000004;
constexpr DWORD SORT_STRINGSORT = 0x00001000;
constexpr int CSTR_LESS_THAN = 1;
constexpr int CSTR_EQUAL = 2;
constexpr int CSTR_GREATER_THAN = 3;

// Code page pseudo numbers.
constexpr UINT CP_ACP = 0;
constexpr UINT CP_OEMCP = 1;
constexpr UINT CP_UTF7 = 65000;
constexpr UINT CP_UTF8 = 65001;

// GDI character sets.
constexpr int ANSI_CHARSET = 0;
constexpr int DEFAULT_CHARSET = 1;
constexpr int SHIFTJIS_CHARSET = 128;
constexpr int HANGEUL_CHARSET = 129;
constexpr int JOHAB_CHARSET = 130;
constexpr int GB2312_CHARSET = 134;
constexpr int CHINESEBIG5_CHARSET = 136;
constexpr int GREEK_CHARSET = 161;
constexpr int TURKISH_CHARSET = 162;
constexpr int VIETNAMESE_CHARSET = 163;
constexpr int HEBREW_CHARSET = 177;
constexpr int ARABIC_CHARSET = 178;
constexpr int BALTIC_CHARSET = 186;
constexpr int RUSSIAN_CHARSET = 204;
constexpr int THAI_CHARSET = 222;
constexpr int EASTEUROPE_CHARSET = 238;

// Platform families reported by GetVersionExW.
constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

// ---- Drawing: device contexts, fonts, colours, regions -----------------------------------------

using COLORREF = DWORD;  // 0x00BBGGRR
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) { return static_cast<COLORREF>(r | g << 8 | b << 16); }
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

struct RECT {
  LONG left, top, right, bottom;
};
struct SIZE {
  LONG cx, cy;
};
struct POINT {
  LONG x, y;
};

using HDC = struct HDC__*;
using HGDIOBJ = struct HGDIOBJ__*;
using HFONT = HGDIOBJ;
using HBRUSH = HGDIOBJ;
using HRGN = HGDIOBJ;

struct TEXTMETRICW {
  LONG tmHeight, tmAscent, tmDescent, tmInternalLeading, tmExternalLeading, tmAveCharWidth, tmMaxCharWidth,
      tmWeight, tmOverhang, tmDigitizedAspectX, tmDigitizedAspectY;
  WCHAR tmFirstChar, tmLastChar, tmDefaultChar, tmBreakChar;
  BYTE tmItalic, tmUnderlined, tmStruckOut, tmPitchAndFamily, tmCharSet;
};

// System colours of GetSysColor.
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_HIGHLIGHT = 13;
constexpr int COLOR_HIGHLIGHTTEXT = 14;
constexpr int COLOR_GRAYTEXT = 17;

// Region kinds of GetClipRgn's callers and SelectClipRgn.
constexpr int RGN_ERROR = 0;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int COMPLEXREGION = 3;

// ExtTextOut and ScriptStringOut options.
constexpr UINT ETO_OPAQUE = 0x0002;
constexpr UINT ETO_CLIPPED = 0x0004;

// DrawText formats.
constexpr UINT DT_LEFT = 0x0000;
constexpr UINT DT_CENTER = 0x0001;
constexpr UINT DT_RIGHT = 0x0002;
constexpr UINT DT_VCENTER = 0x0004;
constexpr UINT DT_BOTTOM = 0x0008;
constexpr UINT DT_WORDBREAK = 0x0010;
constexpr UINT DT_SINGLELINE = 0x0020;
constexpr UINT DT_EXPANDTABS = 0x0040;
constexpr UINT DT_NOCLIP = 0x0100;
constexpr UINT DT_EXTERNALLEADING = 0x0200;
constexpr UINT DT_CALCRECT = 0x0400;
constexpr UINT DT_NOPREFIX = 0x0800;
constexpr UINT DT_EDITCONTROL = 0x2000;
constexpr UINT DT_END_ELLIPSIS = 0x8000;
constexpr UINT DT_RTLREADING = 0x20000;

// ---- Script strings -----------------------------------------------------------------------------

constexpr HRESULT S_OK = 0;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);

using SCRIPT_STRING_ANALYSIS = void*;

// Analysis flags of ScriptStringAnalyse.
constexpr DWORD SSA_PASSWORD = 0x00000001;
constexpr DWORD SSA_TAB = 0x00000002;
constexpr DWORD SSA_CLIP = 0x00000004;
constexpr DWORD SSA_FIT = 0x00000008;
constexpr DWORD SSA_FALLBACK = 0x00000020;
constexpr DWORD SSA_BREAK = 0x00000040;
constexpr DWORD SSA_GLYPHS = 0x00000080;
constexpr DWORD SSA_RTL = 0x00000100;
constexpr DWORD SSA_HOTKEY = 0x00000400;
constexpr DWORD SSA_LINK = 0x00001000;

// What a break analysis says of each character.
struct SCRIPT_LOGATTR {
  BYTE fSoftBreak : 1;  // a line may break before it
  BYTE fWhiteSpace : 1;
  BYTE fCharStop : 1;   // a cursor may stop before it
  BYTE fWordStop : 1;   // a word starts with it
  BYTE fInvalid : 1;    // it cannot stand where it stands
  BYTE fReserved : 3;
};

struct SCRIPT_CONTROL {
  DWORD uDefaultLanguage : 16;
  DWORD fContextDigits : 1;
  DWORD fInvertPreBoundDir : 1;
  DWORD fInvertPostBoundDir : 1;
  DWORD fLinkStringBefore : 1;
  DWORD fLinkStringAfter : 1;
  DWORD fNeutralOverride : 1;
  DWORD fNumericOverride : 1;
  DWORD fLegacyBidiClass : 1;
  DWORD fMergeNeutralItems : 1;
  DWORD fReserved : 7;
};

struct SCRIPT_STATE {
  WORD uBidiLevel : 5;
  WORD fOverrideDirection : 1;
  WORD fInhibitSymSwap : 1;
  WORD fCharShape : 1;
  WORD fDigitSubstitute : 1;
  WORD fInhibitLigate : 1;
  WORD fDisplayZWG : 1;
  WORD fArabicNumContext : 1;
  WORD fGcpClusters : 1;
  WORD fReserved : 1;
  WORD fEngineReserved : 2;
};

struct SCRIPT_ANALYSIS {
  WORD eScript : 10;
  WORD fRTL : 1;
  WORD fLayoutRTL : 1;
  WORD fLinkBefore : 1;
  WORD fLinkAfter : 1;
  WORD fLogicalOrder : 1;
  WORD fNoGlyphIndex : 1;
  SCRIPT_STATE s;
};

struct SCRIPT_ITEM {
  int iCharPos;
  SCRIPT_ANALYSIS a;
};

struct SCRIPT_TABDEF {
  int cTabStops;
  int iScale;
  int* pTabStops;
  int iTabOrigin;
};

// ---- Processor faults ----------------------------------------------------------------------------

#include <ucontext.h>

// Exception codes of the faults the platform reports.
constexpr DWORD EXCEPTION_GUARD_PAGE = 0x80000001;
constexpr DWORD EXCEPTION_DATATYPE_MISALIGNMENT = 0x80000002;
constexpr DWORD EXCEPTION_BREAKPOINT = 0x80000003;
constexpr DWORD EXCEPTION_SINGLE_STEP = 0x80000004;
constexpr DWORD EXCEPTION_ACCESS_VIOLATION = 0xC0000005;
constexpr DWORD EXCEPTION_IN_PAGE_ERROR = 0xC0000006;
constexpr DWORD EXCEPTION_INVALID_HANDLE = 0xC0000008;
constexpr DWORD STATUS_NO_MEMORY = 0xC0000017;
constexpr DWORD EXCEPTION_ILLEGAL_INSTRUCTION = 0xC000001D;
constexpr DWORD EXCEPTION_NONCONTINUABLE_EXCEPTION = 0xC0000025;
constexpr DWORD EXCEPTION_INVALID_DISPOSITION = 0xC0000026;
constexpr DWORD EXCEPTION_ARRAY_BOUNDS_EXCEEDED = 0xC000008C;
constexpr DWORD EXCEPTION_FLT_DENORMAL_OPERAND = 0xC000008D;
constexpr DWORD EXCEPTION_FLT_DIVIDE_BY_ZERO = 0xC000008E;
constexpr DWORD EXCEPTION_FLT_INEXACT_RESULT = 0xC000008F;
constexpr DWORD EXCEPTION_FLT_INVALID_OPERATION = 0xC0000090;
constexpr DWORD EXCEPTION_FLT_OVERFLOW = 0xC0000091;
constexpr DWORD EXCEPTION_FLT_STACK_CHECK = 0xC0000092;
constexpr DWORD EXCEPTION_FLT_UNDERFLOW = 0xC0000093;
constexpr DWORD EXCEPTION_INT_DIVIDE_BY_ZERO = 0xC0000094;
constexpr DWORD EXCEPTION_INT_OVERFLOW = 0xC0000095;
constexpr DWORD EXCEPTION_PRIV_INSTRUCTION = 0xC0000096;
constexpr DWORD EXCEPTION_STACK_OVERFLOW = 0xC00000FD;

constexpr DWORD EXCEPTION_NONCONTINUABLE = 0x1;
constexpr DWORD EXCEPTION_MAXIMUM_PARAMETERS = 15;

struct EXCEPTION_RECORD {
  DWORD ExceptionCode;
  DWORD ExceptionFlags;
  EXCEPTION_RECORD* ExceptionRecord;
  void* ExceptionAddress;  // the faulting instruction
  DWORD NumberParameters;
  // Access violations: [0] is 0 for a read, 1 for a write, 8 for an execution; [1] the address.
  std::uintptr_t ExceptionInformation[EXCEPTION_MAXIMUM_PARAMETERS];
};

// The registers of a thread at one point, as the kernel gives them to a signal handler, and, for
// a fault, the return addresses of its stack at that moment: the frames below a catch handler
// are gone by the time it runs, so they are kept here.
struct CONTEXT {
  static constexpr unsigned maxFrames = 128;
  ucontext_t registers;
  unsigned frameCount;  // 0: walk the stack the registers describe, which must still be live
  std::uintptr_t frames[maxFrames];
};

struct EXCEPTION_POINTERS {
  EXCEPTION_RECORD* ExceptionRecord;
  CONTEXT* ContextRecord;
};

#endif  // _WIN32

// ---- Images to draw on ---------------------------------------------------------------------------
// A device context on an image of its own, for callers and tests that draw without a window: white,
// 32-bit colour, with a font chosen by family and pixel height; written out as PNG.

#include <kwuni/export.h>

// A device context on a width x height image; null for a size below 1 or too large.
KWUNI_API HDC KW_CreateImageDC(int width, int height);
// Selects the font family (as fontconfig names it, "DejaVu Sans") at a height in pixels; FALSE
// for a null context or a size below 1.
KWUNI_API BOOL KW_SelectImageFont(HDC dc, const char* family, int pixelHeight);
// Writes the image as a PNG file; FALSE when it cannot be written.
KWUNI_API BOOL KW_WriteImagePNG(HDC dc, const char* path);
KWUNI_API void KW_DeleteImageDC(HDC dc);

// Test and diagnostic aid: the script-string functions run from now on as the library runs them on
// the given platform family (VER_PLATFORM_WIN32_WINDOWS: its own measuring and drawing; any other
// value: passing through to the system's script-string services), as if loaded there. Nothing
// else changes: table loading, validity tests and the locale list keep the platform they see.
KWUNI_API void KW_SetScriptPlatformForTesting(DWORD platformId);
