// The string table of the resource module: display texts of the code page and CCSID catalogues.
// Each text names the code, then what it encodes and where it is used, in at most 80 characters.

#include <kwuni/resources.h>

#include "platform/module.h"
#include "platform/string_table.h"

#include <iterator>

namespace {

constexpr sys::StringTableEntry strings[] = {
    // Windows ANSI code pages
    {6145, u"1250 - Central European (Windows Latin 2)"},
    {6146, u"1251 - Cyrillic (Windows)"},
    {6147, u"1252 - Western European (Windows Latin 1)"},
    {6148, u"1253 - Greek (Windows)"},
    {6149, u"1254 - Turkish (Windows Latin 5)"},
    {6152, u"1257 - Baltic (Windows)"},
    {6153, u"1258 - Vietnamese (Windows)"},
    // EBCDIC host code pages
    {6154, u"37 - English (United States, Canada)"},
    {6155, u"13488 - Unicode (UCS-2, big-endian)"},
    {6156, u"1112 - Baltic multilingual (Latvia, Lithuania)"},
    {6157, u"1025 - Cyrillic multilingual (Russia, Bulgaria)"},
    {6158, u"1026 - Turkish (Latin 5, Turkey)"},
    {6159, u"1047 - Latin 1 open systems (international)"},
    {6161, u"1155 - Turkish with euro (Latin 5, Turkey)"},
    {6162, u"1122 - Estonian (Estonia)"},
    {6163, u"1130 - Vietnamese (Vietnam)"},
    {6164, u"1140 - English with euro (United States, Canada)"},
    {6165, u"1141 - German with euro (Germany, Austria)"},
    {6166, u"1142 - Danish, Norwegian with euro (Denmark, Norway)"},
    {6167, u"1143 - Finnish, Swedish with euro (Finland, Sweden)"},
    {6168, u"1144 - Italian with euro (Italy)"},
    {6169, u"1145 - Spanish with euro (Spain, Latin America)"},
    {6170, u"1146 - English with euro (United Kingdom)"},
    {6171, u"1147 - French with euro (France)"},
    {6172, u"1148 - Multilingual Latin 1 with euro (international)"},
    {6173, u"1149 - Icelandic with euro (Iceland)"},
    {6174, u"256 - Dutch (Netherlands, international no. 1)"},
    {6175, u"273 - German (Germany, Austria)"},
    {6176, u"277 - Danish, Norwegian (Denmark, Norway)"},
    {6177, u"278 - Finnish, Swedish (Finland, Sweden)"},
    {6178, u"280 - Italian (Italy)"},
    {6179, u"284 - Spanish (Spain, Latin America)"},
    {6180, u"285 - English (United Kingdom)"},
    {6181, u"297 - French (France)"},
    {6183, u"423 - Greek (Greece, 183-character set)"},
    {6185, u"500 - Multilingual Latin 1 (international)"},
    {6186, u"838 - Thai (Thailand)"},
    {6187, u"870 - Central European (Latin 2 multilingual)"},
    {6188, u"871 - Icelandic (Iceland)"},
    {6189, u"875 - Greek (Greece)"},
    {6190, u"880 - Cyrillic multilingual (older set)"},
    {6191, u"905 - Turkish (Latin 3 multilingual)"},
    {6196, u"924 - Multilingual Latin 9 with euro (international)"},
    {6197, u"930 - Japanese Katakana-Kanji mixed (Japan)"},
    {6198, u"1364 - Korean mixed, extended (Korea)"},
    {6199, u"933 - Korean mixed (Korea)"},
    {6200, u"935 - Simplified Chinese mixed (China)"},
    {6201, u"937 - Traditional Chinese mixed (Taiwan)"},
    {6202, u"939 - Japanese Latin-Kanji mixed (Japan)"},
    {6204, u"1154 - Cyrillic multilingual with euro (Russia, Bulgaria)"},
    // More Windows ANSI and OEM code pages
    {6208, u"1361 - Korean (Johab)"},
    {6209, u"437 - English (United States, OEM)"},
    {6210, u"1160 - Thai with euro (Thailand)"},
    {6215, u"737 - Greek (OEM)"},
    {6216, u"775 - Baltic (OEM)"},
    {6217, u"813 - Greek (ISO 8859-7)"},
    {6218, u"819 - Western European (ISO 8859-1)"},
    {6219, u"850 - Multilingual Latin 1 (OEM)"},
    {6220, u"851 - Greek, older (OEM)"},
    {6221, u"852 - Central European (OEM Latin 2)"},
    {6222, u"855 - Cyrillic (OEM)"},
    {6224, u"857 - Turkish (OEM)"},
    {6225, u"858 - Multilingual Latin 1 with euro (OEM)"},
    {6226, u"860 - Portuguese (OEM)"},
    {6227, u"861 - Icelandic (OEM)"},
    {6229, u"863 - Canadian French (OEM)"},
    {6231, u"865 - Nordic (OEM)"},
    {6232, u"866 - Russian (OEM)"},
    {6234, u"869 - Modern Greek (OEM)"},
    {6235, u"1153 - Central European with euro (Latin 2 multilingual)"},
    {6236, u"915 - Cyrillic (ISO 8859-5)"},
    {6238, u"920 - Turkish (ISO 8859-9)"},
    {6239, u"923 - Western European with euro (ISO 8859-15)"},
    {6240, u"4971 - Greek with euro (Greece)"},
    {6241, u"1388 - Simplified Chinese mixed, GBK (China)"},
    {6242, u"1390 - Japanese Katakana-Kanji mixed with euro (Japan)"},
    {6243, u"1371 - Traditional Chinese mixed with euro (Taiwan)"},
    {6244, u"874 - Thai (Windows)"},
    {6245, u"932 - Japanese (Shift-JIS)"},
    {6246, u"936 - Simplified Chinese (GBK)"},
    {6247, u"949 - Korean (Unified Hangul Code)"},
    {6248, u"950 - Traditional Chinese (Big5)"},
    {6249, u"1200 - Unicode (UTF-16, little-endian)"},
    {6250, u"1399 - Japanese Latin-Kanji mixed with euro (Japan)"},
};

}  // namespace

// Found by LoadStringW through the module handle; sorted by id.
extern "C" __attribute__((visibility("default"))) const sys::StringTable kw_string_table{
    strings, std::size(strings)};

HINSTANCE KW_GetKWRES() { return sys::moduleContaining(&kw_string_table); }
