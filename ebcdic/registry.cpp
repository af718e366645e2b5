// The process-wide registry of loaded translation tables and the file-name rule that finds them.

#include <kwuni/catalogue.h>
#include <kwuni/dbcs.h>
#include <kwuni/ebcdic.h>
#include <kwuni/streaming.h>

#include "ebcdic/table_files.h"
#include "platform/code_page_conversion.h"
#include "platform/module.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <fstream>
#include <mutex>
#include <string>

namespace velmora {
namespace {

constexpr int maxPath = 260;  // the platform's path limit, terminator included
constexpr WCHAR separator = u'/';

// Overwrites trailing occurrences of ch with terminators, at most limit of them when limit is
// positive; returns how many went.
int TrimTrailing(WCHAR* text, WCHAR ch, int limit) {
  if (text == nullptr) return 0;
  int length = 0;
  while (text[length] != 0) ++length;
  int removed = 0;
  while (length > 0 && text[length - 1] == ch && (limit <= 0 || removed < limit)) {
    text[--length] = 0;
    ++removed;
  }
  return removed;
}

// The directory that holds Tables/: the base directory without trailing blanks and separators,
// or else the directory of the library's own file.
std::u16string baseDirectory() {
  std::array<WCHAR, maxPath> buffer{};
  if (KW_GetUniBaseDirectory(buffer.data(), maxPath)) {
    TrimTrailing(buffer.data(), u' ', 0);
    TrimTrailing(buffer.data(), separator, 0);
    return buffer.data();
  }
  const DWORD length = sys::GetModuleFileNameW(KW_GetKWUNI(), buffer.data(), maxPath);
  // A name cut by the buffer is kept whole: with a table name after it, it is too long to open,
  // and cutting it at a separator would name some other directory.
  if (length >= maxPath) return buffer.data();
  const std::u16string path(buffer.data(), length);
  const auto cut = path.rfind(separator);
  return cut == std::u16string::npos ? u"." : path.substr(0, cut);
}

// "/Tables/E37U.KWX": E for a catalogued CCSID, A for any other number.
std::u16string tableFileName(short ccsid) {
  std::u16string name = u"/Tables/";
  name += KW_IsECP(ccsid) != 0 ? u'E' : u'A';
  for (const char c : std::to_string(ccsid)) name += static_cast<WCHAR>(c);
  return name + u"U.KWX";
}

// The UTF-8 form in which the file system takes the path; lone surrogates have none.
std::string fileSystemPath(const std::u16string& path) {
  const int length = static_cast<int>(path.size());
  const int needed = sys::WideCharToMultiByte(CP_UTF8, sys::WC_ERR_INVALID_CHARS, path.data(), length, nullptr, 0,
                                              nullptr, nullptr);
  if (needed == 0 && length != 0) throw std::runtime_error("cannot convert");
  std::string narrow(static_cast<std::size_t>(needed), '\0');
  sys::WideCharToMultiByte(CP_UTF8, sys::WC_ERR_INVALID_CHARS, path.data(), length, narrow.data(), needed, nullptr,
                           nullptr);
  return narrow;
}

}  // namespace

}  // namespace velmora

namespace kwuni {

std::atomic<std::uint64_t> tableFileReads{0};

std::string tableFilePath(short ccsid) {
  const std::u16string path = velmora::baseDirectory() + velmora::tableFileName(ccsid);
  return path.size() < velmora::maxPath ? velmora::fileSystemPath(path) : std::string();
}

std::string tableDirectory() {
  try {
    return velmora::fileSystemPath(velmora::baseDirectory() + u"/Tables");
  } catch (const std::runtime_error&) {
    throw ConversionError("the base directory has no file-system form");
  }
}

}  // namespace kwuni

namespace velmora {

EBCDICTranscoders& EBCDICTranscoders::instance() {
  static EBCDICTranscoders registry;
  return registry;
}

const EBCDICTranscoder& EBCDICTranscoders::transcoder(short ccsid) const {
  auto& slot = loaded[static_cast<std::uint16_t>(ccsid)];
  if (const EBCDICTranscoder* table = slot.load(std::memory_order_acquire)) return *table;

  const std::lock_guard lock(loading);
  if (const EBCDICTranscoder* table = slot.load(std::memory_order_relaxed)) return *table;  // loaded meanwhile
  const std::u16string name = tableFileName(ccsid);
  const std::u16string path = baseDirectory() + name;
  if (path.size() >= maxPath) {
    // No room for the whole path: open nothing rather than a cut name.
    throw EBCDICTranscoderFileNotFound(fileSystemPath(path));
  }
  const std::string narrowPath = fileSystemPath(path);
  std::ifstream file(narrowPath, std::ios::binary);
  if (!file.is_open()) throw EBCDICTranscoderFileNotFound(narrowPath);
  kwuni::tableFileReads.fetch_add(1, std::memory_order_relaxed);
  try {
    auto table = std::make_unique<EBCDICTranscoder>(ccsid, file);
    const EBCDICTranscoder* published = table.get();
    transcoders[ccsid] = std::move(table);
    slot.store(published, std::memory_order_release);
    return *published;
  } catch (const EBCDICTranscoderStreamCorrupt&) {
    throw EBCDICTranscoderFileCorrupt(fileSystemPath(name));
  }
}

void EBCDICTranscoders::add(const EBCDICTranscoder& transcoder) {
  const std::lock_guard lock(loading);
  const short ccsid = transcoder.getCcsid();
  if (auto& owned = transcoders[ccsid]) {
    *owned = transcoder;  // in place: references stay valid
  } else {
    owned = std::make_unique<EBCDICTranscoder>(transcoder);
    loaded[static_cast<std::uint16_t>(ccsid)].store(owned.get(), std::memory_order_release);
  }
}

void EBCDICTranscoders::clear() {
  const std::lock_guard lock(loading);
  for (const auto& [ccsid, table] : transcoders) {
    loaded[static_cast<std::uint16_t>(ccsid)].store(nullptr, std::memory_order_relaxed);
  }
  transcoders.clear();
}

bool EBCDICTranscoders::hasTranscoder(short ccsid) {
  try {
    instance().transcoder(ccsid);
    return true;
  } catch (const EBCDICTranscoderFileCorrupt&) {
    return false;
  } catch (const EBCDICTranscoderFileNotFound&) {
    return false;
  }
}

WORD EBCDICTranscoders::EtoU(short ccsid, WORD code, bool* unmapped) {
  if (KW_IsUnicodeCodePage(ccsid)) return code;
  return instance().transcoder(ccsid).EtoU(code, unmapped);
}

WORD EBCDICTranscoders::UtoE(short ccsid, WORD ch, bool* unmapped) {
  if (KW_IsUnicodeCodePage(ccsid)) return ch;
  return instance().transcoder(ccsid).UtoE(ch, unmapped);
}

int EBCDICTranscoders::convertEtoU(short ccsid, const BYTE* src, WCHAR* dst, int srcLen) {
  return instance().transcoder(ccsid).convertEtoU(src, dst, srcLen);
}

int EBCDICTranscoders::convertUtoE(short ccsid, const WCHAR* src, BYTE* dst, int srcLen) {
  return instance().transcoder(ccsid).convertUtoE(src, dst, srcLen);
}

}  // namespace velmora
