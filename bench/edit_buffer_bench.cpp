// One keystroke's work in a full 24 x 80 screen field: insert, overwrite and remove at the
// start, the middle and the end of a 1920-cell DbcsOpen field of CCSID 930 holding 1898 cells
// of alternating runs, 8 single-byte characters then 8 double-byte ones between SO and SI. Each
// iteration reloads the field untimed and times the one call.

#include <kwuni/dbcs.h>
#include <kwuni/ebcdic.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <vector>

namespace {

using velmora::DBCSEditBuffer;

constexpr int screen = 1920;
constexpr int pairs = 73;  // 73 x (8 + 1 + 16 + 1) = 1898 cells
constexpr int pairCells = 26;
constexpr WCHAR kanji = u'漢';

std::vector<DWORD> alternatingRuns() {
  std::vector<DWORD> cells;
  for (int pair = 0; pair < pairs; ++pair) {
    for (int k = 0; k < 8; ++k) cells.push_back(static_cast<DWORD>(u'A' + k));
    cells.push_back(DBCSEditBuffer::shiftOut);
    for (int k = 0; k < 8; ++k) {
      cells.push_back(kanji);
      cells.push_back(DBCSEditBuffer::space);
    }
    cells.push_back(DBCSEditBuffer::shiftIn);
  }
  cells.resize(screen, 0);
  return cells;
}

// Positions in the field: a single-byte character at the start, a double-byte character in
// the middle run, and the end: after the data for insert and overwrite, the last double-byte
// character for remove.
constexpr int start = 0;
constexpr int middle = 36 * pairCells + 9 + 6;
constexpr int afterData = pairs * pairCells;
constexpr int lastCharacter = afterData - 3;

void timeEdits(benchmark::State& state, const std::function<int(DBCSEditBuffer&)>& edit) {
  KW_SetUniBaseDirectory(KWUNI_BUILD_DIR);
  const auto source = alternatingRuns();
  DBCSEditBuffer field(930, velmora::DbcsOpen, source.data(), 0, screen);
  int result = 0;
  for (auto _ : state) {
    field.load(source.data(), 0, screen);
    const auto begin = std::chrono::steady_clock::now();
    result = edit(field);
    const auto end = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(result);
    state.SetIterationTime(std::chrono::duration<double>(end - begin).count());
  }
  if (result < 0) state.SkipWithError("the field refused the edit");
}

void insertAt(benchmark::State& state, int pos, WCHAR ch) {
  timeEdits(state, [=](DBCSEditBuffer& f) { return f.insert(pos, ch); });
}
void overwriteAt(benchmark::State& state, int pos, WCHAR ch) {
  timeEdits(state, [=](DBCSEditBuffer& f) { return f.overwrite(pos, ch); });
}
void removeAt(benchmark::State& state, int pos) {
  timeEdits(state, [=](DBCSEditBuffer& f) { return f.remove(pos, true); });
}

void Insert_Start(benchmark::State& s) { insertAt(s, start, u'Z'); }
void Insert_Middle(benchmark::State& s) { insertAt(s, middle, kanji); }
void Insert_End(benchmark::State& s) { insertAt(s, afterData, kanji); }
void Overwrite_Start(benchmark::State& s) { overwriteAt(s, start, u'Z'); }
void Overwrite_Middle(benchmark::State& s) { overwriteAt(s, middle, u'字'); }
void Overwrite_End(benchmark::State& s) { overwriteAt(s, afterData, kanji); }
void Remove_Start(benchmark::State& s) { removeAt(s, start); }
void Remove_Middle(benchmark::State& s) { removeAt(s, middle); }
void Remove_End(benchmark::State& s) { removeAt(s, lastCharacter); }
// A single-byte character over the first SO moves it and walks every later cell of the field.
void Overwrite_FirstShiftOut(benchmark::State& s) { overwriteAt(s, 8, u'Z'); }
// Typing 20 cells past the data: the empty cells before the position are filled first.
void Overwrite_PastTheData(benchmark::State& s) { overwriteAt(s, screen - 2, u'Z'); }

BENCHMARK(Insert_Start)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(Insert_Middle)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(Insert_End)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(Overwrite_Start)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(Overwrite_Middle)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(Overwrite_End)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(Remove_Start)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(Remove_Middle)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(Remove_End)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(Overwrite_FirstShiftOut)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(Overwrite_PastTheData)->UseManualTime()->Unit(benchmark::kMicrosecond);

// normalize of the same text in a DbcsNone field: every mark and double-byte character goes,
// each removal closing the rest of the field up.
void Normalize_NoneField(benchmark::State& state) {
  KW_SetUniBaseDirectory(KWUNI_BUILD_DIR);
  const auto source = alternatingRuns();
  DBCSEditBuffer field(930, velmora::DbcsNone, source.data(), 0, screen);
  for (auto _ : state) {
    field.load(source.data(), 0, screen);
    const auto begin = std::chrono::steady_clock::now();
    field.normalize();
    const auto end = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(end - begin).count());
  }
  if (field.getDataLength() != pairs * 8) state.SkipWithError("normalize left double-byte text");
}
BENCHMARK(Normalize_NoneField)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
