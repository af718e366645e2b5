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
  return 0;
}
