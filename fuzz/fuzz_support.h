// What the fuzz targets share: a check that stops the run, and the tables the build made.
#pragma once

#include <kwuni/ebcdic.h>

#include <cstdlib>

namespace kwuni::fuzz {

// A property that must hold: when it does not, the run stops and the input is kept.
inline void require(bool condition) {
  if (!condition) std::abort();
}

// Points the registry at the build's tables, once.
inline void useBuildTables() {
  static const bool done = (KW_SetUniBaseDirectory(KWUNI_BUILD_DIR), true);
  (void)done;
}

}  // namespace kwuni::fuzz
