#include "platform/date_pictures.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
  std::u16string_view icu;
  sys::PictureStyle style;
  std::u16string_view windows;
};

constexpr sys::PictureStyle plain{};
constexpr sys::PictureStyle twoDigitYears{false, false};
constexpr sys::PictureStyle eras{true, true};

constexpr Case cases[] = {
    {u"M/d/yy", plain, u"M/d/yyyy"},
    {u"M/d/yy", twoDigitYears, u"M/d/yy"},
    {u"EEEE, MMMM d, y", plain, u"dddd, MMMM d, yyyy"},
    {u"EEE, MMM d, y", plain, u"ddd, MMM d, yyyy"},
    {u"EEEEE d LLLLL", plain, u"ddd d MMM"},
    {u"cccc d", plain, u"dddd d"},
    {u"e.d.M", plain, u"d.M"},
    {u"EEEE, d. MMMM y", plain, u"dddd, d. MMMM yyyy"},
    {u"y年M月d日", plain, u"yyyy'年'M'月'd'日'"},
    {u"y年M月d日EEEE", plain, u"yyyy'年'M'月'd'日'dddd"},
    {u"EEEE, d 'de' MMMM 'de' y", plain, u"dddd, d' de 'MMMM' de 'yyyy"},
    {u"d MMMM y 'г'.", plain, u"d MMMM yyyy' г.'"},
    {u"dd.MM.y", plain, u"dd.MM.yyyy"},
    {u"d\u200F/M\u200F/y GGGGG", plain, u"d/M/yyyy"},
    {u"d MMMM G y", plain, u"d MMMM yyyy"},
    {u"GGGGGy/M/d", plain, u"yyyy/M/d"},
    {u"GGGGGy/M/d", eras, u"gy/M/d"},
    {u"Gy年M月d日", eras, u"ggy'年'M'月'd'日'"},
    {u"QQQ y", plain, u"yyyy"},
    {u"y QQQ", plain, u"yyyy"},
    {u"d MMM y, h:mm a", plain, u"d MMM yyyy"},
    {u"h 'o''clock'", plain, u""},
    {u"d 'd''a' M", plain, u"d' d''a 'M"},
    {u"d '' M", plain, u"d' '' 'M"},
    {u"'Day' d", plain, u"'Day 'd"},
    {u"", plain, u""},
};

TEST(DatePictures, IcuPatternsAsWindowsPictures) {
  for (const auto& c : cases) {
    const std::u16string picture = sys::datePictureOf(c.icu, c.style);
    EXPECT_EQ(picture, c.windows) << "case " << (&c - cases) << ": got " << std::string(picture.begin(), picture.end());
  }
}

}  // namespace
