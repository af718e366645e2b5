// Script strings: pass-through to the system's script-string services, or, on the 9x family,
// the library's own measuring, hit-testing and drawing, character by character.

#include <kwuni/text.h>

#include "platform/gdi.h"
#include "platform/uniscribe.h"
#include "platform/version.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>
#include <vector>

namespace kwuni::text {
namespace {

std::atomic<DWORD> platformKind{0};  // 0 until InitComplex: pass-through
std::atomic<bool> usePlatformAnalysis{true};
std::optional<DWORD> platformForTesting;

bool ownMeasuring() { return platformKind.load(std::memory_order_relaxed) == VER_PLATFORM_WIN32_WINDOWS; }

struct ScriptStringRecord {
  SCRIPT_STRING_ANALYSIS platformAnalysis = nullptr;
  HDC dc = nullptr;
  std::vector<WCHAR> text;  // count + 1: the text as it is drawn
  int count = 0;
  DWORD flags = 0;
  std::vector<int> advances;  // count + 1: trailing edges, then the whole width
  SIZE size{};
  std::vector<SCRIPT_LOGATTR> logicalAttributes;  // made by the library's own break analysis
  bool measuredHere = false;                      // made on the 9x family
};

ScriptStringRecord* recordOf(void* handle) { return static_cast<ScriptStringRecord*>(handle); }

SIZE extent(HDC dc, const WCHAR* text, int count, SIZE previous) {
  SIZE size{};
  return sys::GetTextExtentPointW(dc, text, count, &size) != FALSE ? size : previous;
}

// Measures one character at a time on the growing text. A password shows its first character
// throughout; with hot keys an "&" is not drawn (it underlines the next character) unless it
// follows one that was skipped, so "&&" draws one "&".
void measure(ScriptStringRecord& r, const WCHAR* text) {
  std::vector<WCHAR> shown(static_cast<std::size_t>(r.count) + 1, 0);
  int appended = 0;
  SIZE size{};
  bool skipped = false;
  for (int i = 0; i < r.count; ++i) {
    const auto at = static_cast<std::size_t>(i);
    WCHAR c = text[at];
    if ((r.flags & SSA_PASSWORD) != 0) {
      c = text[0];
    } else if ((r.flags & SSA_HOTKEY) != 0 && c == u'&' && !skipped) {
      skipped = true;
      r.advances[at] = i > 0 ? r.advances[at - 1] : 0;
      continue;
    }
    skipped = false;
    shown[static_cast<std::size_t>(appended++)] = c;
    size = extent(r.dc, shown.data(), appended, size);
    r.advances[at] = size.cx;
  }
  r.size = extent(r.dc, shown.data(), appended, SIZE{});
  r.advances[static_cast<std::size_t>(r.count)] = r.size.cx;
  if ((r.flags & SSA_PASSWORD) != 0) {
    std::fill(r.text.begin(), r.text.end() - 1, text[0]);
  } else {
    std::copy_n(text, r.count, r.text.begin());
  }
}

// The library's own logical attributes: each run of one script broken on its own.
HRESULT breakAnalysis(ScriptStringRecord& r, const WCHAR* text, SCRIPT_CONTROL* control, SCRIPT_STATE* state) {
  constexpr int maxItems = 260;
  r.logicalAttributes.assign(2 * static_cast<std::size_t>(r.count) + 2, SCRIPT_LOGATTR{});
  std::vector<SCRIPT_ITEM> items(static_cast<std::size_t>(std::max(r.count, maxItems)) + 1);
  int itemCount = 0;
  HRESULT result = sys::ScriptItemize(text, r.count, maxItems, control, state, items.data(), &itemCount);
  if (result < 0) return result;
  for (int k = 0; k < itemCount; ++k) {
    const SCRIPT_ITEM& item = items[static_cast<std::size_t>(k)];
    const int end = items[static_cast<std::size_t>(k) + 1].iCharPos;
    result = sys::ScriptBreak(text + item.iCharPos, end - item.iCharPos, &item.a,
                              r.logicalAttributes.data() + item.iCharPos);
    if (result < 0) return result;
  }
  return result;
}

// Draws count characters of the text from x, in the cell [top, bottom), and returns the right edge.
int drawRun(const ScriptStringRecord& r, int from, int count, int x, int top, int bottom, UINT format) {
  SIZE size{};
  sys::GetTextExtentPointW(r.dc, r.text.data() + from, count, &size);
  RECT box{x, top, x + size.cx, bottom};
  sys::DrawTextW(r.dc, r.text.data() + from, count, &box, format);
  return x + size.cx;
}

HRESULT outHere(const ScriptStringRecord& r, int x, int y, UINT options, const RECT* rect, int start, int end,
                bool disabled) {
  const UINT format = DT_SINGLELINE | DT_NOCLIP | DT_EXTERNALLEADING | ((r.flags & SSA_HOTKEY) != 0 ? 0 : DT_NOPREFIX);
  start = std::clamp(start, 0, r.count);
  end = std::clamp(end, 0, r.count);

  HRGN saved = nullptr;
  HRGN clip = nullptr;
  if ((options & ETO_CLIPPED) != 0 && rect != nullptr) {
    saved = sys::CreateRectRgn(0, 0, 0, 0);
    if (sys::GetClipRgn(r.dc, saved) != 1) {
      sys::DeleteObject(saved);
      saved = nullptr;
    }
    clip = sys::CreateRectRgnIndirect(rect);
    sys::SelectClipRgn(r.dc, clip);
  }
  if ((options & ETO_OPAQUE) != 0 && rect != nullptr) {
    const HBRUSH background = sys::CreateSolidBrush(sys::GetBkColor(r.dc));
    sys::FillRect(r.dc, rect, background);
    sys::DeleteObject(background);
  }

  SIZE whole{};
  sys::GetTextExtentPointW(r.dc, r.text.data(), r.count, &whole);
  const int top = y;
  const int bottom = y + whole.cy;
  if (start >= end) {
    drawRun(r, 0, r.count, x, top, bottom, format);
  } else {
    int left = start > 0 ? drawRun(r, 0, start, x, top, bottom, format) : x;
    const COLORREF text = disabled ? 0 : sys::SetTextColor(r.dc, sys::GetSysColor(COLOR_HIGHLIGHTTEXT));
    const COLORREF background = sys::SetBkColor(r.dc, sys::GetSysColor(COLOR_HIGHLIGHT));
    SIZE selected{};
    sys::GetTextExtentPointW(r.dc, r.text.data() + start, end - start, &selected);
    // Without a rectangle the highlight takes the text's own top and bottom.
    const RECT highlight{left, rect != nullptr ? rect->top : top, left + selected.cx,
                         rect != nullptr ? rect->bottom : bottom};
    const HBRUSH brush = sys::CreateSolidBrush(sys::GetBkColor(r.dc));
    sys::FillRect(r.dc, &highlight, brush);
    sys::DeleteObject(brush);
    left = drawRun(r, start, end - start, left, top, bottom, format);
    sys::SetBkColor(r.dc, background);
    if (!disabled) sys::SetTextColor(r.dc, text);
    if (end < r.count) drawRun(r, end, r.count - end, left, top, bottom, format);
  }

  if (clip != nullptr) {
    sys::SelectClipRgn(r.dc, saved);
    if (saved != nullptr) sys::DeleteObject(saved);
    sys::DeleteObject(clip);
  }
  return S_OK;
}

}  // namespace
}  // namespace kwuni::text

using namespace kwuni::text;

void InitComplex() {
  sys::OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  sys::GetVersionExW(&version);
  platformKind.store(platformForTesting.value_or(version.dwPlatformId), std::memory_order_relaxed);
}

void KW_SetScriptPlatformForTesting(DWORD platformId) {
  platformForTesting = platformId;
  InitComplex();
}

void UseScriptStringAnalyseUnderWin9x(bool use) { usePlatformAnalysis.store(use, std::memory_order_relaxed); }

HRESULT KW_ScriptStringAnalyse(HDC dc, const void* text, int count, int glyphs, int charset, DWORD flags,
                               int requiredWidth, SCRIPT_CONTROL* control, SCRIPT_STATE* state, const int* widths,
                               SCRIPT_TABDEF* tabs, const BYTE* classes, void** analysis) {
  if (analysis == nullptr) return E_INVALIDARG;
  const WCHAR* characters = static_cast<const WCHAR*>(text);
  if (characters == nullptr || count < 1) {
    characters = u"";
    count = 1;
  }
  auto record = std::make_unique<ScriptStringRecord>();
  const auto platformAnalyse = [&] {
    return sys::ScriptStringAnalyse(dc, characters, count, glyphs, charset, flags, requiredWidth, control, state,
                                    widths, tabs, classes, &record->platformAnalysis);
  };
  HRESULT result = S_OK;
  if (!ownMeasuring()) {
    result = platformAnalyse();
  } else {
    ScriptStringRecord& r = *record;
    r.measuredHere = true;
    r.dc = dc;
    r.count = count;
    r.flags = flags;
    r.text.assign(static_cast<std::size_t>(count) + 1, 0);
    r.advances.assign(static_cast<std::size_t>(count) + 1, 0);
    measure(r, characters);
    result = usePlatformAnalysis.load(std::memory_order_relaxed) ? platformAnalyse()
                                                                  : breakAnalysis(r, characters, control, state);
  }
  if (result < 0) {
    void* failed = record.release();
    KW_ScriptStringFree(&failed);
    return result;
  }
  *analysis = record.release();
  return result;
}

HRESULT KW_ScriptStringCPtoX(void* analysis, int cp, int trailing, int* x) {
  const ScriptStringRecord* r = recordOf(analysis);
  if (r == nullptr || x == nullptr) return E_FAIL;
  if (r->measuredHere) {
    cp = std::clamp(cp, 0, r->count);
    const int edge = trailing != 0 ? cp : cp - 1;
    *x = edge >= 0 ? r->advances[static_cast<std::size_t>(edge)] : 0;
    return S_OK;
  }
  if (r->platformAnalysis == nullptr) return E_FAIL;
  return sys::ScriptStringCPtoX(r->platformAnalysis, cp, trailing, x);
}

HRESULT KW_ScriptStringXtoCP(void* analysis, int x, int* cp, int* trailing) {
  const ScriptStringRecord* r = recordOf(analysis);
  if (r == nullptr || cp == nullptr || trailing == nullptr) return E_FAIL;
  if (r->measuredHere) {
    *trailing = 0;
    if (x < 0) {
      *cp = -1;
    } else {
      const auto first = std::find_if(r->advances.begin(), r->advances.end() - 1, [x](int a) { return a > x; });
      *cp = static_cast<int>(first - r->advances.begin());
    }
    return S_OK;
  }
  if (r->platformAnalysis == nullptr) return E_FAIL;
  return sys::ScriptStringXtoCP(r->platformAnalysis, x, cp, trailing);
}

HRESULT KW_ScriptStringOut(void* analysis, int x, int y, UINT options, const RECT* rect, int selectionStart,
                           int selectionEnd, int disabled) {
  const ScriptStringRecord* r = recordOf(analysis);
  if (r == nullptr) return E_FAIL;
  if (r->measuredHere) return outHere(*r, x, y, options, rect, selectionStart, selectionEnd, disabled != 0);
  if (r->platformAnalysis == nullptr) return E_FAIL;
  return sys::ScriptStringOut(r->platformAnalysis, x, y, options, rect, selectionStart, selectionEnd, disabled);
}

HRESULT KW_ScriptStringFree(void** analysis) {
  if (analysis == nullptr || *analysis == nullptr) return E_FAIL;
  ScriptStringRecord* r = recordOf(*analysis);
  HRESULT result = S_OK;
  if (r->platformAnalysis != nullptr) {
    result = sys::ScriptStringFree(&r->platformAnalysis);
    if (result < 0) return result;
  }
  delete r;
  *analysis = nullptr;
  return result;
}

const SCRIPT_LOGATTR* KW_ScriptString_pLogAttr(void* analysis) {
  const ScriptStringRecord* r = recordOf(analysis);
  if (r == nullptr) return nullptr;
  if (r->measuredHere && !usePlatformAnalysis.load(std::memory_order_relaxed)) {
    return r->logicalAttributes.empty() ? nullptr : r->logicalAttributes.data();
  }
  return r->platformAnalysis != nullptr ? sys::ScriptString_pLogAttr(r->platformAnalysis) : nullptr;
}

const SIZE* KW_ScriptString_pSize(void* analysis) {
  const ScriptStringRecord* r = recordOf(analysis);
  if (r == nullptr) return nullptr;
  if (r->measuredHere) return &r->size;
  return r->platformAnalysis != nullptr ? sys::ScriptString_pSize(r->platformAnalysis) : nullptr;
}
