// AString, WString and TString: the code page rules, and each class's conversions on the shared
// buffers of strings/text_buffers.h.

#include <kwuni/catalogue.h>
#include <kwuni/strings.h>

#include "strings/text_buffers.h"
#include "strings/utf_codecs.h"

#include <cstring>

namespace kwuni::strings {
namespace {

constexpr unsigned int utf7 = CP_UTF7;
constexpr unsigned int utf8 = CP_UTF8;
constexpr unsigned int defaultCcsid = 2;  // stands for the host CCSID of the system's code page

bool isUtf(unsigned int codePage) { return codePage == utf7 || codePage == utf8; }
unsigned int ansiCodePage() { return KW_GetACP(); }
int asInt(unsigned int codePage) { return static_cast<int>(codePage); }

// An AString's own code page: UTF-7, UTF-8 or a catalogued ANSI code page, else the system's.
unsigned int ownCodePage(unsigned int codePage) {
  if (isUtf(codePage)) return codePage;
  if (codePage != 0 && KW_IsACP(asInt(codePage)) == 1) return codePage;
  return ansiCodePage();
}

// The code page of narrow text given to an AString: UTF, the ANSI code page for 0, and
// otherwise a CCSID of the catalogue (the default one when the value is not catalogued).
unsigned int hostSource(unsigned int codePage) {
  if (isUtf(codePage)) return codePage;
  if (codePage == 0) return ansiCodePage();
  if (codePage != defaultCcsid) {
    const int corrected = KW_GetCorrectedECP(asInt(codePage));
    if (KW_IsECP(corrected) == 1) return static_cast<unsigned int>(corrected);
  }
  return static_cast<unsigned int>(KW_GetDefaultECP(0));
}

// The code page of narrow text given to a WString; 0 for one it cannot read.
unsigned int wideSource(unsigned int codePage) {
  if (isUtf(codePage)) return codePage;
  if (codePage == 0) return ansiCodePage();
  if (codePage == defaultCcsid) return static_cast<unsigned int>(KW_GetDefaultECP(0));
  return KW_IsACP(asInt(codePage)) == 1 || KW_IsECP(asInt(codePage)) == 1 ? codePage : 0;
}

int narrowLength(const char* s, int len) { return len < 0 ? static_cast<int>(std::strlen(s)) : len; }

// Narrow text read in a code page that wideSource gave; null for one it cannot read.
WCHAR* wideFrom(const char* s, int len, unsigned int codePage, int reserve) {
  if (codePage == utf7) return wideFromUtf7(s, len);
  if (codePage == utf8) return wideFromUtf8(s, len);
  if (codePage != 0 && KW_IsACP(asInt(codePage)) == 1) return wideFromCodePage(s, len, codePage, reserve);
  if (codePage != 0 && KW_IsECP(asInt(codePage)) == 1) return wideFromCcsid(s, len, asInt(codePage), reserve);
  return nullptr;
}

WCHAR* sizedWide(int size) { return size > 0 ? copyOf(u"", 0, size) : nullptr; }

}  // namespace
}  // namespace kwuni::strings

using namespace kwuni::strings;

// ---- AString -----------------------------------------------------------------------------------

AString::AString() : AString(0u) {}
AString::AString(unsigned int codePage) : codePage_(ownCodePage(codePage)) {}
AString::AString(int size) : AString(0u, size) {}
AString::AString(unsigned int codePage, int size) : reserve_(size), codePage_(ownCodePage(codePage)) {
  if (size > 0) data_ = copyOf("", 0, size);
}
AString::AString(char c, unsigned int sourceCodePage) : AString(0u, c, sourceCodePage) {}
AString::AString(unsigned int codePage, char c, unsigned int sourceCodePage) : AString(codePage) {
  assignNarrow(&c, 1, sourceCodePage);
}
AString::AString(const char* s, int len, unsigned int sourceCodePage) : AString(0u, s, len, sourceCodePage) {}
AString::AString(unsigned int codePage, const char* s, int len, unsigned int sourceCodePage) : AString(codePage) {
  assignNarrow(s, len, sourceCodePage);
}
AString::AString(const WCHAR* ws, int len, const char* defChar, int* usedDefault)
    : AString(0u, ws, len, defChar, usedDefault) {}
AString::AString(unsigned int codePage, const WCHAR* ws, int len, const char* defChar, int* usedDefault)
    : AString(codePage) {
  assignWide(ws, len, defChar, usedDefault);
}
AString::AString(WCHAR wc, const char* defChar, int* usedDefault) : AString(0u, wc, defChar, usedDefault) {}
AString::AString(unsigned int codePage, WCHAR wc, const char* defChar, int* usedDefault) : AString(codePage) {
  assignWide(&wc, 1, defChar, usedDefault);
}

AString::~AString() { delete[] data_; }

AString& AString::operator=(const WCHAR* ws) {
  assignWide(ws, -1, nullptr, nullptr);
  return *this;
}

AString& AString::operator=(const char* s) {
  assignNarrow(s, -1, 0);
  return *this;
}

AString::operator char*() const { return data_; }

int AString::length() const { return textLength(data_); }

char* AString::copy(char* target, int count) const { return boundedCopy(data_, target, count); }

void AString::assignNarrow(const char* s, int len, unsigned int sourceCodePage) {
  if (s == nullptr) return replace(data_, static_cast<char*>(nullptr));
  const unsigned int source = hostSource(sourceCodePage);
  len = narrowLength(s, len);
  if (source == codePage_) return replace(data_, copyOf(s, len, reserve_));
  const WString wide(s, len, source);
  assignWide(wide, wide.length(), nullptr, nullptr);
}

void AString::assignWide(const WCHAR* ws, int len, const char* defChar, int* usedDefault) {
  if (ws == nullptr) return replace(data_, static_cast<char*>(nullptr));
  if (len < 0) len = textLength(ws);
  if (codePage_ == utf8) return replace(data_, utf8FromWide(ws, len));
  if (codePage_ == utf7) return replace(data_, utf7FromWide(ws, len));
  replace(data_, narrowFromWide(ws, len, codePage_, reserve_, defChar, usedDefault));
}

// ---- WString -----------------------------------------------------------------------------------

WString::WString() = default;
WString::WString(int size) : data_(sizedWide(size)), reserve_(size) {}
WString::WString(char c, unsigned int codePage) { read(&c, 1, codePage); }
WString::WString(const char* s, int len, unsigned int codePage) { read(s, len, codePage); }
WString::WString(const WCHAR* ws, int len) {
  if (ws != nullptr) data_ = copyOf(ws, len < 0 ? textLength(ws) : len, reserve_);
}
WString::WString(WCHAR wc) : data_(copyOf(&wc, 1, 0)) {}

WString::~WString() { delete[] data_; }

WString& WString::operator=(const WCHAR* ws) {
  replace(data_, ws != nullptr ? copyOf(ws, textLength(ws), reserve_) : nullptr);
  return *this;
}

WString& WString::operator=(const char* s) {
  read(s, -1, 0);
  return *this;
}

WString::operator WCHAR*() const { return data_; }

int WString::length() const { return textLength(data_); }

WCHAR* WString::copy(WCHAR* target, int count) const { return boundedCopy(data_, target, count); }

void WString::read(const char* s, int len, unsigned int codePage) {
  if (s == nullptr) return replace(data_, static_cast<WCHAR*>(nullptr));
  replace(data_, wideFrom(s, narrowLength(s, len), wideSource(codePage), reserve_));
}

// ---- TString -----------------------------------------------------------------------------------

TString::TString() = default;
TString::TString(int size) : data_(sizedWide(size)), reserve_(size) {}
TString::TString(char c) : data_(wideFromCodePage(&c, 1, CP_ACP, 0)) {}
TString::TString(const char* s, int len) {
  if (s != nullptr) data_ = wideFromCodePage(s, narrowLength(s, len), CP_ACP, reserve_);
}
TString::TString(const WCHAR* ws, int len, const char*, int*) {
  if (ws != nullptr) data_ = copyOf(ws, len < 0 ? textLength(ws) : len, reserve_);
}
TString::TString(WCHAR wc, const char*, int*) : data_(copyOf(&wc, 1, 0)) {}

TString::~TString() { delete[] data_; }

TString& TString::operator=(const WCHAR* ws) {
  replace(data_, ws != nullptr ? copyOf(ws, textLength(ws), reserve_) : nullptr);
  return *this;
}

TString& TString::operator=(const char* s) {
  replace(data_, s != nullptr ? wideFromCodePage(s, narrowLength(s, -1), CP_ACP, reserve_) : nullptr);
  return *this;
}

TString::operator WCHAR*() const { return data_; }

int TString::length() const { return textLength(data_); }

WCHAR* TString::copy(WCHAR* target, int count) const { return boundedCopy(data_, target, count); }
