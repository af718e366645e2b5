// What stands behind an HDC and a GDI object, and UTF-16 text laid out by Pango for a device
// context. Pango indexes its text in UTF-8 bytes; LaidOutText keeps the maps between those byte
// indexes and the caller's UTF-16 positions, so that everything the platform layer answers is a
// position in the caller's text.
#pragma once

#include <kwuni/win32.h>

#include <pango/pangocairo.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A device context: a white ARGB image, the Cairo context that draws on it, the selected font,
// the colours and the clipping rectangle (device pixels).
struct HDC__ {
  cairo_surface_t* surface = nullptr;
  cairo_t* cairo = nullptr;
  PangoFontDescription* font = nullptr;
  COLORREF textColor = RGB(0, 0, 0);
  COLORREF backgroundColor = RGB(255, 255, 255);
  std::optional<RECT> clip;
};

// A brush (its colour) or a rectangular region.
struct HGDIOBJ__ {
  enum class Kind { brush, region };
  Kind kind;
  COLORREF color;
  RECT rect;
};

namespace sys {

// Pango units (1/1024 pixel) to whole pixels, rounded.
int toPixels(int pangoUnits);

void setSourceColor(cairo_t* cairo, COLORREF color);

// Saves the context's Cairo state and clips to its clipping region, if any; restores the state
// when it goes.
class DrawingScope {
 public:
  explicit DrawingScope(HDC dc);
  ~DrawingScope();
  DrawingScope(const DrawingScope&) = delete;
  DrawingScope& operator=(const DrawingScope&) = delete;

 private:
  cairo_t* cairo_;
};

// The selected font's metrics in pixels.
struct FontMetrics {
  int ascent = 0;
  int descent = 0;
  int externalLeading = 0;  // line spacing beyond ascent + descent
  int emHeight = 0;
  int averageCharWidth = 0;
  int maxCharWidth = 0;
  int weight = 400;
  bool italic = false;
  bool monospace = false;

  int height() const { return ascent + descent; }
};
FontMetrics fontMetrics(HDC dc);

struct TextOptions {
  bool hotkeys = false;         // "&" is hidden and underlines the next character; "&&" shows "&"
  bool password = false;        // every character is shown as the first
  bool rightToLeft = false;     // paragraph direction
  bool fallback = true;         // other fonts may supply what the font lacks
  bool eastAsianFallback = true;  // the same for Han, kana, Hangul and Bopomofo
};

// The caller's UTF-16 text as the UTF-8 that Pango lays out, and the maps between them.
// Malformed surrogates and NUL are shown as U+FFFD.
class MappedText {
 public:
  enum class Unit : std::uint8_t { start, continuation, hidden };  // continuation: a low surrogate

  MappedText(std::u16string_view text, bool hotkeys, bool password);

  const std::string& utf8() const { return utf8_; }
  int length() const { return static_cast<int>(units_.size()); }
  Unit unit(int i) const { return units_[static_cast<std::size_t>(i)]; }
  // The byte index and character index (in the UTF-8) of what unit i shows; for a hidden unit the
  // next character shown; for length() the end.
  int byteOf(int i) const { return byteOf_[static_cast<std::size_t>(i)]; }
  int charOf(int i) const { return charOf_[static_cast<std::size_t>(i)]; }
  // The first unit of the character at a byte index (any byte of it); the end maps to length().
  int unitAtByte(int byte) const { return unitAtByte_[static_cast<std::size_t>(byte)]; }
  // The characters shown: how many, where each starts (chars() gives the end), what each is.
  int chars() const { return static_cast<int>(codePoints_.size()); }
  int charByte(int k) const { return charByte_[static_cast<std::size_t>(k)]; }
  char32_t codePoint(int k) const { return codePoints_[static_cast<std::size_t>(k)]; }
  // Byte ranges of the characters that hotkey ampersands underline.
  const std::vector<std::pair<int, int>>& underlined() const { return underlined_; }

 private:
  std::string utf8_;
  std::vector<Unit> units_;
  std::vector<int> byteOf_;
  std::vector<int> charOf_;
  std::vector<int> unitAtByte_;
  std::vector<int> charByte_;
  std::vector<char32_t> codePoints_;
  std::vector<std::pair<int, int>> underlined_;
};

// One line of text in the context's font, laid out with its own Pango context.
class LaidOutText {
 public:
  LaidOutText(HDC dc, std::u16string_view text, const TextOptions& options);
  ~LaidOutText();
  LaidOutText(const LaidOutText&) = delete;
  LaidOutText& operator=(const LaidOutText&) = delete;

  const MappedText& text() const { return text_; }
  PangoLayout* layout() const { return layout_; }
  const FontMetrics& metrics() const { return metrics_; }
  // The logical width in pixels.
  int width() const;
  // The x of the leading or trailing edge of what unit i shows (a hidden unit has no width; for
  // length(), the end of the text). Right-to-left characters lead on their right.
  int edge(int i, bool trailing) const;
  // The x offset after each unit in logical order: the advance of the text up to and including
  // it. A surrogate pair's units share theirs.
  std::vector<int> advances() const;
  // Visual x ranges (pixels) covering the units [from, to).
  std::vector<std::pair<double, double>> ranges(int from, int to) const;
  // Draws with the top of the line at y and the baseline at y + ascent.
  void draw(cairo_t* cairo, double x, double y) const;

 private:
  MappedText text_;
  FontMetrics metrics_;
  PangoContext* context_ = nullptr;
  PangoLayout* layout_ = nullptr;
};

}  // namespace sys
