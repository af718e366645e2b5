// kwuni: the command-line front door to the library.

#include <kwuni/ebcdic.h>

#include "tools/kwuni/command.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace {

using namespace kwuni::cli;

constexpr const char* usage =
    "usage: kwuni [--help] [--version] <command> [<args>]\n"
    "\n"
    "Work with the data of EBCDIC host systems in Unicode.\n"
    "\n"
    "commands:\n"
    "  convert -f FROM -t TO [-o OUTPUT] [--lines | --record N] [--strict] [--stats] [FILE...]\n"
    "                                 convert host data (a CCSID) to or from UTF-8, UTF-16 or a\n"
    "                                 Windows code page; 'kwuni convert --help' tells more\n"
    "  list CATALOGUE [LCID] [--json] list a catalogue: ansi, oem, ccsid (code pages), nlv,\n"
    "                                 locales, and for all locales or one: calendars,\n"
    "                                 numformats, datefmts\n"
    "  locale LCID [--json]           what the catalogues know of one locale (hexadecimal id,\n"
    "                                 0x0411): name, group, host code page, NLV, number\n"
    "                                 format, calendars, date formats\n"
    "  tables [--json] [--dir DIR]    list the translation tables the library reads (or those\n"
    "                                 in DIR): CCSID, entries, mixed flag and status\n"
    "  tables --check FILE            check one table file: exit 1 when the library would\n"
    "                                 refuse it, warnings for what loads but looks wrong\n"
    "  field [--ccsid N] [--kind KIND] [--length N] [--keys TEXT]\n"
    "                                 edit one host input field in the terminal, or run a\n"
    "                                 key script; show its cells and host bytes\n"
    "                                 (kwuni field --help for the kinds and keys)\n"
    "  render [--font F] [--size PX] [--width PX] [--select A:B] [--align left|center|right]\n"
    "         -o OUTPUT.png TEXT      draw text, wrapped, aligned and with a selection, into\n"
    "                                 a PNG image (kwuni render --help tells more)\n"
    "  trace --selftest               provoke an access violation, catch it as a typed\n"
    "                                 exception and print it with a symbolic stack trace\n"
    "\n"
    "Exit status: 0 on success, 1 when the work fails, 2 for a wrong command line.\n";

struct Subcommand {
  std::string_view name;
  Command run;
};

constexpr Subcommand subcommands[] = {
    {"convert", convertCommand},
    {"list", listCommand},
    {"locale", localeCommand},
    {"tables", tablesCommand},
    {"field", fieldCommand},
    {"render", renderCommand},
    {"trace", traceCommand},
};

int run(const std::vector<std::string_view>& args) {
  if (args.empty()) throw UsageError("no command given");
  const auto first = args.front();
  if (first == "--help" || first == "-h" || first == "help") {
    std::fputs(usage, stdout);
    return exitOk;
  }
  if (first == "--version") {
    std::printf("kwuni %s (conversion kernels: %s)\n", KWUNI_VERSION, kwuni::conversionKernels());
    return exitOk;
  }
  for (const auto& sub : subcommands) {
    if (sub.name == first) return sub.run(std::span(args).subspan(1));
  }
  if (first.starts_with("-")) throw UsageError("unknown option '" + std::string(first) + "'");
  throw UsageError("unknown command '" + std::string(first) + "'");
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  try {
    return run(args);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "kwuni: %s\nTry 'kwuni --help' for more information.\n", e.what());
    return exitUsage;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kwuni: %s\n", e.what());
    return exitFailure;
  }
}
