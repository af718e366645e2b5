// A program outside the tree, built against an installed copy of kwuni.
#include <kwuni/kwuni.h>

#include <cstdio>
#include <string>

int main() {
  const std::u16string description = KW_GetECPDesc(37);
  if (KW_IsDbcsECP(930) != 1 || description.rfind(u"37 - ", 0) != 0) {
    std::puts("installed kwuni answered wrongly");
    return 1;
  }
  return 0;
}
