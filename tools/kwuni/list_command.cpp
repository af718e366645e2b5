// kwuni list ansi|oem|ccsid [--json]: every row of a code page catalogue.

#include <kwuni/catalogue.h>

#include "tools/kwuni/command.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace kwuni::cli {
namespace {

struct ListedRow {
  int code;
  std::string description;
  int charset;
  bool dbcs;
  bool pseudo;
};

// The GDI character sets of the code pages that mix single and double bytes.
bool doubleByteCharset(int charset) {
  return charset == SHIFTJIS_CHARSET || charset == HANGEUL_CHARSET || charset == JOHAB_CHARSET ||
         charset == GB2312_CHARSET || charset == CHINESEBIG5_CHARSET;
}

struct Catalogue {
  int (*enumerate)(EnumTextProc, long, unsigned long);
  const WCHAR* (*describe)(int);
  int (*charset)(int);
};

// The codes a catalogue offers, in its order.
std::vector<int> codesOf(const Catalogue& catalogue, unsigned long flags) {
  std::vector<int> codes;
  catalogue.enumerate(
      [](const WCHAR* key, long list) -> int {
        reinterpret_cast<std::vector<int>*>(list)->push_back(KW_StringToCP(key));
        return 1;
      },
      reinterpret_cast<long>(&codes), flags);
  return codes;
}

std::vector<ListedRow> rowsOf(std::string_view name) {
  Catalogue catalogue{};
  if (name == "ansi") {
    catalogue = {KW_EnumANSICodePages, KW_GetACPDesc, KW_TranslateACPInfo};
  } else if (name == "oem") {
    catalogue = {KW_EnumOEMCodePages, KW_GetOEMCPDesc, KW_TranslateOEMCPInfo};
  } else if (name == "ccsid") {
    catalogue = {KW_EnumEBCDICCodePages, KW_GetECPDesc, KW_TranslateECPInfo};
  } else {
    throw UsageError("unknown catalogue '" + std::string(name) + "' (expected ansi, oem or ccsid)");
  }
  const std::vector<int> offered = codesOf(catalogue, CP_SUPPORTED);
  std::vector<ListedRow> listed;
  for (const int code : codesOf(catalogue, CP_SUPPORTED | KW_ENUM_SPECIAL)) {
    const int charset = catalogue.charset(code);
    const bool dbcs = name == "ccsid" ? KW_IsDbcsECP(code) == 1 : doubleByteCharset(charset);
    const bool pseudo = std::find(offered.begin(), offered.end(), code) == offered.end();
    listed.push_back({code, toUtf8(catalogue.describe(code)), charset, dbcs, pseudo});
  }
  return listed;
}

void printJson(const std::vector<ListedRow>& rows) {
  std::printf("[\n");
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto& r = rows[i];
    std::printf("  {\"code\": %d, \"description\": %s, \"charset\": %d, \"dbcs\": %s, \"pseudo\": %s}%s\n", r.code,
                jsonString(r.description).c_str(), r.charset, r.dbcs ? "true" : "false",
                r.pseudo ? "true" : "false", i + 1 < rows.size() ? "," : "");
  }
  std::printf("]\n");
}

void printTable(const std::vector<ListedRow>& rows) {
  std::size_t width = std::string_view("DESCRIPTION").size();
  for (const auto& r : rows) width = std::max(width, r.description.size());
  const int w = static_cast<int>(width);
  std::printf("%-6s  %-*s  %7s  %-4s\n", "CODE", w, "DESCRIPTION", "CHARSET", "DBCS");
  for (const auto& r : rows) {
    std::printf("%-6d  %-*s  %7d  %-4s%s\n", r.code, w, r.description.c_str(), r.charset, r.dbcs ? "yes" : "no",
                r.pseudo ? "  (pseudo entry, offered only on request)" : "");
  }
}

}  // namespace

int listCommand(std::span<const std::string_view> args) {
  bool json = false;
  std::string_view catalogue;
  for (const auto arg : args) {
    if (arg == "--json") {
      json = true;
    } else if (arg.starts_with("-")) {
      throw UsageError("unknown option '" + std::string(arg) + "' for list");
    } else if (catalogue.empty()) {
      catalogue = arg;
    } else {
      throw UsageError("list takes one catalogue, got also '" + std::string(arg) + "'");
    }
  }
  if (catalogue.empty()) throw UsageError("list needs a catalogue: ansi, oem or ccsid");
  const auto rows = rowsOf(catalogue);
  json ? printJson(rows) : printTable(rows);
  return exitOk;
}

}  // namespace kwuni::cli
