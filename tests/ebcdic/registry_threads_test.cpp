// Sixteen threads converting through the same and different CCSIDs from a cold registry: each
// table file is read once, every thread gets the same table, and every conversion is right.

#include <kwuni/ebcdic.h>
#include <kwuni/streaming.h>

#include "ebcdic/table_files.h"

#include <gtest/gtest.h>

#include <latch>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using velmora::EBCDICTranscoder;
using velmora::EBCDICTranscoders;

// What one thread did: the table it was given and what it converted.
struct Work {
  explicit Work(short c) : ccsid(c) {}
  short ccsid;
  const EBCDICTranscoder* table = nullptr;
  std::u16string flat;    // every byte through TConvertEtoU
  std::string streamed;   // every byte through a Decoder, as UTF-8
  std::vector<BYTE> back; // the flat text back through an Encoder
};

std::vector<BYTE> everyByte() {
  std::vector<BYTE> bytes(256);
  for (unsigned b = 0; b < 256; ++b) bytes[b] = static_cast<BYTE>(b);
  return bytes;
}

void convert(Work& work) {
  const std::vector<BYTE> bytes = everyByte();
  work.table = &EBCDICTranscoders::instance().transcoder(work.ccsid);
  work.flat.resize(bytes.size() + 1);
  TConvertEtoU(work.ccsid, bytes.data(), work.flat.data(), static_cast<int>(bytes.size()));
  work.flat.resize(bytes.size());
  kwuni::Decoder(kwuni::Encoding(std::to_string(work.ccsid))).decode(std::span(bytes), work.streamed, true);
  kwuni::Encoder(kwuni::Encoding(std::to_string(work.ccsid))).encode(work.flat, work.back, true);
}

TEST(RegistryThreads, SixteenThreadsFromAColdRegistryReadEachTableOnce) {
  KW_SetUniBaseDirectory(KWUNI_BUILD_DIR);
  EBCDICTranscoders::instance().clear();
  const short ccsids[] = {37, 930, 37, 1047, 930, 500, 939, 37, 1390, 273, 930, 37, 1140, 939, 500, 37};
  std::vector<Work> work;
  work.reserve(std::size(ccsids));
  for (const short ccsid : ccsids) work.emplace_back(ccsid);

  const std::uint64_t readsBefore = kwuni::tableFileReads.load();
  std::latch start(static_cast<std::ptrdiff_t>(work.size()));
  std::vector<std::thread> threads;
  for (Work& w : work) {
    threads.emplace_back([&start, &w] {
      start.arrive_and_wait();  // all ask at once
      convert(w);
    });
  }
  for (auto& t : threads) t.join();

  const std::set<short> distinct(std::begin(ccsids), std::end(ccsids));
  EXPECT_EQ(kwuni::tableFileReads.load() - readsBefore, distinct.size());
  // The same again on one thread, with every table loaded: the same tables, the same text.
  for (const Work& w : work) {
    SCOPED_TRACE(w.ccsid);
    Work again(w.ccsid);
    convert(again);
    EXPECT_EQ(w.table, again.table);
    EXPECT_EQ(w.flat, again.flat);
    EXPECT_EQ(w.streamed, again.streamed);
    EXPECT_EQ(w.back, again.back);
  }
  EXPECT_EQ(kwuni::tableFileReads.load() - readsBefore, distinct.size());
  // A few known codes, so that agreeing threads are also right.
  EXPECT_EQ(work[0].flat[0xC1], u'A');
  EXPECT_EQ(work[3].flat[0x4A], u'\u00A2');
  EXPECT_EQ(work[1].flat[0xC1], u'A');
  EBCDICTranscoders::instance().clear();
  KW_SetUniBaseDirectory(u"");
}

}  // namespace
