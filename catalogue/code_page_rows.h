// The rows of the three code page catalogues, and the host defaults of each ANSI code page.
// Rows stand, and are searched, in this order; the first match wins.
#pragma once

#include <kwuni/win32.h>

#include <span>

namespace kwuni::catalogue {

struct CodePageRow {
  UINT stringId;  // description in the resource module; 0 for none
  int code;       // code page or CCSID
  int charset;    // GDI character set; DEFAULT_CHARSET stands for the system code page's
  int isDbcs;     // 1 for a mixed single/double-byte code page
};

inline constexpr CodePageRow ansiRows[] = {
    {6244, 874, 222, 0},  {6245, 932, 128, 1},  {6246, 936, 134, 1},  {6247, 949, 129, 1},
    {6248, 950, 136, 1},  {6249, 1200, 1, 0},   {6145, 1250, 238, 0}, {6146, 1251, 204, 0},
    {6147, 1252, 0, 0},   {6148, 1253, 161, 0}, {6149, 1254, 162, 0}, {6152, 1257, 186, 0},
    {6153, 1258, 163, 0}, {6208, 1361, 130, 1},
};

inline constexpr CodePageRow oemRows[] = {
    {6209, 437, 0, 0},   {6215, 737, 161, 0}, {6216, 775, 186, 0}, {6217, 813, 161, 0},
    {6218, 819, 0, 0},   {6219, 850, 0, 0},   {6220, 851, 161, 0}, {6221, 852, 238, 0},
    {6222, 855, 204, 0}, {6224, 857, 162, 0}, {6225, 858, 0, 0},   {6226, 860, 0, 0},
    {6227, 861, 0, 0},   {6229, 863, 0, 0},   {6231, 865, 0, 0},   {6232, 866, 204, 0},
    {6234, 869, 161, 0}, {6236, 915, 204, 0}, {6238, 920, 162, 0}, {6239, 923, 0, 0},
};

inline constexpr CodePageRow ccsidRows[] = {
    {6154, 37, 0, 0},      {6174, 256, 0, 0},    {6175, 273, 0, 0},    {6176, 277, 0, 0},
    {6177, 278, 0, 0},     {6178, 280, 0, 0},    {6179, 284, 0, 0},    {6180, 285, 0, 0},
    {6181, 297, 0, 0},     {6183, 423, 161, 0},  {6185, 500, 0, 0},    {6186, 838, 222, 0},
    {6187, 870, 238, 0},   {6188, 871, 0, 0},    {6189, 875, 161, 0},  {6190, 880, 204, 0},
    {6191, 905, 162, 0},   {6196, 924, 0, 0},    {6197, 930, 128, 1},  {6199, 933, 129, 1},
    {6200, 935, 134, 1},   {6201, 937, 136, 1},  {6202, 939, 128, 1},  {6157, 1025, 204, 0},
    {6158, 1026, 162, 0},  {6159, 1047, 0, 0},   {6156, 1112, 186, 0}, {6162, 1122, 186, 0},
    {6163, 1130, 163, 0},  {6164, 1140, 0, 0},   {6165, 1141, 0, 0},   {6166, 1142, 0, 0},
    {6167, 1143, 0, 0},    {6168, 1144, 0, 0},   {6169, 1145, 0, 0},   {6170, 1146, 0, 0},
    {6171, 1147, 0, 0},    {6172, 1148, 0, 0},   {6173, 1149, 0, 0},   {6235, 1153, 238, 0},
    {6204, 1154, 204, 0},  {6161, 1155, 162, 0}, {6210, 1160, 222, 0}, {6198, 1364, 130, 1},
    {6243, 1371, 136, 1},  {6241, 1388, 134, 1}, {6242, 1390, 128, 1}, {6250, 1399, 128, 1},
    {6240, 4971, 161, 0},  {6155, 13488, 1, 0},
};

// The pseudo entries: listed, but offered by an enumeration only with KW_ENUM_SPECIAL.
inline constexpr int ansiPseudoCode = 1200;
inline constexpr int ccsidPseudoCode = 13488;

// The default host CCSID and NLV of an ANSI code page. The last row, with code page 0, answers
// for every code page not listed before it.
struct HostDefaults {
  int ansiCodePage;
  int ccsid;
  int nlv;
};

inline constexpr HostDefaults hostDefaults[] = {
    {874, 838, 2972},
    {932, 930, 2962},
    {936, 935, 2989},
    {949, 933, 2986},
    {950, 937, 2987},
    {1250, 870, 2924},
    {1251, 880, 2979},
    {1252, 37, 2924},
    {1253, 875, 2957},
    {1254, 1026, 2956},
    {1255, 424, 2961},
    {1256, 420, 2954},
    {1257, 1112, 2903},
    {1258, 1130, 2905},
    {1361, 1364, 2986},
    {0, 500, 2924},
};

// The host defaults for an ANSI code page (0 is not replaced here).
const HostDefaults& hostDefaultsOf(int ansiCodePage);

}  // namespace kwuni::catalogue
