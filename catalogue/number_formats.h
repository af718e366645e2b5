// Integer number format patterns of a locale: a positive and a negative section in picture
// notation ("#,##0;-#,##0"): # an optional digit, 0 a required one, the locale's thousands
// separator between groups.
#pragma once

#include <kwuni/win32.h>

namespace kwuni::catalogue {

// Writes the locale's pattern, cut to count - 1 characters and terminated, and returns the
// pattern's whole length.
int numberFormat(LCID locale, WCHAR* buffer, int count);

}  // namespace kwuni::catalogue
