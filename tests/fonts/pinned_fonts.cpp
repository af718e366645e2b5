// Every test sees only the fonts the set-up installs, however the binary is started: fontconfig
// reads its configuration when the first font is asked for, after this runs.
#include <cstdlib>

namespace {
const bool pinned = setenv("FONTCONFIG_FILE", KWUNI_FONTS_CONF, 1) == 0;
}  // namespace
