// Text output and measurement through script strings, so that both platform families lay out,
// measure and draw text the same way.

#include <kwuni/text.h>

namespace kwuni::text {
namespace {

// Analyses count characters with the arguments every analysis of this unit shares.
HRESULT analyse(HDC dc, LPCWSTR text, int count, DWORD flags, void** analysis) {
  return KW_ScriptStringAnalyse(dc, text, count, count * 3 / 2 + 1, -1, flags, 0, nullptr, nullptr, nullptr, nullptr,
                                nullptr, analysis);
}

}  // namespace
}  // namespace kwuni::text

using namespace kwuni::text;

int KW_GetTextExtentPoint(HDC dc, LPCWSTR text, int count, SIZE* size, DWORD extraFlags) {
  if (size == nullptr) return 0;
  *size = SIZE{};
  if (text == nullptr || count == 0) return 1;
  void* analysis = nullptr;
  if (analyse(dc, text, count, extraFlags | SSA_LINK | SSA_GLYPHS | SSA_FALLBACK, &analysis) != S_OK) return 0;
  const SIZE* measured = KW_ScriptString_pSize(analysis);
  if (measured != nullptr) *size = *measured;
  KW_ScriptStringFree(&analysis);
  return measured != nullptr ? 1 : 0;
}
