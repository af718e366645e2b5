// UTF-8 and UTF-7 (RFC 2152) to and from UTF-16, as the string classes convert them.
//
// The UTF-8 side is lenient both ways: an unpaired surrogate is written as its own three-byte
// form, and the decoder takes sequences of up to six bytes by their lead byte alone (trailing
// bytes unchecked, overlong forms and surrogate values accepted, values above U+10FFFF read as
// U+FFFD). The UTF-7 side is built from two small state machines that a streaming converter can
// carry across chunks; the range converters below run them over one whole input.
#pragma once

#include <kwuni/win32.h>

#include <cstdint>

namespace kwuni::strings {

enum class ConversionResult : int {
  done = 0,        // the whole source was converted
  badSource = 1,   // malformed or incomplete source
  targetFull = 2,  // the target ran out
};

// Range converters. *src and *dst are left where conversion stopped. When the target runs out,
// the unit or sequence that did not fit has already been taken from the source (*src is past it)
// and nothing of it is written; no converter writes at or past dstEnd.

// A pair of surrogates becomes one four-byte sequence; any other unit stands for itself.
ConversionResult convertUtoUTF8(const WCHAR** src, const WCHAR* srcEnd, unsigned char** dst,
                                unsigned char* dstEnd);

// Stops with badSource before a sequence cut by the source end.
ConversionResult convertUTF8toU(const unsigned char** src, const unsigned char* srcEnd, WCHAR** dst,
                                WCHAR* dstEnd);

// optionalDirect: the characters of RFC 2152's Set O are written directly rather than encoded.
// closeRuns: every encoded run ends with "-"; otherwise only where the next byte would be read as
// part of the run. The end of the source closes an open run.
ConversionResult convertUtoUTF7(const WCHAR** src, const WCHAR* srcEnd, unsigned char** dst, unsigned char* dstEnd,
                                int optionalDirect, int closeRuns);

// A malformed byte or run gives badSource but does not stop the conversion: the rest of the
// source is still decoded (see Utf7Decoder). The end of the source closes an open run.
ConversionResult convertUTF7toU(const unsigned char** src, const unsigned char* srcEnd, WCHAR** dst,
                                WCHAR* dstEnd);

// UTF-7 encoding one unit at a time. step() writes at most maxStepBytes bytes, finish() at most
// maxFinishBytes; finish() closes an open run at the end of the input and leaves the state as new.
struct Utf7Encoder {
  static constexpr int maxStepBytes = 3;
  static constexpr int maxFinishBytes = 2;

  bool optionalDirect = true;
  bool closeRuns = true;
  bool inRun = false;
  std::uint32_t bits = 0;  // the low bitCount bits are still to be written
  int bitCount = 0;        // 0, 2 or 4 between steps

  // Returns the number of bytes written to out.
  int step(WCHAR unit, unsigned char* out);
  int finish(unsigned char* out);
};

// UTF-7 decoding one byte at a time. A byte completes at most one unit. Outside a run, bytes
// above 0x7F are taken as U+0080..U+00FF but reported malformed. A run is closed by any byte that
// is not a base64 digit, or by the end of the input (finish); a closing "-" is consumed ("+-" is
// '+'), any other closing byte is read as outside the run. A run is malformed when its leftover
// bits are not all zero, or when it had digits but completed no unit, or no digits and was not
// "+-". Malformed input is reported and decoding goes on.
struct Utf7Decoder {
  struct Step {
    bool hasUnit = false;
    WCHAR unit = 0;
    bool malformed = false;
  };

  bool inRun = false;
  std::uint32_t bits = 0;  // the low bitCount bits are buffered
  int bitCount = 0;        // below 16 between steps
  bool digitsSeen = false;
  bool unitWritten = false;

  Step step(unsigned char byte);
  // Closes an open run at the end of the input; true when that run was malformed. Leaves the
  // state as new.
  bool finish();

 private:
  Step outside(unsigned char byte);
  bool closeRun();
};

// Whole-buffer conversions: a new zero-terminated buffer from new[], owned by the caller
// (delete[]). The text ends at the first U+0000 of the converted text; a malformed source converts
// as the range converters read it. A count of zero or less gives an empty text.
char* utf8FromWide(const WCHAR* s, int count);
char* utf7FromWide(const WCHAR* s, int count);
WCHAR* wideFromUtf8(const char* s, int count);
WCHAR* wideFromUtf7(const char* s, int count);

}  // namespace kwuni::strings
