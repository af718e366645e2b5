// The encodings kwuni convert reads and writes, and how their names are spelled.
#pragma once

#include <string>
#include <string_view>

namespace kwuni::cli {

struct Encoding {
  enum class Kind {
    ebcdic,       // an EBCDIC CCSID with a translation table
    unicodeHost,  // CCSID 13488: host data in UTF-16, big-endian
    utf8,
    utf16le,
    utf16be,
    codePage,     // a Windows code page, through the library's narrow/wide conversions
  };
  Kind kind = Kind::utf8;
  int number = 0;          // the CCSID or the code page
  bool mixed = false;      // EBCDIC with shift-out/shift-in runs of double-byte characters
  bool multiByte = false;  // a code page with characters of more than one byte
  std::string label;       // for messages: "CCSID 930", "code page 1252", "UTF-8"

  bool host() const { return kind == Kind::ebcdic || kind == Kind::unicodeHost; }
};

// Reads an encoding name, ignoring case: a CCSID (37, IBM-37, IBM037, CCSID37; replaced CCSIDs
// such as 290 become their successors), UTF-8, UTF-16LE, UTF-16BE, or a Windows code page
// (cp1252, windows-1252; cpN of a catalogued CCSID is that CCSID). Throws Failure for a name it
// cannot convert.
Encoding parseEncoding(std::string_view name);

}  // namespace kwuni::cli
