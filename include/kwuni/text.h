// Unicode text output and layout: script strings, a line of text analysed in a device context's
// font once, then measured, hit-tested and drawn. The functions take and give what the system's
// script-string functions do (ScriptStringAnalyse and its companions), and every analysis lives
// in a record of the library's own, which the handle names.
//
// On the NT family (and any platform but the 9x family) each function passes through to the
// system's function of the same name. On the 9x family the library measures the text one
// character at a time (each character's advance is the width of the text up to and including
// it), draws it with DrawTextW, paints selections and clipping itself, and takes the logical
// attributes from the system's analysis or, after UseScriptStringAnalyseUnderWin9x(false), from
// its own itemisation and break analysis. KW_SetScriptPlatformForTesting (win32.h) chooses the
// family for tests.
#pragma once

#include <kwuni/export.h>
#include <kwuni/win32.h>

// Reads the platform family once; the library's load runs it.
KWUNI_API void InitComplex();

// On the 9x family: whether the system's analysis supplies the logical attributes (true, the
// initial value) or the library's own break analysis does. Change it only while no analysis of
// that family exists.
KWUNI_API void UseScriptStringAnalyseUnderWin9x(bool usePlatformAnalysis);

// Analyses count characters of text (wide characters; a null text or a count below 1 analyses
// one NUL character). On success *analysis receives the handle; on failure it is untouched and
// the system's error is returned.
KWUNI_API HRESULT KW_ScriptStringAnalyse(HDC dc, const void* text, int count, int glyphs, int charset, DWORD flags,
                                         int requiredWidth, SCRIPT_CONTROL* control, SCRIPT_STATE* state,
                                         const int* widths, SCRIPT_TABDEF* tabs, const BYTE* classes,
                                         void** analysis);

// The x of a character's leading or trailing edge. Positions are clamped to 0..count on the 9x
// family. E_FAIL for a null handle.
KWUNI_API HRESULT KW_ScriptStringCPtoX(void* analysis, int cp, int trailing, int* x);

// The character at x: on the 9x family the first whose advance passes x (-1 left of the text,
// count right of it), and *trailing is 0.
KWUNI_API HRESULT KW_ScriptStringXtoCP(void* analysis, int x, int* cp, int* trailing);

// Draws the text at (x, y) with the selection [selectionStart, selectionEnd) highlighted;
// ETO_OPAQUE fills rect with the background colour first, ETO_CLIPPED clips to it.
KWUNI_API HRESULT KW_ScriptStringOut(void* analysis, int x, int y, UINT options, const RECT* rect, int selectionStart,
                                     int selectionEnd, int disabled);

// Releases the analysis and sets the handle to null; E_FAIL for a null handle.
KWUNI_API HRESULT KW_ScriptStringFree(void** analysis);

// One SCRIPT_LOGATTR a character, or null.
KWUNI_API const SCRIPT_LOGATTR* KW_ScriptString_pLogAttr(void* analysis);

// The size of the whole text.
KWUNI_API const SIZE* KW_ScriptString_pSize(void* analysis);

// ---- Text output and measurement ---------------------------------------------------------------
// Complex-script counterparts of DrawTextW, TextOutW and GetTextExtentPointW, built on the
// script-string functions above. Selections are two positions in either order.

// Lays out text (NUL-terminated; count -1 or its full length) in rect, wrapped at word breaks
// unless DT_SINGLELINE, aligned by DT_CENTER / DT_RIGHT / DT_VCENTER / DT_BOTTOM, and draws it
// with the selection highlighted; DT_NOPREFIX turns "&" hot keys off; DT_CALCRECT only sets rect
// to the block the text takes. Returns the text's height (DT_VCENTER, DT_BOTTOM: its offset in
// rect), 0 when nothing was laid out.
KWUNI_API int KW_DrawText(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format, int selectionAnchor,
                          int selectionEnd);

// Draws one line at (x, y) with the selection highlighted. 1 when drawn, 0 for no text.
KWUNI_API int KW_TextOut(HDC dc, int x, int y, LPCWSTR text, int count, int selectionAnchor, int selectionEnd);

// The size of count characters, analysed with extraFlags (SSA_HOTKEY, say) added. 1 on success,
// and size (0, 0) for no text; 0 on failure.
KWUNI_API int KW_GetTextExtentPoint(HDC dc, LPCWSTR text, int count, SIZE* size, DWORD extraFlags);

// ---- Break procedures -----------------------------------------------------------------------------
// Character, word and line boundaries in wide text, from a script-string analysis's logical
// attributes when the handle gives them, else from the system's character navigation and types.
// A length of -1 reads up to the NUL; a length of 0 gives the position back.

// Actions of the character and word procedures.
constexpr int KW_BREAK_LEFT = 0;
constexpr int KW_BREAK_RIGHT = 1;
constexpr int KW_BREAK_AT = 2;  // character: the boundary at or before; word: is it a delimiter

KWUNI_API int CALLBACK KW_CharBreakProc(void*& analysis, LPCWSTR text, int position, int length, int action);
KWUNI_API int CALLBACK KW_WordBreakProc(void*& analysis, LPCWSTR text, int position, int length, int action);

// Where the next line starts when the line from lineStart must fit width: after as many whole
// words as fit (spaces at their end overhang), or at a line end. When not one word fits, the
// edit variant fits whole characters (at least one); the layout variant takes what the
// system's measuring says fits.
KWUNI_API int CALLBACK KW_LineBreakProc(void*& analysis, LPCWSTR text, int lineStart, int length, HDC dc, int width,
                                        DWORD flags);
KWUNI_API int CALLBACK KW_EditLineBreakProc(void*& analysis, LPCWSTR text, int lineStart, int length, HDC dc,
                                            int width, DWORD flags);
