// kwuni list ansi|oem|ccsid [--json]: every row of a code page catalogue.

#include <kwuni/catalogue.h>

#include "catalogue/code_page_rows.h"
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

std::vector<ListedRow> rowsOf(std::string_view catalogue) {
  using namespace kwuni::catalogue;
  std::span<const CodePageRow> rows;
  const WCHAR* (*describe)(int) = nullptr;
  int pseudo = 0;
  if (catalogue == "ansi") {
    rows = ansiRows, describe = KW_GetACPDesc, pseudo = ansiPseudoCode;
  } else if (catalogue == "oem") {
    rows = oemRows, describe = KW_GetOEMCPDesc;
  } else if (catalogue == "ccsid") {
    rows = ccsidRows, describe = KW_GetECPDesc, pseudo = ccsidPseudoCode;
  } else {
    throw UsageError("unknown catalogue '" + std::string(catalogue) + "' (expected ansi, oem or ccsid)");
  }
  std::vector<ListedRow> listed;
  for (const auto& row : rows) {
    listed.push_back({row.code, toUtf8(describe(row.code)), row.charset, row.isDbcs == 1, row.code == pseudo});
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
