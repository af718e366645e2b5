// kwuni render: draws text through KW_DrawText into a PNG image, wrapped to a width, aligned,
// with a highlighted selection.

#include <kwuni/text.h>

#include "tools/kwuni/command.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace kwuni::cli {
namespace {

constexpr const char* help =
    "usage: kwuni render [--font FAMILY] [--size PX] [--width PX] [--select A:B]\n"
    "                    [--align left|center|right] [--family nt|9x] -o OUTPUT.png TEXT\n"
    "\n"
    "Draws TEXT (UTF-8; a line feed in it starts a new line) into a PNG image through\n"
    "the library's text layout: wrapped at word breaks to the width, aligned, with\n"
    "characters A to B-1 (counted in code points) highlighted. The image is as tall as\n"
    "the text.\n"
    "\n"
    "  --font FAMILY   the font family, as fontconfig names it (default 'DejaVu Sans'); characters\n"
    "                  it lacks come from other fonts\n"
    "  --size PX       the font's height in pixels, 4 to 1000 (default 16)\n"
    "  --width PX      the image's width, 1 to 16384 (default 400)\n"
    "  --family nt|9x  nt measures and draws through the system's script strings (the default),\n"
    "                  9x a character at a time, as the older platform family did\n"
    "\n"
    "Exit status: 0 when the image is written, 1 when it cannot be, 2 for a wrong command line\n"
    "(no image is written then).\n";

struct RenderOptions {
  std::string font = "DejaVu Sans";
  int size = 16;
  int width = 400;
  std::optional<std::pair<int, int>> selection;  // in code points
  UINT align = DT_LEFT;
  DWORD family = VER_PLATFORM_WIN32_NT;
  std::string output;
  std::optional<std::string_view> text;
};

std::pair<int, int> selectionNamed(std::string_view option, std::string_view value) {
  const auto colon = value.find(':');
  if (colon == std::string_view::npos) {
    throw UsageError(std::string(option) + " takes A:B, two character positions, not '" + std::string(value) + "'");
  }
  constexpr int longest = 1 << 20;
  return {numberOption(option, value.substr(0, colon), 0, longest),
          numberOption(option, value.substr(colon + 1), 0, longest)};
}

RenderOptions parse(std::span<const std::string_view> args) {
  RenderOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const auto arg = args[i];
    auto value = [&]() {
      if (i + 1 >= args.size()) throw UsageError(std::string(arg) + " needs a value");
      return args[++i];
    };
    if (arg == "--font") {
      options.font = value();
      if (options.font.empty()) throw UsageError("--font needs a family name");
    } else if (arg == "--size") {
      options.size = numberOption(arg, value(), 4, 1000);
    } else if (arg == "--width") {
      options.width = numberOption(arg, value(), 1, 16384);
    } else if (arg == "--select") {
      options.selection = selectionNamed(arg, value());
    } else if (arg == "--align") {
      const auto name = value();
      if (name == "left") {
        options.align = DT_LEFT;
      } else if (name == "center") {
        options.align = DT_CENTER;
      } else if (name == "right") {
        options.align = DT_RIGHT;
      } else {
        throw UsageError("--align takes left, center or right, not '" + std::string(name) + "'");
      }
    } else if (arg == "--family") {
      const auto name = value();
      if (name != "nt" && name != "9x") throw UsageError("--family takes nt or 9x, not '" + std::string(name) + "'");
      options.family = name == "9x" ? VER_PLATFORM_WIN32_WINDOWS : VER_PLATFORM_WIN32_NT;
    } else if (arg == "-o" || arg == "--output") {
      options.output = value();
    } else if (arg.starts_with("-") && arg != "-") {
      throw UsageError("unknown option '" + std::string(arg) + "' for render");
    } else if (options.text) {
      throw UsageError("render draws one TEXT; quote it when it holds spaces");
    } else {
      options.text = arg;
    }
  }
  if (!options.text) throw UsageError("render needs the TEXT to draw");
  if (options.output.empty()) throw UsageError("render needs -o OUTPUT.png");
  return options;
}

// The text in UTF-16, and where each of its code points starts (one more entry: the end).
struct WideText {
  std::u16string units;
  std::vector<int> starts;
};

WideText widen(std::string_view utf8) {
  WideText wide;
  for (std::size_t at = 0; at < utf8.size();) {
    const std::size_t was = at;
    const auto c = nextUtf8(utf8, at);
    if (!c) throw UsageError("TEXT is not UTF-8 (byte " + std::to_string(was) + ")");
    if (*c == 0) throw UsageError("TEXT holds a NUL character");
    wide.starts.push_back(static_cast<int>(wide.units.size()));
    if (*c >= 0x10000) {
      wide.units.push_back(static_cast<char16_t>(0xD7C0 + (*c >> 10)));
      wide.units.push_back(static_cast<char16_t>(0xDC00 + (*c & 0x3FF)));
    } else {
      wide.units.push_back(static_cast<char16_t>(*c));
    }
  }
  wide.starts.push_back(static_cast<int>(wide.units.size()));
  return wide;
}

using DeviceContext = std::unique_ptr<HDC__, decltype(&KW_DeleteImageDC)>;

DeviceContext imageContext(int width, int height, const RenderOptions& options) {
  DeviceContext dc(KW_CreateImageDC(width, height), KW_DeleteImageDC);
  if (!dc) throw Failure("cannot make an image of " + std::to_string(width) + " x " + std::to_string(height) + " pixels");
  KW_SelectImageFont(dc.get(), options.font.c_str(), options.size);
  return dc;
}

// Switches the script-string family for the command's lifetime.
class ScriptFamily {
 public:
  explicit ScriptFamily(DWORD family) {
    if (family != VER_PLATFORM_WIN32_NT) KW_SetScriptPlatformForTesting(family);
    changed_ = family != VER_PLATFORM_WIN32_NT;
  }
  ~ScriptFamily() {
    if (changed_) KW_SetScriptPlatformForTesting(VER_PLATFORM_WIN32_NT);
  }
  ScriptFamily(const ScriptFamily&) = delete;
  ScriptFamily& operator=(const ScriptFamily&) = delete;

 private:
  bool changed_ = false;
};

// Writes the image beside the output and renames it into place, so that a failure leaves no
// half-written file.
void writeImage(HDC dc, const std::string& output) {
  const std::filesystem::path target(output);
  std::filesystem::path partial = target;
  partial += ".partial";
  if (!KW_WriteImagePNG(dc, partial.c_str())) {
    std::error_code ignored;
    std::filesystem::remove(partial, ignored);
    throw Failure("cannot write " + output);
  }
  std::error_code error;
  std::filesystem::rename(partial, target, error);
  if (error) {
    std::filesystem::remove(partial, error);
    throw Failure("cannot write " + output);
  }
}

}  // namespace

int renderCommand(std::span<const std::string_view> args) {
  for (const auto& arg : args) {
    if (arg == "--help" || arg == "-h") {
      std::fputs(help, stdout);
      return exitOk;
    }
  }
  const RenderOptions options = parse(args);
  const WideText text = widen(*options.text);
  const int characters = static_cast<int>(text.starts.size()) - 1;
  int anchor = 0;
  int end = 0;
  if (options.selection) {
    const auto [a, b] = *options.selection;
    if (a > characters || b > characters) {
      throw UsageError("--select " + std::to_string(a) + ":" + std::to_string(b) + " lies beyond the text's " +
                       std::to_string(characters) + " characters");
    }
    anchor = text.starts[static_cast<std::size_t>(a)];
    end = text.starts[static_cast<std::size_t>(b)];
  }

  const ScriptFamily family(options.family);
  const UINT format = options.align | DT_NOPREFIX;
  RECT block{0, 0, options.width, 0};
  {
    const DeviceContext measuring = imageContext(1, 1, options);
    KW_DrawText(measuring.get(), text.units.c_str(), -1, &block, format | DT_CALCRECT, 0, 0);
  }
  const int height = std::max(1, static_cast<int>(block.bottom - block.top));
  const DeviceContext dc = imageContext(options.width, height, options);
  RECT page{0, 0, options.width, height};
  KW_DrawText(dc.get(), text.units.c_str(), -1, &page, format, anchor, end);
  writeImage(dc.get(), options.output);
  return exitOk;
}

}  // namespace kwuni::cli
