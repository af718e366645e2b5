#include "tools/kwuni/table_output.h"

#include "tools/kwuni/command.h"

#include <algorithm>
#include <cstdio>

namespace kwuni::cli {
namespace {

// Characters, not bytes, so that accented and CJK text lines up as well as a terminal allows.
std::size_t displayWidth(std::string_view utf8) {
  return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

void printRow(const std::vector<std::string_view>& cells, const Table& table, const std::vector<std::size_t>& widths) {
  std::string line;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const std::string padding(widths[i] - displayWidth(cells[i]), ' ');
    const bool last = i + 1 == cells.size();
    if (i > 0) line += "  ";
    if (table.columns[i].rightAligned) {
      line += padding;
      line += cells[i];
    } else {
      line += cells[i];
      if (!last) line += padding;
    }
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  std::printf("%s\n", line.c_str());
}

}  // namespace

Cell textCell(std::string utf8) {
  std::string json = jsonString(utf8);
  return {std::move(utf8), std::move(json)};
}

Cell numberCell(long long value) { return {std::to_string(value), std::to_string(value)}; }

Cell flagCell(bool value, std::string_view shownWhenSet, std::string_view shownWhenClear) {
  return {std::string(value ? shownWhenSet : shownWhenClear), value ? "true" : "false"};
}

void printTable(const Table& table) {
  std::vector<std::size_t> widths;
  for (const auto& column : table.columns) widths.push_back(displayWidth(column.title));
  for (const auto& row : table.rows) {
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], displayWidth(row[i].shown));
  }
  std::vector<std::string_view> cells;
  for (const auto& column : table.columns) cells.push_back(column.title);
  printRow(cells, table, widths);
  for (const auto& row : table.rows) {
    cells.clear();
    for (const auto& cell : row) cells.push_back(cell.shown);
    printRow(cells, table, widths);
  }
}

void printJson(const Table& table) {
  std::printf("[\n");
  for (std::size_t r = 0; r < table.rows.size(); ++r) {
    std::string object = "  {";
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
      if (i > 0) object += ", ";
      object += jsonString(table.columns[i].key) + ": " + table.rows[r][i].json;
    }
    std::printf("%s}%s\n", object.c_str(), r + 1 < table.rows.size() ? "," : "");
  }
  std::printf("]\n");
}

}  // namespace kwuni::cli
