// A host input field driven by arbitrary bytes: the first three pick the CCSID, the kind of field
// and its length, the rest loads cells and edits it. Every step keeps the field's length and
// answers -1 or a position inside the field; ASan sees that nothing is read or written outside.

#include <kwuni/dbcs.h>
#include <kwuni/ebcdic.h>

#include "fuzz/fuzz_support.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

using velmora::DBCSEditBuffer;
using velmora::DbcsType;

// The characters an edit types: blanks, single-byte and double-byte letters, shift marks, and
// whatever the input names.
WCHAR character(std::uint8_t pick, std::uint8_t low) {
  constexpr WCHAR typed[] = {u' ', u'A', 0x00E9, 0x3000, 0x6F22, 0xFF21, 0xFF76, 0xFFFF, 0xFFFE, 0x0E, 0x0F, 0};
  constexpr std::size_t count = sizeof typed / sizeof typed[0];
  return pick % 2 == 0 ? typed[(pick / 2) % count] : static_cast<WCHAR>(pick << 8 | low);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  kwuni::fuzz::useBuildTables();
  constexpr short ccsids[] = {930, 939, 1390, 13488};
  constexpr DbcsType kinds[] = {velmora::DbcsOnly, velmora::DbcsPure, velmora::DbcsEither, velmora::DbcsOpen,
                                velmora::DbcsNone};
  const short ccsid = ccsids[data[0] % 4];
  const DbcsType kind = kinds[data[1] % 5];
  const int length = data[2] % 41;
  std::vector<DWORD> cells(static_cast<std::size_t>(length));  // an empty field to start with
  DBCSEditBuffer field(ccsid, kind, cells.data(), 0, length);
  for (std::size_t i = 3; i + 3 <= size; i += 3) {
    const std::uint8_t op = data[i], a = data[i + 1], b = data[i + 2];
    const int pos = static_cast<int>(a) % (length + 3) - 1;  // one before the field to one past it
    int result = 0;
    switch (op % 6) {
      case 0:  // load cells: each byte pair a character, some with flags
        for (std::size_t k = 0; k < cells.size(); ++k) {
          const std::uint8_t x = data[(i + k) % size], y = data[(i + 2 * k + 1) % size];
          cells[k] = character(x, y) | (y % 7 == 0 ? DBCSEditBuffer::skipFlag : 0);
        }
        field.load(cells.data(), 0, length);
        break;
      case 1: result = field.insert(pos, character(b, a)); break;
      case 2: result = field.overwrite(pos, character(b, a)); break;
      case 3: result = field.remove(pos, b % 2 == 0); break;
      case 4: field.normalize(); break;
      default: {
        int at = pos;
        field.getDbcsMode(at);
        field.getFreeSpace(pos);
        break;
      }
    }
    kwuni::fuzz::require(field.getLength() == length);
    kwuni::fuzz::require(result == -1 || (result >= 0 && result < (length > 0 ? length : 1)));
  }
  field.save(cells.data(), 0, length);
  return 0;
}
