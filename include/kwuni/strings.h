// Strings and data conversions: three small owning string classes that convert text between
// narrow and wide form through a code page when they are built or assigned, and host numbers
// read from and written to byte arrays.
//
// AString holds narrow text in its own code page: UTF-8 (65001), UTF-7 (65000) or a Windows
// ANSI code page of the catalogue (any other value, 0 included, means the system's ANSI code
// page). Narrow text given to it is read as host data: in an EBCDIC CCSID (2 or an unlisted
// value: the system's default CCSID), unless it comes in UTF-8, UTF-7 or the ANSI code page (0).
// WString holds UTF-16 text and reads narrow text in an ANSI code page, a CCSID, UTF-7 or UTF-8
// (0: the ANSI code page, 2: the default CCSID; any other code page gives an empty string).
// TString holds UTF-16 text and reads narrow text in the system's ANSI code page.
//
// A string owns one terminated buffer, or none when it is empty (the conversion operator then
// gives null). A string built with a size keeps every later buffer at least that large (the
// reserve), except the buffers of UTF-8 and UTF-7 text, which have the text's exact size. Every
// assignment builds the new buffer before it releases the old one, so a string may be assigned
// its own text. Copying string objects is not offered. Length and len arguments count
// characters (bytes for narrow text); a negative len means up to the terminator.
//
// UTF-8 and UTF-7 go through the library's own codecs: unpaired surrogates are encoded as they
// stand, malformed UTF-8 is read leniently (overlong forms accepted, a lone continuation byte is
// the character of its value), and a U+0000 in converted text ends it. Other code pages convert
// as MultiByteToWideChar and WideCharToMultiByte do; defChar and usedDefault are theirs.
#pragma once

#include <kwuni/export.h>
#include <kwuni/win32.h>

class KWUNI_API AString {
 public:
  AString();
  explicit AString(unsigned int codePage);
  explicit AString(int size);
  AString(unsigned int codePage, int size);
  AString(char c, unsigned int sourceCodePage);
  AString(unsigned int codePage, char c, unsigned int sourceCodePage);
  AString(const char* s, int len, unsigned int sourceCodePage);
  AString(unsigned int codePage, const char* s, int len, unsigned int sourceCodePage);
  AString(const WCHAR* ws, int len, const char* defChar, int* usedDefault);
  AString(unsigned int codePage, const WCHAR* ws, int len, const char* defChar, int* usedDefault);
  AString(WCHAR wc, const char* defChar, int* usedDefault);
  AString(unsigned int codePage, WCHAR wc, const char* defChar, int* usedDefault);
  AString(const AString&) = delete;
  AString& operator=(const AString&) = delete;
  virtual ~AString();

  // Converts the wide text into the string's code page.
  virtual AString& operator=(const WCHAR* ws);
  // Takes narrow text in the system's ANSI code page.
  virtual AString& operator=(const char* s);
  virtual operator char*() const;
  virtual int length() const;
  // Copies as strncpy does: count characters (a negative count: the length of the text now in
  // target, plus one), zero-filled, without a terminator when the text is that long. Returns
  // target, or null (and copies nothing) for a null target or an empty string.
  virtual char* copy(char* target, int count) const;

  unsigned int codePage() const { return codePage_; }

 private:
  void assignNarrow(const char* s, int len, unsigned int sourceCodePage);
  void assignWide(const WCHAR* ws, int len, const char* defChar, int* usedDefault);

  char* data_ = nullptr;
  int reserve_ = 0;
  unsigned int codePage_;
};

class KWUNI_API WString {
 public:
  WString();
  explicit WString(int size);
  WString(char c, unsigned int codePage);
  WString(const char* s, int len, unsigned int codePage);
  WString(const WCHAR* ws, int len);
  explicit WString(WCHAR wc);
  WString(const WString&) = delete;
  WString& operator=(const WString&) = delete;
  virtual ~WString();

  virtual WString& operator=(const WCHAR* ws);
  // Reads narrow text in the system's ANSI code page.
  virtual WString& operator=(const char* s);
  virtual operator WCHAR*() const;
  virtual int length() const;
  // As AString::copy, in wide characters.
  virtual WCHAR* copy(WCHAR* target, int count) const;

 private:
  void read(const char* s, int len, unsigned int codePage);

  WCHAR* data_ = nullptr;
  int reserve_ = 0;
};

class KWUNI_API TString {
 public:
  TString();
  explicit TString(int size);
  explicit TString(char c);
  TString(const char* s, int len);
  // defChar and usedDefault are not used: the text is copied.
  TString(const WCHAR* ws, int len, const char* defChar, int* usedDefault);
  TString(WCHAR wc, const char* defChar, int* usedDefault);
  TString(const TString&) = delete;
  TString& operator=(const TString&) = delete;
  virtual ~TString();

  virtual TString& operator=(const WCHAR* ws);
  virtual TString& operator=(const char* s);
  virtual operator WCHAR*() const;
  virtual int length() const;
  virtual WCHAR* copy(WCHAR* target, int count) const;

 private:
  WCHAR* data_ = nullptr;
  int reserve_ = 0;
};

// ---- Host numbers in byte arrays ---------------------------------------------------------------
// Integers most significant byte first; floats as their IEEE 754 bit pattern in the same order;
// doubles as the low 32 bits of the pattern, then the high 32 bits, each most significant byte
// first. The array must hold offset + 2, 4 or 8 bytes; nothing is checked.

KWUNI_API short KW_byteArrayToShort(const BYTE* bytes, int offset);
KWUNI_API int KW_byteArrayToUnsignedShort(const BYTE* bytes, int offset);
KWUNI_API int KW_byteArrayToInt(const BYTE* bytes, int offset);
KWUNI_API float KW_byteArrayToFloat(const BYTE* bytes, int offset);
KWUNI_API double KW_byteArrayToDouble(const BYTE* bytes, int offset);

// The two 16-bit writers are one: both write the low 16 bits of the value.
KWUNI_API void KW_shortToByteArray(short value, BYTE* bytes, int offset);
KWUNI_API void KW_unsignedShortToByteArray(int value, BYTE* bytes, int offset);
KWUNI_API void KW_intToByteArray(int value, BYTE* bytes, int offset);
KWUNI_API void KW_floatToByteArray(float value, BYTE* bytes, int offset);
KWUNI_API void KW_doubleToByteArray(double value, BYTE* bytes, int offset);
