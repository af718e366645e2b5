// EBCDIC transcoding: translation tables per CCSID, the registry that loads them from the table
// files under the base directory, and the library's module handle.
//
// A translation table file is a flat sequence of little-endian 16-bit integers: the entry count
// N (signed), then N pairs of (EBCDIC code, UTF-16 code unit). Codes below 0x100 are single
// bytes; larger codes are double-byte characters, lead byte in the high half. The registry finds
// the table of CCSID n in <base directory>/Tables/E<n>U.KWX (A<n>U.KWX for a number that is not
// a catalogued CCSID).
#pragma once

#include <kwuni/export.h>
#include <kwuni/win32.h>

#include <array>
#include <atomic>
#include <istream>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace velmora {

// The stream ended or failed inside a table: "Stream corrupt".
class KWUNI_API EBCDICTranscoderStreamCorrupt : public std::runtime_error {
 public:
  EBCDICTranscoderStreamCorrupt();
};

// A table file is too short for its own count: "File corrupt: " and the file's path from /Tables/ on.
class KWUNI_API EBCDICTranscoderFileCorrupt : public std::runtime_error {
 public:
  explicit EBCDICTranscoderFileCorrupt(const std::string& fileName);
  std::string fileName;
};

// A table file cannot be opened: "File not found: " and the file's full path.
class KWUNI_API EBCDICTranscoderFileNotFound : public std::runtime_error {
 public:
  explicit EBCDICTranscoderFileNotFound(const std::string& fileName);
  std::string fileName;
};

// The two-way translation between the codes of one CCSID and UTF-16, built once from a table
// stream and immutable afterwards; its const operations may run on any number of threads.
class KWUNI_API EBCDICTranscoder {
 public:
  // Reads a table from the stream, which must deliver its bytes untranslated. Throws
  // std::invalid_argument("stream") when the stream has already failed, and
  // EBCDICTranscoderStreamCorrupt when it ends or fails inside the table. Except for CCSIDs 937,
  // 1371, 1388, 1390 and 1399, EBCDIC 0x1C and U+2013 map to each other whatever the table says.
  EBCDICTranscoder(short ccsid, std::istream& stream);

  // The UTF-16 code unit of an EBCDIC code. An unmapped code gives a substitute and sets
  // *unmapped: a space (U+0020 single-byte, U+3000 double-byte) in a mixed CCSID, a question mark
  // (U+003F, U+FF1F) otherwise. A lead byte marked 0xFFFE is returned as it is.
  WORD EtoU(WORD code, bool* unmapped = nullptr) const;

  // The EBCDIC code of a UTF-16 code unit; unmapped: 0x40 for CCSID 933, 0x6F otherwise.
  WORD UtoE(WORD ch, bool* unmapped = nullptr) const;

  // Converts srcLen bytes into dst (srcLen + 1 characters of room) and terminates it; returns the
  // number of characters, terminator not counted. In a mixed CCSID a lead byte marked 0xFFFE
  // joins the next byte; a lead byte at the very end produces nothing. Unmapped codes become
  // U+003F. Shift-out and shift-in are ordinary bytes here. dst may be null to count only.
  int convertEtoU(const BYTE* src, WCHAR* dst, int srcLen) const;

  // Composes the text (a base character and following combining marks become the precomposed
  // character) and converts it; srcLen < 1 means the terminated string. Returns the number of
  // bytes written: one per character (single-byte CCSID; needs srcLen bytes of room), or one or
  // two, high byte first (mixed CCSID; needs 2 * srcLen). Unmapped characters become 0x6F; no
  // shift bytes and no terminator are written. dst may be null to count only.
  int convertUtoE(const WCHAR* src, BYTE* dst, int srcLen) const;

  short getCcsid() const { return ccsid; }
  bool isMixed() const { return isDbcs; }

  // The 65536-entry tables, for conversions that run over whole buffers.
  const WORD* ebcdicToUnicodeTable() const { return ebcdicToUnicode.data(); }
  const WORD* unicodeToEbcdicTable() const { return unicodeToEbcdic.data(); }

  // True for a mixed single/double-byte CCSID of the catalogue.
  static bool isDbcsECP(short ccsid);

 private:
  short ccsid;
  std::vector<WORD> ebcdicToUnicode;  // 0xFFFF: unmapped; 0xFFFE: lead byte
  std::vector<WORD> unicodeToEbcdic;  // 0xFFFF: unmapped
  bool isDbcs;
};

// The process-wide registry of loaded tables. A table is loaded from its file on the first
// request for its CCSID and kept until clear(); references stay valid until then. Any number of
// threads may ask for tables at once: each file is read once, under a lock, and every thread gets
// the same table; a table already loaded is found without a lock. add() and clear() must not run
// while other threads use the registry or its tables: callers serialise them.
class KWUNI_API EBCDICTranscoders {
 public:
  static EBCDICTranscoders& instance();

  // The table of the CCSID, loaded first if needed. Throws EBCDICTranscoderFileNotFound,
  // EBCDICTranscoderFileCorrupt or std::runtime_error("cannot convert"); a failure loads nothing.
  const EBCDICTranscoder& transcoder(short ccsid) const;

  // Stores a copy under its own CCSID, replacing a loaded table in place.
  void add(const EBCDICTranscoder& transcoder);

  // Forgets every loaded table; later requests read the files again.
  void clear();

  // Whether the CCSID's table loads; false for a missing or corrupt file.
  static bool hasTranscoder(short ccsid);

  // Single lookups; the Unicode CCSIDs 1200 and 13488 pass the argument through untouched.
  static WORD EtoU(short ccsid, WORD code, bool* unmapped = nullptr);
  static WORD UtoE(short ccsid, WORD ch, bool* unmapped = nullptr);

  // Buffer conversions of the CCSID's table (no Unicode pass-through).
  static int convertEtoU(short ccsid, const BYTE* src, WCHAR* dst, int srcLen);
  static int convertUtoE(short ccsid, const WCHAR* src, BYTE* dst, int srcLen);

 private:
  // Loaded tables by CCSID (as an unsigned 16-bit index), published once complete.
  mutable std::array<std::atomic<const EBCDICTranscoder*>, 0x10000> loaded{};
  mutable std::map<short, std::unique_ptr<EBCDICTranscoder>> transcoders;  // owns them
  mutable std::mutex loading;
};

// A lock for the callers' use.
class KWUNI_API Monitor {
 public:
  // Throws std::runtime_error("Cannot initialise critical section") when the platform refuses.
  explicit Monitor(bool preallocate = true, int spinCount = 400);
  ~Monitor();
  Monitor(const Monitor&) = delete;
  Monitor& operator=(const Monitor&) = delete;

  void enter();
  void leave();

 private:
  CRITICAL_SECTION section;
};

}  // namespace velmora

// The library's own module handle.
KWUNI_API HINSTANCE KW_GetKWUNI();

// Copies the base directory (cut to capacity - 1 characters) and a terminator into dest; false,
// with an empty dest, when none is set. Throws std::invalid_argument("pszDest") for a null dest.
KWUNI_API bool KW_GetUniBaseDirectory(WCHAR* dest, unsigned int capacity);

// Sets the directory that holds Tables/; an empty text returns to the library's own directory.
KWUNI_API void KW_SetUniBaseDirectory(const WCHAR* directory);

// ---- Conversions by CCSID -------------------------------------------------------------------
// Each finds the CCSID's table through the registry and raises what the registry raises. The
// Unicode CCSIDs 1200 and 13488 pass single lookups through unchanged.

// Single lookups; *unmapped (when given) receives 1 when a substitute was returned, else 0.
KWUNI_API WORD EtoU(short ccsid, WORD code, int* unmapped);
KWUNI_API WORD UtoE(short ccsid, WORD ch, int* unmapped);

// Buffer conversions through the table, exactly as EBCDICTranscoder::convertEtoU / convertUtoE.
KWUNI_API int TConvertEtoU(short ccsid, const BYTE* src, WCHAR* dst, int srcLen);
KWUNI_API int TConvertUtoE(short ccsid, const WCHAR* src, BYTE* dst, int srcLen);

// Mixed host data to UTF-16: a 0x0E byte switches to byte pairs (double-byte characters), a 0x0F
// byte back to single bytes. Stores the characters that fit in dstBytes bytes of dst (no terminator) and returns
// the number of characters of the whole input; with a null dst it only counts and loads nothing.
// Unmapped codes become the single lookup's substitutes.
KWUNI_API int KW_EbcdicBytesToWideChar(short ccsid, const BYTE* src, int srcLen, WCHAR* dst, int dstBytes);

// The reverse: writes shift-out before each run of double-byte characters and shift-in after
// it, except after a run that ends the text. Stores what fits in dstBytes (a pair whole or not
// at all, nothing after the first item that does not fit) and returns the byte length of the
// whole conversion; with a null dst it returns that length without storing.
KWUNI_API int KW_WideCharToEbcdicBytes(short ccsid, const WCHAR* src, int srcLen, BYTE* dst, int dstBytes);

// Narrow <-> wide through a Windows code page (0: the system's ANSI code page). A length of -1
// takes the terminated string with its terminator; a capacity of -1 sizes the output from the
// source. The results are those of MultiByteToWideChar / WideCharToMultiByte: 0 on failure.
KWUNI_API int TConvertAtoU(const char* src, WCHAR* dst, int dstLen);
KWUNI_API int TConvertAtoUEx(const char* src, int srcLen, WCHAR* dst, int dstLen, unsigned int codePage);
KWUNI_API int TConvertUtoA(const WCHAR* src, char* dst, int dstLen);
KWUNI_API int TConvertUtoAEx(const WCHAR* src, int srcLen, char* dst, int dstLen, unsigned int codePage);

// Swaps each whole pair of bytes from src into dst (distinct buffers); returns len rounded down
// to even, 0 for len < 2.
KWUNI_API int TSwapBytes(const BYTE* src, BYTE* dst, int len);

namespace kwuni {
// The instruction set the conversion kernels use ("avx512", "avx2" or "scalar"): the best the
// processor has, or a lower one that the environment variable KWUNI_KERNELS names. Every level
// gives the same results.
KWUNI_API const char* conversionKernels();
}  // namespace kwuni
