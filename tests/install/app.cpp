// A program outside the tree, built against an installed copy of kwuni.
#include <kwuni/kwuni.h>

#include <cstdio>
#include <string>

int main() {
  WCHAR buffer[1];
  const std::u16string description = KW_GetECPDesc(37);
  if (KW_IsDbcsECP(930) != 1 || description.rfind(u"37 - ", 0) != 0) {
    std::puts("installed kwuni answered wrongly");
    return 1;
  }
  // The installed tables are found beside the installed library, with no base directory set.
  if (velmora::EBCDICTranscoders::EtoU(37, 0xC1) != u'A' || KW_GetUniBaseDirectory(buffer, 1)) {
    std::puts("installed kwuni did not find its tables");
    return 1;
  }
  // Mixed Latin, Japanese and Arabic text analysed, measured and drawn, in both families of the
  // script-string functions.
  const std::u16string text = u"Kanji 漢字 and عربي";
  for (const DWORD family : {DWORD{VER_PLATFORM_WIN32_NT}, DWORD{VER_PLATFORM_WIN32_WINDOWS}}) {
    KW_SetScriptPlatformForTesting(family);
    HDC dc = KW_CreateImageDC(320, 40);
    void* analysis = nullptr;
    const bool drawn = dc != nullptr && KW_SelectImageFont(dc, "DejaVu Sans", 16) &&
                       KW_ScriptStringAnalyse(dc, text.data(), static_cast<int>(text.size()), 0, -1, SSA_GLYPHS, 0,
                                              nullptr, nullptr, nullptr, nullptr, nullptr, &analysis) >= 0 &&
                       KW_ScriptString_pSize(analysis)->cx > 100 &&
                       KW_ScriptStringOut(analysis, 2, 2, 0, nullptr, 6, 8, 0) >= 0 &&
                       KW_WriteImagePNG(dc, family == VER_PLATFORM_WIN32_NT ? "mixed-nt.png" : "mixed-9x.png");
    KW_ScriptStringFree(&analysis);
    KW_DeleteImageDC(dc);
    if (!drawn) {
      std::printf("installed kwuni did not draw text for platform family %u\n", static_cast<unsigned>(family));
      return 1;
    }
  }
  return 0;
}
