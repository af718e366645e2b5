// The drawing services of the system, on Cairo image surfaces and Pango fonts: device contexts,
// fonts, colours, brushes, clipping regions, text measuring and drawing, and stepping through
// text by user-perceived character. Coordinates are pixels, y downwards; text is UTF-16.
#pragma once

#include <kwuni/win32.h>

namespace sys {

// Measuring. The extent of the first count characters (their advance and the font's height).
BOOL GetTextExtentPointW(HDC dc, LPCWSTR text, int count, SIZE* size);
// As GetTextExtentPointW, and the x offset after each character in dx (count entries); *fit, when
// given, receives how many characters fit in maxExtent.
BOOL GetTextExtentExPointW(HDC dc, LPCWSTR text, int count, int maxExtent, int* fit, int* dx, SIZE* size);
BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* metrics);

// Draws text in the rectangle as DrawTextW does for DT_SINGLELINE | DT_NOCLIP |
// DT_EXTERNALLEADING, with or without DT_NOPREFIX (without it, "&" underlines the next character
// and "&&" draws one "&"); DT_CALCRECT measures instead of drawing. Returns the text's height.
int DrawTextW(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format);

// Colours: the set functions return the previous colour.
COLORREF GetBkColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetTextColor(HDC dc);
COLORREF SetTextColor(HDC dc, COLORREF color);
DWORD GetSysColor(int index);

HBRUSH CreateSolidBrush(COLORREF color);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);

// Rectangular clipping regions. GetClipRgn copies the context's clipping region into region and
// returns 1, or returns 0 when the context has none; SelectClipRgn with a null region removes
// clipping.
HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);
int GetClipRgn(HDC dc, HRGN region);
int SelectClipRgn(HDC dc, HRGN region);
BOOL DeleteObject(HGDIOBJ object);

// The next and previous user-perceived character (grapheme cluster) boundary.
LPWSTR CharNextW(LPCWSTR text);
LPWSTR CharPrevW(LPCWSTR start, LPCWSTR text);

void OutputDebugStringW(LPCWSTR text);

}  // namespace sys
