#include "platform/uniscribe.h"

#include "platform/device_context.h"
#include "platform/gdi.h"

#include <unicode/ubidi.h>
#include <unicode/ubrk.h>
#include <unicode/uscript.h>

#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace sys {
namespace {

struct Analysis {
  HDC dc;
  LaidOutText text;
  bool rightToLeft;
  bool glyphs;
  SIZE size{};
  std::vector<SCRIPT_LOGATTR> logAttrs;  // one a unit, with SSA_BREAK only
};

Analysis* analysisOf(SCRIPT_STRING_ANALYSIS handle) { return static_cast<Analysis*>(handle); }

// The characters shown that start a word by the Unicode word rules (so "12.5" is one word,
// which Pango's own word starts split at the full stop).
std::vector<bool> wordStarts(const MappedText& text) {
  std::u16string shown;
  std::vector<int> charAt;  // the shown character at each UTF-16 unit of shown
  for (int k = 0; k < text.chars(); ++k) {
    const char32_t c = text.codePoint(k);
    if (c >= 0x10000) {
      shown.push_back(static_cast<char16_t>(0xD7C0 + (c >> 10)));
      shown.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
      charAt.insert(charAt.end(), {k, k});
    } else {
      shown.push_back(static_cast<char16_t>(c));
      charAt.push_back(k);
    }
  }
  std::vector<bool> starts(static_cast<std::size_t>(text.chars()), false);
  UErrorCode status = U_ZERO_ERROR;
  const std::unique_ptr<UBreakIterator, decltype(&ubrk_close)> words(
      ubrk_open(UBRK_WORD, "", shown.data(), static_cast<int32_t>(shown.size()), &status), ubrk_close);
  if (U_FAILURE(status)) return starts;
  for (int32_t at = ubrk_first(words.get()); at != UBRK_DONE && at < static_cast<int32_t>(shown.size());) {
    const int32_t next = ubrk_next(words.get());
    if (ubrk_getRuleStatus(words.get()) != UBRK_WORD_NONE) starts[static_cast<std::size_t>(charAt[static_cast<std::size_t>(at)])] = true;
    at = next;
  }
  return starts;
}

// Line ends and separators are mandatory breaks, not the breakable white space a line may end with.
bool endsLine(char32_t c) { return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029; }

// Pango's attributes, one a character shown, as one SCRIPT_LOGATTR a unit of the caller's text;
// word starts by the Unicode word rules. The second unit of a surrogate pair is no stop of any
// kind.
void toLogAttrs(const MappedText& text, const PangoLogAttr* attrs, SCRIPT_LOGATTR* out) {
  const std::vector<bool> starts = wordStarts(text);
  for (int i = 0; i < text.length(); ++i) {
    SCRIPT_LOGATTR& to = out[i];
    to = SCRIPT_LOGATTR{};
    if (text.unit(i) == MappedText::Unit::continuation) continue;
    const int k = text.charOf(i);
    const PangoLogAttr& from = attrs[k];
    to.fSoftBreak = i > 0 && from.is_line_break ? 1 : 0;
    to.fWhiteSpace = from.is_white && k < text.chars() && !endsLine(text.codePoint(k)) ? 1 : 0;
    to.fCharStop = from.is_cursor_position ? 1 : 0;
    to.fWordStop = k < text.chars() && starts[static_cast<std::size_t>(k)] ? 1 : 0;
  }
}

// Draws the selection's glyphs again over a background, clipped to the selection.
void drawSelection(const Analysis& a, double x, double y, int from, int to, bool disabled) {
  const auto ranges = a.text.ranges(from, to);
  if (ranges.empty()) return;
  cairo_t* cairo = a.dc->cairo;
  cairo_save(cairo);
  for (const auto& [left, right] : ranges) cairo_rectangle(cairo, x + left, y, right - left, a.size.cy);
  cairo_clip(cairo);
  if (!disabled) {
    setSourceColor(cairo, GetSysColor(COLOR_HIGHLIGHT));
    cairo_paint(cairo);
  }
  setSourceColor(cairo, GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_HIGHLIGHTTEXT));
  a.text.draw(cairo, x, y);
  cairo_restore(cairo);
}

// The script of each run: characters of the common and inherited scripts join the run they are in.
std::vector<UScriptCode> scriptRuns(LPCWSTR text, int length) {
  std::vector<UScriptCode> scripts(static_cast<std::size_t>(length), USCRIPT_COMMON);
  UScriptCode current = USCRIPT_COMMON;
  std::size_t runStart = 0;
  for (int i = 0; i < length;) {
    const int at = i++;
    UChar32 c = text[at];
    if (c >= 0xD800 && c <= 0xDBFF && i < length && text[i] >= 0xDC00 && text[i] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i++] - 0xDC00);
    }
    UErrorCode status = U_ZERO_ERROR;
    const UScriptCode script = uscript_getScript(c, &status);
    const bool neutral = script == USCRIPT_COMMON || script == USCRIPT_INHERITED;
    if (!neutral && script != current) {
      if (current == USCRIPT_COMMON) {
        std::fill(scripts.begin() + static_cast<std::ptrdiff_t>(runStart), scripts.begin() + at, script);
      } else {
        runStart = static_cast<std::size_t>(at);
      }
      current = script;
    }
    std::fill(scripts.begin() + at, scripts.begin() + i, current);
  }
  return scripts;
}

}  // namespace

HRESULT ScriptStringAnalyse(HDC dc, const void* text, int count, int /*glyphs*/, int /*charset*/, DWORD flags,
                            int /*requiredWidth*/, const SCRIPT_CONTROL* /*control*/, const SCRIPT_STATE* state,
                            const int* /*widths*/, const SCRIPT_TABDEF* /*tabs*/, const BYTE* /*classes*/,
                            SCRIPT_STRING_ANALYSIS* analysis) {
  if (analysis != nullptr) *analysis = nullptr;
  if (dc == nullptr || text == nullptr || count < 1 || analysis == nullptr) return E_INVALIDARG;
  TextOptions options;
  options.hotkeys = (flags & SSA_HOTKEY) != 0;
  options.password = (flags & SSA_PASSWORD) != 0;
  options.rightToLeft = (flags & SSA_RTL) != 0 || (state != nullptr && (state->uBidiLevel & 1) != 0);
  options.fallback = (flags & SSA_FALLBACK) != 0;
  options.eastAsianFallback = (flags & (SSA_FALLBACK | SSA_LINK)) != 0;
  const std::u16string_view wide(static_cast<LPCWSTR>(text), static_cast<std::size_t>(count));

  std::unique_ptr<Analysis> result(new (std::nothrow) Analysis{dc, {dc, wide, options}, options.rightToLeft,
                                                               (flags & SSA_GLYPHS) != 0, SIZE{}, {}});
  if (!result) return E_OUTOFMEMORY;
  result->size = SIZE{result->text.width(), result->text.metrics().height()};
  if ((flags & SSA_BREAK) != 0) {
    int attrCount = 0;
    const PangoLogAttr* attrs = pango_layout_get_log_attrs_readonly(result->text.layout(), &attrCount);
    result->logAttrs.resize(static_cast<std::size_t>(count));
    toLogAttrs(result->text.text(), attrs, result->logAttrs.data());
  }
  *analysis = result.release();
  return S_OK;
}

HRESULT ScriptStringOut(SCRIPT_STRING_ANALYSIS analysis, int x, int y, UINT options, const RECT* rect, int minSel,
                        int maxSel, BOOL disabled) {
  const Analysis* a = analysisOf(analysis);
  if (a == nullptr || !a->glyphs) return E_INVALIDARG;
  HDC dc = a->dc;
  const DrawingScope scope(dc);
  if (rect != nullptr && (options & ETO_OPAQUE) != 0) {
    setSourceColor(dc->cairo, dc->backgroundColor);
    cairo_rectangle(dc->cairo, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
    cairo_fill(dc->cairo);
  }
  if (rect != nullptr && (options & ETO_CLIPPED) != 0) {
    cairo_rectangle(dc->cairo, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
    cairo_clip(dc->cairo);
  }
  setSourceColor(dc->cairo, dc->textColor);
  a->text.draw(dc->cairo, x, y);
  drawSelection(*a, x, y, minSel, maxSel, disabled != FALSE);
  return S_OK;
}

HRESULT ScriptStringCPtoX(SCRIPT_STRING_ANALYSIS analysis, int cp, BOOL trailing, int* x) {
  const Analysis* a = analysisOf(analysis);
  if (a == nullptr || x == nullptr || cp < 0 || cp > a->text.text().length()) return E_INVALIDARG;
  *x = a->text.edge(cp, trailing != FALSE);
  return S_OK;
}

HRESULT ScriptStringXtoCP(SCRIPT_STRING_ANALYSIS analysis, int x, int* cp, int* trailing) {
  const Analysis* a = analysisOf(analysis);
  if (a == nullptr || cp == nullptr || trailing == nullptr) return E_INVALIDARG;
  const MappedText& text = a->text.text();
  // Beyond either side: before the first character or after the last, in the paragraph's order.
  const bool beforeLeft = x < 0;
  if (beforeLeft || x >= a->size.cx) {
    const bool beforeStart = beforeLeft != a->rightToLeft;
    *cp = beforeStart ? -1 : text.length();
    *trailing = beforeStart ? 1 : 0;
    return S_OK;
  }
  // The middle of pixel x; Pango answers the grapheme there and, on its trailing half, how many
  // characters it has.
  int index = 0;
  int graphemeChars = 0;
  pango_layout_xy_to_index(a->text.layout(), x * PANGO_SCALE + PANGO_SCALE / 2, 0, &index, &graphemeChars);
  *cp = text.unitAtByte(index);
  *trailing = graphemeChars == 0
                  ? 0
                  : text.unitAtByte(text.charByte(text.charOf(*cp) + graphemeChars)) - *cp;
  return S_OK;
}

HRESULT ScriptStringFree(SCRIPT_STRING_ANALYSIS* analysis) {
  if (analysis == nullptr || *analysis == nullptr) return E_INVALIDARG;
  delete analysisOf(*analysis);
  *analysis = nullptr;
  return S_OK;
}

const SCRIPT_LOGATTR* ScriptString_pLogAttr(SCRIPT_STRING_ANALYSIS analysis) {
  const Analysis* a = analysisOf(analysis);
  return a == nullptr || a->logAttrs.empty() ? nullptr : a->logAttrs.data();
}

const SIZE* ScriptString_pSize(SCRIPT_STRING_ANALYSIS analysis) {
  const Analysis* a = analysisOf(analysis);
  return a == nullptr ? nullptr : &a->size;
}

HRESULT ScriptItemize(LPCWSTR text, int length, int maxItems, const SCRIPT_CONTROL* /*control*/,
                      const SCRIPT_STATE* state, SCRIPT_ITEM* items, int* count) {
  if (text == nullptr || length < 1 || maxItems < 2 || items == nullptr || count == nullptr) return E_INVALIDARG;
  UErrorCode status = U_ZERO_ERROR;
  const std::unique_ptr<UBiDi, decltype(&ubidi_close)> bidi(ubidi_openSized(length, 0, &status), ubidi_close);
  const auto paragraphLevel = static_cast<UBiDiLevel>(state != nullptr ? state->uBidiLevel : 0);
  ubidi_setPara(bidi.get(), text, length, paragraphLevel, nullptr, &status);
  if (U_FAILURE(status)) return status == U_MEMORY_ALLOCATION_ERROR ? E_OUTOFMEMORY : E_FAIL;
  const std::vector<UScriptCode> scripts = scriptRuns(text, length);

  int n = 0;
  for (int at = 0; at < length;) {
    int32_t levelEnd = 0;
    UBiDiLevel level = 0;
    ubidi_getLogicalRun(bidi.get(), at, &levelEnd, &level);
    while (at < levelEnd) {
      int end = at + 1;
      while (end < levelEnd && scripts[static_cast<std::size_t>(end)] == scripts[static_cast<std::size_t>(at)]) ++end;
      if (n + 1 >= maxItems) return E_OUTOFMEMORY;
      SCRIPT_ITEM& item = items[n++];
      item = SCRIPT_ITEM{};
      item.iCharPos = at;
      item.a.eScript = static_cast<WORD>(scripts[static_cast<std::size_t>(at)]) & 0x3FF;
      item.a.fRTL = level & 1;
      item.a.fLayoutRTL = level & 1;
      item.a.s.uBidiLevel = level & 0x1F;
      at = end;
    }
  }
  items[n] = SCRIPT_ITEM{};
  items[n].iCharPos = length;
  *count = n;
  return S_OK;
}

HRESULT ScriptBreak(LPCWSTR text, int length, const SCRIPT_ANALYSIS* analysis, SCRIPT_LOGATTR* attributes) {
  if (text == nullptr || length < 1 || analysis == nullptr || attributes == nullptr) return E_INVALIDARG;
  const MappedText mapped(std::u16string_view(text, static_cast<std::size_t>(length)), false, false);
  std::vector<PangoLogAttr> attrs(static_cast<std::size_t>(mapped.chars()) + 1);
  pango_get_log_attrs(mapped.utf8().data(), static_cast<int>(mapped.utf8().size()), analysis->s.uBidiLevel,
                      pango_language_get_default(), attrs.data(), static_cast<int>(attrs.size()));
  toLogAttrs(mapped, attrs.data(), attributes);
  return S_OK;
}

}  // namespace sys
