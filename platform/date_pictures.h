// ICU date patterns ("EEEE, MMMM d, y", "y年M月d日") as Windows date pictures ("dddd, MMMM d,
// yyyy", "yyyy'年'M'月'd'日'").
#pragma once

#include <string>
#include <string_view>

namespace sys {

struct PictureStyle {
  bool keepEra = false;        // the calendar counts years within eras (Japan): keep G as g/gg, y as y
  bool fourDigitYears = true;  // widen two-digit years (ICU's short dates) to four
};

// Windows pictures know days (d dd ddd dddd), months (M MM MMM MMMM), years (y yy yyyy) and eras
// (g gg); other fields (quarters, weeks, times) are dropped with the literal that joins them to
// the rest. Literal text that holds letters is quoted; bidirectional marks are dropped.
std::u16string datePictureOf(std::u16string_view icuPattern, PictureStyle style = {});

}  // namespace sys
