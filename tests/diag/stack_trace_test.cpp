// Stack traces of a known call chain and of a fault, the format's sequences, and lookups that
// find nothing.

#include <kwuni/diag.h>

#include <gtest/gtest.h>
#include <sys/auxv.h>
#include <unistd.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

std::string traced;

[[gnu::noinline]] void inner(unsigned skip) {
  std::ostringstream out;
  EXPECT_TRUE(sym_engine::stack_trace(out, skip, "%s|%f|%l\n"));
  traced = out.str();
}
[[gnu::noinline]] void middle(unsigned skip) {
  inner(skip);
  asm volatile("");  // keeps the call from becoming a jump
}
[[gnu::noinline]] void outer(unsigned skip) {
  middle(skip);
  asm volatile("");
}

TEST(StackTrace, NamesTheCallChainInOrderWithFilesAndLines) {
  outer(0);
  const std::vector<std::string> frames = lines(traced);
  ASSERT_GE(frames.size(), 5u) << traced;
  EXPECT_EQ(frames[0].rfind("sym_engine::stack_trace()|", 0), 0u) << frames[0];  // frame 0: the trace itself
  const char* const chain[] = {"inner()", "middle()", "outer()"};
  for (std::size_t k = 0; k < 3; ++k) {
    const std::string& frame = frames[k + 1];
    EXPECT_NE(frame.find(std::string("::") + chain[k] + "|"), std::string::npos) << frame;
    EXPECT_NE(frame.find("stack_trace_test.cpp|"), std::string::npos) << frame;
    EXPECT_GT(std::stoi(frame.substr(frame.rfind('|') + 1)), 20) << frame;
  }
  outer(2);  // the trace and inner skipped
  EXPECT_NE(lines(traced).at(0).find("middle()"), std::string::npos) << traced;
  outer(100000);
  EXPECT_EQ(traced, "");
}

// A context of live registers, without recorded frames: the walk unwinds the stack they describe.
[[gnu::noinline]] void traceOwnRegisters() {
  CONTEXT context{};
  std::ostringstream out;  // before the capture: what follows it is this file's own code
  getcontext(&context.registers);
  EXPECT_TRUE(sym_engine::stack_trace(out, &context, 0, "%s|%f|%l\n"));
  traced = out.str();
}
[[gnu::noinline]] void callsTraceOwnRegisters() {
  traceOwnRegisters();
  asm volatile("");
}

TEST(StackTrace, UnwindsLiveRegisters) {
  callsTraceOwnRegisters();
  const std::vector<std::string> frames = lines(traced);
  ASSERT_GE(frames.size(), 3u) << traced;
  EXPECT_EQ(frames[0].rfind("(anonymous namespace)::traceOwnRegisters()|", 0), 0u) << frames[0];
  EXPECT_EQ(frames[1].rfind("(anonymous namespace)::callsTraceOwnRegisters()|", 0), 0u) << frames[1];
  EXPECT_NE(frames[2].find("StackTrace_UnwindsLiveRegisters_Test::TestBody()|"), std::string::npos) << frames[2];
  for (std::size_t k = 0; k < 3; ++k) EXPECT_NE(frames[k].find("stack_trace_test.cpp|"), std::string::npos) << frames[k];
}

volatile std::uintptr_t unmapped = 0x10;
constexpr int faultLine = __LINE__ + 3;
[[gnu::noinline, gnu::no_sanitize("undefined", "address")]] void faulting() {
  asm volatile("");
  *reinterpret_cast<volatile int*>(unmapped) = 7;
}

TEST(StackTrace, OfAFaultStartsAtTheFaultingLine) {
  const se_translator guard;
  try {
    faulting();
    FAIL() << "nothing thrown";
  } catch (const se_translator::access_violation& e) {
    std::ostringstream out;
    ASSERT_TRUE(sym_engine::stack_trace(out, e.info()->ContextRecord, 0, "%s %l\n"));
    const std::vector<std::string> frames = lines(out.str());
    ASSERT_GE(frames.size(), 2u);
    EXPECT_EQ(frames[0], "(anonymous namespace)::faulting() " + std::to_string(faultLine));
    EXPECT_NE(frames[1].find("StackTrace_OfAFaultStartsAtTheFaultingLine_Test::TestBody()"), std::string::npos)
        << frames[1];
  }
}

// A context of two frames in a module where no symbol or line covers them: the file header of
// the kernel's virtual shared object.
CONTEXT unknownFrames() {
  CONTEXT context{};
  context.frameCount = 2;
  context.frames[0] = context.frames[1] = getauxval(AT_SYSINFO_EHDR) + 8;
  return context;
}

TEST(StackTrace, FormatSequencesAndPlaceholders) {
  struct Case { std::string format; std::string frame; };
  const std::string vdso = "[vdso: " + std::to_string(getpid()) + "]";  // as the memory map names it
  const Case cases[] = {
      {"%m!%s+%sd %f(%l)\n", vdso + "!?()+0  (0)\n"},
      {"%%|%q|%ld|%", "%|%q|0|%"},
      {"plain", "plain"},
      {"", ""},
  };
  for (const Case& c : cases) {
    CONTEXT context = unknownFrames();
    std::ostringstream out;
    EXPECT_TRUE(sym_engine::stack_trace(out, &context, 0, c.format.c_str())) << c.format;
    EXPECT_EQ(out.str(), c.frame + c.frame) << c.format;
  }
  CONTEXT context = unknownFrames();
  std::ostringstream out;
  EXPECT_FALSE(sym_engine::stack_trace(out, &context, 0, nullptr));
  EXPECT_FALSE(sym_engine::stack_trace(out, 0, nullptr));
  EXPECT_FALSE(sym_engine::stack_trace(out, nullptr, 0, "%s"));
  context.frames[0] = 0x10;  // in no module: no first frame
  EXPECT_FALSE(sym_engine::stack_trace(out, &context, 0, "%s"));
  EXPECT_EQ(out.str(), "");
}

TEST(StackTrace, LookupsRefuseBadBuffersAndCutLongNames) {
  sym_engine engine(reinterpret_cast<std::uintptr_t>(&inner) + 1);
  ASSERT_TRUE(engine.check());
  char buffer[512];
  unsigned line = 0, displacement = 0;
  EXPECT_EQ(engine.symbol(nullptr, 10, &displacement), 0u);
  EXPECT_EQ(engine.symbol(buffer, 0, &displacement), 0u);
  EXPECT_EQ(engine.symbol(buffer, sizeof buffer, reinterpret_cast<unsigned*>(0x10)), 0u);
  EXPECT_EQ(engine.fileline(reinterpret_cast<char*>(0x10), 10, &line, &displacement), 0u);
  ASSERT_GT(engine.symbol(buffer, sizeof buffer, &displacement), 0u);
  EXPECT_STREQ(buffer, "(anonymous namespace)::inner()");
  EXPECT_EQ(displacement, 1u);
  EXPECT_EQ(engine.symbol(buffer, 8, nullptr), 7u);
  EXPECT_STREQ(buffer, "(anonym");
  ASSERT_GT(engine.fileline(buffer, sizeof buffer, &line, &displacement), 8u);
  EXPECT_NE(std::string(buffer).find("stack_trace_test.cpp"), std::string::npos);
  EXPECT_EQ(engine.fileline(buffer, 5, &line, nullptr), 4u);
  EXPECT_EQ(engine.module(buffer, sizeof buffer), std::string("kwuni_tests").size());
  EXPECT_STREQ(buffer, "kwuni_tests");
}

// Names longer than a lookup's 512-byte buffer: a function template whose demangled name runs to
// about 650 characters, in a source file whose name is longer than 511 characters. Whatever
// follows the #line below is reported as lines of that file.
#line 1 "a_directory_with_a_rather_long_name_00/a_directory_with_a_rather_long_name_01/a_directory_with_a_rather_long_name_02/a_directory_with_a_rather_long_name_03/a_directory_with_a_rather_long_name_04/a_directory_with_a_rather_long_name_05/a_directory_with_a_rather_long_name_06/a_directory_with_a_rather_long_name_07/a_directory_with_a_rather_long_name_08/a_directory_with_a_rather_long_name_09/a_directory_with_a_rather_long_name_10/a_directory_with_a_rather_long_name_11/a_directory_with_a_rather_long_name_12/a_directory_with_a_rather_long_name_13/long_source.cpp"
template <typename Sequence>
[[gnu::noinline]] void lengthy() {
  std::ostringstream out;
  EXPECT_TRUE(sym_engine::stack_trace(out, 1, "%s\n%f\n"));
  traced = out.str();
}

TEST(StackTrace, LongNamesAreCutTo511Characters) {
  lengthy<std::make_integer_sequence<int, 150>>();
  const std::vector<std::string> frame = lines(traced);
  ASSERT_GE(frame.size(), 2u);
  EXPECT_EQ(frame[0].size(), 511u);
  EXPECT_EQ(frame[0].rfind("void (anonymous namespace)::lengthy<std::integer_sequence<int, 0, 1, 2, ", 0), 0u) << frame[0];
  EXPECT_EQ(frame[1].size(), 511u);
  EXPECT_NE(frame[1].find("a_directory_with_a_rather_long_name_00/"), std::string::npos) << frame[1];
}

}  // namespace
