// The script-string services of the system, on Pango (shaping by HarfBuzz): analysis of a line
// of text in a device context's font with font fallback, bidirectional reordering and complex
// shaping; its measuring, hit-testing and drawing; itemisation into runs of one script and
// direction; and break analysis (Pango's logical attributes as SCRIPT_LOGATTR).
#pragma once

#include <kwuni/win32.h>

namespace sys {

// Analyses count characters (wide text) in the context's current font. Honoured flags:
// SSA_PASSWORD (every character drawn as the first), SSA_HOTKEY (an "&" is hidden and underlines
// the next character; "&&" is one "&"), SSA_BREAK (logical attributes are made only with it),
// SSA_FALLBACK, SSA_GLYPHS, SSA_LINK; others are accepted and ignored. S_OK, or E_INVALIDARG for
// a null context or text, a count below 1 or a null result.
HRESULT ScriptStringAnalyse(HDC dc, const void* text, int count, int glyphs, int charset, DWORD flags,
                            int requiredWidth, const SCRIPT_CONTROL* control, const SCRIPT_STATE* state,
                            const int* widths, const SCRIPT_TABDEF* tabs, const BYTE* classes,
                            SCRIPT_STRING_ANALYSIS* analysis);
// Draws the analysed text at (x, y), the selection [minSel, maxSel) highlighted in the system's
// highlight colours (grey text when disabled); ETO_OPAQUE fills rect with the background colour,
// ETO_CLIPPED clips to it.
HRESULT ScriptStringOut(SCRIPT_STRING_ANALYSIS analysis, int x, int y, UINT options, const RECT* rect, int minSel,
                        int maxSel, BOOL disabled);
// The x of the leading or trailing edge of a character (visual, so right-to-left runs count
// from their right).
HRESULT ScriptStringCPtoX(SCRIPT_STRING_ANALYSIS analysis, int cp, BOOL trailing, int* x);
HRESULT ScriptStringXtoCP(SCRIPT_STRING_ANALYSIS analysis, int x, int* cp, int* trailing);
HRESULT ScriptStringFree(SCRIPT_STRING_ANALYSIS* analysis);
// One SCRIPT_LOGATTR a character, or null when the analysis was made without SSA_BREAK.
const SCRIPT_LOGATTR* ScriptString_pLogAttr(SCRIPT_STRING_ANALYSIS analysis);
const SIZE* ScriptString_pSize(SCRIPT_STRING_ANALYSIS analysis);

// Runs of one script and direction: items[0..*count) and, after them, an item whose iCharPos is
// the text's length. E_OUTOFMEMORY when maxItems is too small.
HRESULT ScriptItemize(LPCWSTR text, int length, int maxItems, const SCRIPT_CONTROL* control,
                      const SCRIPT_STATE* state, SCRIPT_ITEM* items, int* count);
// One SCRIPT_LOGATTR per character of one run.
HRESULT ScriptBreak(LPCWSTR text, int length, const SCRIPT_ANALYSIS* analysis, SCRIPT_LOGATTR* attributes);

}  // namespace sys
