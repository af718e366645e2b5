#include "platform/device_context.h"

#include <unicode/uscript.h>

#include <algorithm>
#include <cmath>

namespace sys {
namespace {

constexpr char32_t replacement = 0xFFFD;

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The code point at text[i] and how many units it takes.
char32_t decodeAt(std::u16string_view text, std::size_t i, std::size_t& units) {
  const char16_t c = text[i];
  units = 1;
  if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
    units = 2;
    return 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
  }
  if (c == 0 || (c >= 0xD800 && c <= 0xDFFF)) return replacement;
  return c;
}

void appendUtf8(std::string& out, char32_t c) {
  const auto byte = [&out](char32_t b) { out.push_back(static_cast<char>(static_cast<unsigned char>(b))); };
  if (c < 0x80) {
    byte(c);
  } else if (c < 0x800) {
    byte(0xC0 | c >> 6);
    byte(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    byte(0xE0 | c >> 12);
    byte(0x80 | (c >> 6 & 0x3F));
    byte(0x80 | (c & 0x3F));
  } else {
    byte(0xF0 | c >> 18);
    byte(0x80 | (c >> 12 & 0x3F));
    byte(0x80 | (c >> 6 & 0x3F));
    byte(0x80 | (c & 0x3F));
  }
}

// The scripts that East Asian font linking covers.
bool isEastAsian(char32_t c) {
  UErrorCode status = U_ZERO_ERROR;
  switch (uscript_getScript(static_cast<UChar32>(c), &status)) {
    case USCRIPT_HAN:
    case USCRIPT_HIRAGANA:
    case USCRIPT_KATAKANA:
    case USCRIPT_HANGUL:
    case USCRIPT_BOPOMOFO:
      return true;
    default:
      return false;
  }
}

}  // namespace

int toPixels(int pangoUnits) {
  return static_cast<int>(std::floor(static_cast<double>(pangoUnits) / PANGO_SCALE + 0.5));
}

void setSourceColor(cairo_t* cairo, COLORREF color) {
  cairo_set_source_rgb(cairo, (color & 0xFF) / 255.0, (color >> 8 & 0xFF) / 255.0, (color >> 16 & 0xFF) / 255.0);
}

DrawingScope::DrawingScope(HDC dc) : cairo_(dc->cairo) {
  cairo_save(cairo_);
  if (dc->clip) {
    const RECT& r = *dc->clip;
    cairo_rectangle(cairo_, r.left, r.top, r.right - r.left, r.bottom - r.top);
    cairo_clip(cairo_);
  }
}

DrawingScope::~DrawingScope() { cairo_restore(cairo_); }

FontMetrics fontMetrics(HDC dc) {
  FontMetrics metrics;
  metrics.emHeight = toPixels(pango_font_description_get_size(dc->font));
  metrics.weight = pango_font_description_get_weight(dc->font);
  metrics.italic = pango_font_description_get_style(dc->font) != PANGO_STYLE_NORMAL;

  PangoContext* context = pango_cairo_create_context(dc->cairo);
  PangoFont* font = pango_context_load_font(context, dc->font);
  if (font != nullptr) {
    PangoFontMetrics* pangoMetrics = pango_font_get_metrics(font, nullptr);
    metrics.ascent = toPixels(pango_font_metrics_get_ascent(pangoMetrics));
    metrics.descent = toPixels(pango_font_metrics_get_descent(pangoMetrics));
    metrics.externalLeading = std::max(0, toPixels(pango_font_metrics_get_height(pangoMetrics)) - metrics.height());
    metrics.averageCharWidth = toPixels(pango_font_metrics_get_approximate_char_width(pangoMetrics));
    pango_font_metrics_unref(pangoMetrics);

    cairo_scaled_font_t* scaled = pango_cairo_font_get_scaled_font(reinterpret_cast<PangoCairoFont*>(font));
    if (scaled != nullptr) {
      cairo_font_extents_t extents;
      cairo_scaled_font_extents(scaled, &extents);
      metrics.maxCharWidth = static_cast<int>(std::lround(extents.max_x_advance));
    }
    PangoFontFace* face = pango_font_get_face(font);
    PangoFontFamily* family = face != nullptr ? pango_font_face_get_family(face) : nullptr;
    metrics.monospace = family != nullptr && pango_font_family_is_monospace(family);
    g_object_unref(font);
  }
  g_object_unref(context);
  return metrics;
}

MappedText::MappedText(std::u16string_view text, bool hotkeys, bool password) {
  const std::size_t n = text.size();
  units_.resize(n);
  byteOf_.resize(n + 1);
  charOf_.resize(n + 1);
  std::size_t first = 0;
  const char32_t shownForAll = password && n > 0 ? decodeAt(text, 0, first) : 0;

  std::vector<std::size_t> waiting;  // hidden units that take the position of the next character
  bool underlineNext = false;
  for (std::size_t i = 0; i < n;) {
    if (hotkeys && text[i] == u'&') {
      units_[i] = Unit::hidden;
      waiting.push_back(i++);
      // "&&" shows the second one plainly; a lone "&" underlines what follows.
      if (i == n || text[i] != u'&') {
        underlineNext = true;
        continue;
      }
    }
    std::size_t width = 0;
    const char32_t c = decodeAt(text, i, width);
    const int byte = static_cast<int>(utf8_.size());
    const int index = chars();
    for (std::size_t w : waiting) {
      byteOf_[w] = byte;
      charOf_[w] = index;
    }
    waiting.clear();
    for (std::size_t k = 0; k < width; ++k) {
      units_[i + k] = k == 0 ? Unit::start : Unit::continuation;
      byteOf_[i + k] = byte;
      charOf_[i + k] = index;
    }
    const char32_t shown = password ? shownForAll : c;
    appendUtf8(utf8_, shown);
    codePoints_.push_back(shown);
    charByte_.push_back(byte);
    unitAtByte_.resize(utf8_.size(), static_cast<int>(i));
    if (underlineNext) underlined_.emplace_back(byte, static_cast<int>(utf8_.size()));
    underlineNext = false;
    i += width;
  }
  const int end = static_cast<int>(utf8_.size());
  for (std::size_t w : waiting) {
    byteOf_[w] = end;
    charOf_[w] = chars();
  }
  byteOf_[n] = end;
  charOf_[n] = chars();
  charByte_.push_back(end);
  unitAtByte_.push_back(static_cast<int>(n));
}

LaidOutText::LaidOutText(HDC dc, std::u16string_view text, const TextOptions& options)
    : text_(text, options.hotkeys, options.password), metrics_(fontMetrics(dc)) {
  // A context of its own: the paragraph direction belongs to the context.
  context_ = pango_cairo_create_context(dc->cairo);
  pango_context_set_base_dir(context_, options.rightToLeft ? PANGO_DIRECTION_RTL : PANGO_DIRECTION_LTR);
  layout_ = pango_layout_new(context_);
  pango_layout_set_auto_dir(layout_, FALSE);
  pango_layout_set_single_paragraph_mode(layout_, TRUE);
  pango_layout_set_font_description(layout_, dc->font);
  pango_layout_set_text(layout_, text_.utf8().data(), static_cast<int>(text_.utf8().size()));

  PangoAttrList* attributes = pango_attr_list_new();
  for (const auto& [start, end] : text_.underlined()) {
    PangoAttribute* underline = pango_attr_underline_new(PANGO_UNDERLINE_SINGLE);
    underline->start_index = static_cast<guint>(start);
    underline->end_index = static_cast<guint>(end);
    pango_attr_list_insert(attributes, underline);
  }
  // Where fallback is not allowed, characters missing from the font show as missing.
  if (!options.fallback || !options.eastAsianFallback) {
    for (int k = 0; k < text_.chars();) {
      const auto allowed = [&](int at) {
        return isEastAsian(text_.codePoint(at)) ? options.eastAsianFallback : options.fallback;
      };
      if (allowed(k)) {
        ++k;
        continue;
      }
      const int start = k;
      while (k < text_.chars() && !allowed(k)) ++k;
      PangoAttribute* noFallback = pango_attr_fallback_new(FALSE);
      noFallback->start_index = static_cast<guint>(text_.charByte(start));
      noFallback->end_index = static_cast<guint>(text_.charByte(k));
      pango_attr_list_insert(attributes, noFallback);
    }
  }
  pango_layout_set_attributes(layout_, attributes);
  pango_attr_list_unref(attributes);
}

LaidOutText::~LaidOutText() {
  g_object_unref(layout_);
  g_object_unref(context_);
}

int LaidOutText::width() const {
  PangoRectangle logical;
  pango_layout_get_extents(layout_, nullptr, &logical);
  return toPixels(logical.width);
}

int LaidOutText::edge(int i, bool trailing) const {
  PangoRectangle position;
  pango_layout_index_to_pos(layout_, text_.byteOf(i), &position);
  const bool hasWidth = i < text_.length() && text_.unit(i) != MappedText::Unit::hidden;
  return toPixels(trailing && hasWidth ? position.x + position.width : position.x);
}

std::vector<int> LaidOutText::advances() const {
  // Each character's share of its cluster's advance, in logical order.
  std::vector<int> charWidths(static_cast<std::size_t>(text_.chars()), 0);
  const char* utf8 = pango_layout_get_text(layout_);
  PangoLayoutIter* iter = pango_layout_get_iter(layout_);
  do {
    PangoLayoutRun* run = pango_layout_iter_get_run_readonly(iter);
    if (run == nullptr) continue;
    const int first = text_.charOf(text_.unitAtByte(run->item->offset));
    pango_glyph_item_get_logical_widths(run, utf8, charWidths.data() + first);
  } while (pango_layout_iter_next_run(iter));
  pango_layout_iter_free(iter);

  std::vector<int> result(static_cast<std::size_t>(text_.length()));
  int sum = 0;
  for (int i = 0; i < text_.length(); ++i) {
    if (text_.unit(i) == MappedText::Unit::start) sum += charWidths[static_cast<std::size_t>(text_.charOf(i))];
    result[static_cast<std::size_t>(i)] = toPixels(sum);
  }
  return result;
}

std::vector<std::pair<double, double>> LaidOutText::ranges(int from, int to) const {
  std::vector<std::pair<double, double>> result;
  from = std::clamp(from, 0, text_.length());
  to = std::clamp(to, 0, text_.length());
  if (from >= to) return result;
  int* pangoRanges = nullptr;
  int count = 0;
  pango_layout_line_get_x_ranges(pango_layout_get_line_readonly(layout_, 0), text_.byteOf(from), text_.byteOf(to),
                                 &pangoRanges, &count);
  for (int k = 0; k < count; ++k) {
    result.emplace_back(static_cast<double>(pangoRanges[2 * k]) / PANGO_SCALE,
                        static_cast<double>(pangoRanges[2 * k + 1]) / PANGO_SCALE);
  }
  g_free(pangoRanges);
  return result;
}

void LaidOutText::draw(cairo_t* cairo, double x, double y) const {
  // Fallback fonts may raise the line's own baseline; the font's ascent places it.
  const double baseline = static_cast<double>(pango_layout_get_baseline(layout_)) / PANGO_SCALE;
  cairo_move_to(cairo, x, y + metrics_.ascent - baseline);
  pango_cairo_show_layout(cairo, layout_);
}

}  // namespace sys
