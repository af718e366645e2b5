// Listings of the tool: a table printed as aligned columns under their titles, or as a JSON
// array of objects, one per row, keyed by the columns' keys.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kwuni::cli {

struct Column {
  std::string_view title;  // "CODE"
  std::string_view key;    // "code"
  bool rightAligned = false;
};

// A cell as the table shows it and as JSON writes it (a number, true, a quoted string).
struct Cell {
  std::string shown;
  std::string json;
};

Cell textCell(std::string utf8);
Cell numberCell(long long value);
Cell flagCell(bool value, std::string_view shownWhenSet = "yes", std::string_view shownWhenClear = "no");

struct Table {
  std::vector<Column> columns;
  std::vector<std::vector<Cell>> rows;
};

void printTable(const Table& table);
void printJson(const Table& table);

}  // namespace kwuni::cli
