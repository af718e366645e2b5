// kwuni tables [--json] [--dir DIR]: the translation table files the library reads.
// kwuni tables --check FILE: whether one table file loads, and what in it looks wrong.

#include <kwuni/ebcdic.h>
#include <kwuni/streaming.h>

#include "tools/kwuni/command.h"
#include "tools/kwuni/table_check.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace kwuni::cli {
namespace {

namespace fs = std::filesystem;

// Tables/ under the base directory when one is set, else beside the library's own file.
std::string tablesDirectory() {
  try {
    return kwuni::tableDirectory();
  } catch (const kwuni::ConversionError& e) {
    throw Failure(std::string("cannot tell where the tables lie: ") + e.what());
  }
}

std::vector<unsigned char> readFile(const std::string& path) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) throw Failure(path + ": is a directory, not a table file");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Failure(path + ": cannot open: " + std::strerror(errno));
  std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) throw Failure(path + ": cannot read: " + std::strerror(errno));
  return bytes;
}

std::string describeCcsid(const TableCheck& check) {
  if (!check.name) return "unknown (no E<ccsid>U.KWX name)";
  const std::string number = std::to_string(check.name->ccsid);
  if (!check.name->catalogued) return number + ", not a catalogued CCSID";
  return number + (check.name->mixed ? ", mixed single/double-byte" : ", single-byte");
}

int checkFile(const std::string& path) {
  const auto check = checkTable(path, readFile(path));
  if (check.error) throw Failure(path + ": " + *check.error);
  for (const auto& warning : check.warnings) {
    std::fprintf(stderr, "kwuni: %s: warning: %s\n", path.c_str(), warning.c_str());
  }
  std::printf("file         %s\n", path.c_str());
  std::printf("ccsid        %s\n", describeCcsid(check).c_str());
  std::printf("entries      %zu\n", check.entries);
  std::printf("single-byte  %zu\n", check.singleByte);
  std::printf("double-byte  %zu\n", check.doubleByte);
  std::printf("one-way      %zu\n", check.oneWay);
  return exitOk;
}

struct Listed {
  std::string file;
  TableCheck check;
};

std::string status(const TableCheck& check) {
  if (check.error) return "corrupt";
  const auto n = check.warnings.size();
  return n == 0 ? "ok" : std::to_string(n) + (n == 1 ? " warning" : " warnings");
}

std::vector<Listed> listDirectory(const std::string& dir) {
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  if (ec) throw Failure(dir + ": cannot list the table directory: " + ec.message());
  std::vector<Listed> listed;
  for (const auto& entry : it) {
    const std::string name = entry.path().filename().string();
    if (!name.ends_with(".KWX") || !entry.is_regular_file(ec)) continue;
    listed.push_back({name, checkTable(name, readFile(entry.path().string()))});
  }
  // By CCSID; names that stand for none last, by name.
  std::sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) {
    const bool an = a.check.name.has_value(), bn = b.check.name.has_value();
    if (an != bn) return an;
    if (an && a.check.name->ccsid != b.check.name->ccsid) return a.check.name->ccsid < b.check.name->ccsid;
    return a.file < b.file;
  });
  return listed;
}

void printTable(const std::string& dir, const std::vector<Listed>& listed) {
  std::printf("Tables in %s\n", dir.c_str());
  std::printf("%6s  %7s  %6s  %6s  %-5s  %-12s  %s\n", "CCSID", "ENTRIES", "SINGLE", "DOUBLE", "MIXED", "STATUS",
              "FILE");
  for (const auto& [file, check] : listed) {
    const std::string ccsid = check.name ? std::to_string(check.name->ccsid) : "-";
    std::printf("%6s  %7zu  %6zu  %6zu  %-5s  %-12s  %s\n", ccsid.c_str(), check.entries, check.singleByte,
                check.doubleByte, check.name && check.name->mixed ? "yes" : "no", status(check).c_str(), file.c_str());
  }
  if (listed.empty()) std::fprintf(stderr, "kwuni: %s: no table files\n", dir.c_str());
}

void printJson(const std::string& dir, const std::vector<Listed>& listed) {
  std::printf("{\n  \"directory\": %s,\n  \"tables\": [\n", jsonString(dir).c_str());
  for (std::size_t i = 0; i < listed.size(); ++i) {
    const auto& [file, check] = listed[i];
    std::string warnings;
    for (const auto& w : check.warnings) warnings += (warnings.empty() ? "" : ", ") + jsonString(w);
    std::printf("    {\"file\": %s, \"ccsid\": %s, \"mixed\": %s, \"entries\": %zu, \"singleByte\": %zu, "
                "\"doubleByte\": %zu, \"error\": %s, \"warnings\": [%s]}%s\n",
                jsonString(file).c_str(), check.name ? std::to_string(check.name->ccsid).c_str() : "null",
                check.name && check.name->mixed ? "true" : "false", check.entries, check.singleByte,
                check.doubleByte, check.error ? jsonString(*check.error).c_str() : "null", warnings.c_str(),
                i + 1 < listed.size() ? "," : "");
  }
  std::printf("  ]\n}\n");
}

}  // namespace

int tablesCommand(std::span<const std::string_view> args) {
  bool json = false;
  std::optional<std::string> checked, dir;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const auto arg = args[i];
    const auto value = [&]() {
      if (i + 1 >= args.size()) throw UsageError(std::string(arg) + " needs a value");
      return std::string(args[++i]);
    };
    if (arg == "--json") {
      json = true;
    } else if (arg == "--check") {
      if (checked) throw UsageError("tables --check takes one file");
      checked = value();
    } else if (arg == "--dir") {
      dir = value();
    } else if (arg.starts_with("-")) {
      throw UsageError("unknown option '" + std::string(arg) + "' for tables");
    } else {
      throw UsageError("unexpected argument '" + std::string(arg) + "' for tables");
    }
  }
  if (checked) {
    if (json || dir) throw UsageError("tables --check takes no other option");
    return checkFile(*checked);
  }
  const std::string directory = dir ? *dir : tablesDirectory();
  const auto listed = listDirectory(directory);
  json ? printJson(directory, listed) : printTable(directory, listed);
  return exitOk;
}

}  // namespace kwuni::cli
