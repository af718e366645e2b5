#include "platform/gdi.h"

#include "platform/device_context.h"

#include <unicode/ubrk.h>
#include <unicode/ustring.h>
#include <unicode/utext.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <utility>

namespace {

constexpr int maxImageSide = 32767;  // Cairo's limit
constexpr int maxPixelHeight = 65535;
constexpr const char* defaultFamily = "sans-serif";
constexpr int defaultPixelHeight = 16;

PangoFontDescription* fontDescription(const char* family, int pixelHeight) {
  PangoFontDescription* font = pango_font_description_new();
  pango_font_description_set_family(font, family);
  pango_font_description_set_absolute_size(font, static_cast<double>(pixelHeight) * PANGO_SCALE);
  return font;
}

}  // namespace

HDC KW_CreateImageDC(int width, int height) {
  if (width < 1 || height < 1 || width > maxImageSide || height > maxImageSide) return nullptr;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return nullptr;
  }
  auto* dc = new (std::nothrow) HDC__;
  if (dc == nullptr) {
    cairo_surface_destroy(surface);
    return nullptr;
  }
  dc->surface = surface;
  dc->cairo = cairo_create(surface);
  dc->font = fontDescription(defaultFamily, defaultPixelHeight);
  cairo_set_source_rgb(dc->cairo, 1, 1, 1);
  cairo_paint(dc->cairo);
  return dc;
}

BOOL KW_SelectImageFont(HDC dc, const char* family, int pixelHeight) {
  if (dc == nullptr || pixelHeight < 1 || pixelHeight > maxPixelHeight) return FALSE;
  pango_font_description_free(dc->font);
  dc->font = fontDescription(family != nullptr ? family : defaultFamily, pixelHeight);
  return TRUE;
}

BOOL KW_WriteImagePNG(HDC dc, const char* path) {
  if (dc == nullptr || path == nullptr) return FALSE;
  cairo_surface_flush(dc->surface);
  return cairo_surface_write_to_png(dc->surface, path) == CAIRO_STATUS_SUCCESS ? TRUE : FALSE;
}

void KW_DeleteImageDC(HDC dc) {
  if (dc == nullptr) return;
  pango_font_description_free(dc->font);
  cairo_destroy(dc->cairo);
  cairo_surface_destroy(dc->surface);
  delete dc;
}

namespace sys {
namespace {

// A brush handle may also be a system colour index plus one, as window classes use them.
constexpr std::uintptr_t systemColorBrushLimit = 32;

bool isSystemColorBrush(HGDIOBJ object) { return reinterpret_cast<std::uintptr_t>(object) < systemColorBrushLimit; }

HGDIOBJ newObject(HGDIOBJ__::Kind kind, COLORREF color, RECT rect) {
  return new (std::nothrow) HGDIOBJ__{kind, color, rect};
}

// The character (grapheme cluster) break iterator of this thread.
UBreakIterator* graphemes() {
  thread_local const std::unique_ptr<UBreakIterator, decltype(&ubrk_close)> iterator(
      [] {
        UErrorCode status = U_ZERO_ERROR;
        UBreakIterator* opened = ubrk_open(UBRK_CHARACTER, "", nullptr, 0, &status);
        return U_SUCCESS(status) ? opened : nullptr;
      }(),
      ubrk_close);
  return iterator.get();
}

// Sets the iterator on text (length -1: up to its NUL); false when it cannot.
bool setText(UBreakIterator* iterator, const UChar* text, int64_t length) {
  if (iterator == nullptr) return false;
  UErrorCode status = U_ZERO_ERROR;
  UText utext = UTEXT_INITIALIZER;
  utext_openUChars(&utext, text, length, &status);
  ubrk_setUText(iterator, &utext, &status);  // keeps a shallow copy
  utext_close(&utext);
  return U_SUCCESS(status);
}

}  // namespace

BOOL GetTextExtentPointW(HDC dc, LPCWSTR text, int count, SIZE* size) {
  return GetTextExtentExPointW(dc, text, count, 0, nullptr, nullptr, size);
}

BOOL GetTextExtentExPointW(HDC dc, LPCWSTR text, int count, int maxExtent, int* fit, int* dx, SIZE* size) {
  if (dc == nullptr || size == nullptr || count < 0 || (text == nullptr && count > 0)) return FALSE;
  const LaidOutText laid(dc, std::u16string_view(text, static_cast<std::size_t>(count)), {});
  size->cx = laid.width();
  size->cy = laid.metrics().height();
  if (fit == nullptr && dx == nullptr) return TRUE;
  const std::vector<int> advances = laid.advances();
  if (dx != nullptr) std::copy(advances.begin(), advances.end(), dx);
  if (fit != nullptr) {
    *fit = 0;
    while (*fit < count && advances[static_cast<std::size_t>(*fit)] <= maxExtent) ++*fit;
  }
  return TRUE;
}

BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* metrics) {
  if (dc == nullptr || metrics == nullptr) return FALSE;
  const FontMetrics font = fontMetrics(dc);
  *metrics = TEXTMETRICW{};
  metrics->tmHeight = font.height();
  metrics->tmAscent = font.ascent;
  metrics->tmDescent = font.descent;
  metrics->tmInternalLeading = std::max(0, font.height() - font.emHeight);
  metrics->tmExternalLeading = font.externalLeading;
  metrics->tmAveCharWidth = font.averageCharWidth;
  metrics->tmMaxCharWidth = font.maxCharWidth;
  metrics->tmWeight = font.weight;
  metrics->tmDigitizedAspectX = 96;
  metrics->tmDigitizedAspectY = 96;
  metrics->tmFirstChar = 0x0020;
  metrics->tmLastChar = 0xFFFC;
  metrics->tmDefaultChar = 0xFFFD;
  metrics->tmBreakChar = 0x0020;
  metrics->tmItalic = font.italic ? 1 : 0;
  // Scalable outlines (TMPF_VECTOR | TMPF_TRUETYPE); the low bit set means variable pitch.
  metrics->tmPitchAndFamily = static_cast<BYTE>(0x06 | (font.monospace ? 0 : 0x01));
  metrics->tmCharSet = static_cast<BYTE>(DEFAULT_CHARSET);
  return TRUE;
}

int DrawTextW(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format) {
  if (dc == nullptr || rect == nullptr || (text == nullptr && count != 0)) return 0;
  if (count < 0) count = u_strlen(text);
  TextOptions options;
  options.hotkeys = (format & DT_NOPREFIX) == 0;
  options.rightToLeft = (format & DT_RTLREADING) != 0;
  const LaidOutText laid(dc, std::u16string_view(text, static_cast<std::size_t>(count)), options);
  const int width = laid.width();
  const int height = laid.metrics().height() + ((format & DT_EXTERNALLEADING) != 0 ? laid.metrics().externalLeading : 0);
  if ((format & DT_CALCRECT) != 0) {
    rect->right = rect->left + width;
    rect->bottom = rect->top + height;
    return height;
  }

  int x = rect->left;
  if ((format & DT_CENTER) != 0) {
    x += (rect->right - rect->left - width) / 2;
  } else if ((format & DT_RIGHT) != 0) {
    x = rect->right - width;
  }
  int y = rect->top;
  if ((format & DT_SINGLELINE) != 0 && (format & DT_VCENTER) != 0) {
    y += (rect->bottom - rect->top - height) / 2;
  } else if ((format & DT_SINGLELINE) != 0 && (format & DT_BOTTOM) != 0) {
    y = rect->bottom - height;
  }

  const DrawingScope scope(dc);
  if ((format & DT_NOCLIP) == 0) {
    cairo_rectangle(dc->cairo, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
    cairo_clip(dc->cairo);
  }
  setSourceColor(dc->cairo, dc->textColor);
  laid.draw(dc->cairo, x, y);
  // Moved down, the text ends that far below the rectangle's top.
  return y - rect->top + height;
}

COLORREF GetBkColor(HDC dc) { return dc != nullptr ? dc->backgroundColor : CLR_INVALID; }

COLORREF SetBkColor(HDC dc, COLORREF color) {
  if (dc == nullptr) return CLR_INVALID;
  return std::exchange(dc->backgroundColor, color);
}

COLORREF GetTextColor(HDC dc) { return dc != nullptr ? dc->textColor : CLR_INVALID; }

COLORREF SetTextColor(HDC dc, COLORREF color) {
  if (dc == nullptr) return CLR_INVALID;
  return std::exchange(dc->textColor, color);
}

DWORD GetSysColor(int index) {
  switch (index) {
    case COLOR_WINDOW:
    case COLOR_HIGHLIGHTTEXT:
      return RGB(255, 255, 255);
    case COLOR_WINDOWTEXT:
      return RGB(0, 0, 0);
    case COLOR_HIGHLIGHT:
      return RGB(0, 120, 215);
    case COLOR_GRAYTEXT:
      return RGB(109, 109, 109);
    default:
      return 0;
  }
}

HBRUSH CreateSolidBrush(COLORREF color) { return newObject(HGDIOBJ__::Kind::brush, color, {}); }

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  if (dc == nullptr || rect == nullptr || brush == nullptr) return 0;
  COLORREF color = 0;
  if (isSystemColorBrush(brush)) {
    color = GetSysColor(static_cast<int>(reinterpret_cast<std::uintptr_t>(brush)) - 1);
  } else if (brush->kind == HGDIOBJ__::Kind::brush) {
    color = brush->color;
  } else {
    return 0;
  }
  if (rect->right <= rect->left || rect->bottom <= rect->top) return 1;
  const DrawingScope scope(dc);
  setSourceColor(dc->cairo, color);
  cairo_rectangle(dc->cairo, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
  cairo_fill(dc->cairo);
  return 1;
}

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  return newObject(HGDIOBJ__::Kind::region, 0,
                   RECT{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)});
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
  return rect != nullptr ? CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom) : nullptr;
}

int GetClipRgn(HDC dc, HRGN region) {
  if (dc == nullptr || region == nullptr || isSystemColorBrush(region) || region->kind != HGDIOBJ__::Kind::region) {
    return -1;
  }
  if (!dc->clip) return 0;
  region->rect = *dc->clip;
  return 1;
}

int SelectClipRgn(HDC dc, HRGN region) {
  if (dc == nullptr) return RGN_ERROR;
  if (region == nullptr) {
    dc->clip.reset();
    return SIMPLEREGION;
  }
  if (isSystemColorBrush(region) || region->kind != HGDIOBJ__::Kind::region) return RGN_ERROR;
  dc->clip = region->rect;
  const RECT& r = region->rect;
  return r.right > r.left && r.bottom > r.top ? SIMPLEREGION : NULLREGION;
}

BOOL DeleteObject(HGDIOBJ object) {
  if (object == nullptr || isSystemColorBrush(object)) return FALSE;
  delete object;
  return TRUE;
}

LPWSTR CharNextW(LPCWSTR text) {
  if (text == nullptr || *text == 0) return const_cast<LPWSTR>(text);
  UBreakIterator* iterator = graphemes();
  if (!setText(iterator, text, -1)) return const_cast<LPWSTR>(text + 1);
  const int32_t next = ubrk_following(iterator, 0);
  return const_cast<LPWSTR>(text + (next == UBRK_DONE ? 1 : next));
}

LPWSTR CharPrevW(LPCWSTR start, LPCWSTR text) {
  if (start == nullptr || text == nullptr || text <= start) return const_cast<LPWSTR>(start);
  UBreakIterator* iterator = graphemes();
  const int64_t length = text - start;
  if (!setText(iterator, start, length)) return const_cast<LPWSTR>(text - 1);
  const int32_t previous = ubrk_preceding(iterator, static_cast<int32_t>(length));
  return const_cast<LPWSTR>(start + (previous == UBRK_DONE ? 0 : previous));
}

void OutputDebugStringW(LPCWSTR text) {
  if (text == nullptr) return;
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = 0;
  u_strToUTF8WithSub(nullptr, 0, &length, text, -1, 0xFFFD, nullptr, &status);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  status = U_ZERO_ERROR;
  u_strToUTF8WithSub(utf8.data(), length, nullptr, text, -1, 0xFFFD, nullptr, &status);
  if (U_FAILURE(status)) return;
  std::fwrite(utf8.data(), 1, utf8.size(), stderr);
  std::fflush(stderr);
}

}  // namespace sys
