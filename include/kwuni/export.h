// Symbol visibility of the kwuni interface. Everything not marked KWUNI_API stays inside the library.
#pragma once

#if defined(_WIN32)
#  if defined(KWUNI_BUILDING)
#    define KWUNI_API __declspec(dllexport)
#  else
#    define KWUNI_API __declspec(dllimport)
#  endif
#else
#  define KWUNI_API __attribute__((visibility("default")))
#endif
