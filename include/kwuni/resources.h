// The resource module libkwres holds the display texts of the catalogues, by string id.
#pragma once

#include <kwuni/win32.h>

#if defined(_WIN32)
#  define KWRES_API __declspec(dllimport)
#else
#  define KWRES_API __attribute__((visibility("default")))
#endif

// The resource module's instance handle, for LoadStringW.
KWRES_API HINSTANCE KW_GetKWRES();
