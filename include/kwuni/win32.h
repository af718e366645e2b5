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

#endif  // _WIN32
