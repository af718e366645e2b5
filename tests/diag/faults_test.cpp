// Real processor faults caught as their se_translator classes, on the main thread and others,
// again and again; every exception code's class, name and description; memory probes.

#include <kwuni/diag.h>

#include "platform/faults.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <string>
#include <thread>

namespace {

using S = se_translator;

// AddressSanitizer and ThreadSanitizer catch deadly signals themselves: they report a fault and
// exit instead of dying by the signal.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool sanitizerOwnsFaults = true;
#else
constexpr bool sanitizerOwnsFaults = false;
#endif

volatile std::uintptr_t unmapped = 0x10;
volatile int zero = 0;

// Each provokes one fault; built so that no sanitizer stops it first.
[[gnu::noinline, gnu::no_sanitize("undefined", "address")]] void readUnmapped() {
  [[maybe_unused]] const volatile int value = *reinterpret_cast<volatile int*>(unmapped);
}
[[gnu::noinline, gnu::no_sanitize("undefined", "address")]] void writeUnmapped() {
  *reinterpret_cast<volatile int*>(unmapped) = 1;
}
[[gnu::noinline, gnu::no_sanitize("undefined")]] void divideByZero() {
  [[maybe_unused]] const volatile int quotient = 1 / zero;
}
[[gnu::noinline]] void illegalInstruction() { asm volatile("ud2"); }
[[gnu::noinline]] void breakpoint() { asm volatile("int3"); }

struct Fault {
  const char* name;
  void (*provoke)();
  unsigned code;
};

const Fault faults[] = {
    {"read", readUnmapped, EXCEPTION_ACCESS_VIOLATION},
    {"write", writeUnmapped, EXCEPTION_ACCESS_VIOLATION},
    {"divide", divideByZero, EXCEPTION_INT_DIVIDE_BY_ZERO},
    {"illegal", illegalInstruction, EXCEPTION_ILLEGAL_INSTRUCTION},
    {"breakpoint", breakpoint, EXCEPTION_BREAKPOINT},
};

// The code of what the fault threw, 0 when nothing was thrown.
unsigned caughtCode(void (*provoke)()) {
  try {
    provoke();
  } catch (const S::exception& e) {
    return e.code();
  }
  return 0;
}

TEST(Faults, ArriveAsTheirClassesAgainAndAgain) {
  const S guard;
  for (int round = 0; round < 3; ++round) {
    for (const Fault& f : faults) EXPECT_EQ(caughtCode(f.provoke), f.code) << f.name << " round " << round;
  }
  try {
    writeUnmapped();
    FAIL() << "nothing thrown";
  } catch (const S::access_violation& e) {
    const EXCEPTION_RECORD& record = *e.info()->ExceptionRecord;
    EXPECT_EQ(record.NumberParameters, 2u);
    EXPECT_EQ(record.ExceptionInformation[0], 1u);  // a write
    EXPECT_EQ(record.ExceptionInformation[1], 0x10u);
    EXPECT_STREQ(e.name(), "Access Violation");
    EXPECT_NE(e.info()->ContextRecord->frameCount, 0u);
  }
  try {
    readUnmapped();
  } catch (const S::access_violation& e) {
    EXPECT_EQ(e.info()->ExceptionRecord->ExceptionInformation[0], 0u);  // a read
  }
  EXPECT_THROW(divideByZero(), S::int_divide_by_zero);
  EXPECT_THROW(illegalInstruction(), S::illegal_instruction);
  EXPECT_THROW(breakpoint(), S::breakpoint);
}

TEST(Faults, EachThreadHasItsOwnTranslator) {
  unsigned onThread = 0;
  std::thread worker([&onThread] {
    const S guard;
    onThread = caughtCode(divideByZero) == 0xC0000094 ? caughtCode(writeUnmapped) : 0;
  });
  worker.join();
  EXPECT_EQ(onThread, 0xC0000005u);
}

TEST(Faults, ObjectsNestAndRestoreWhatWasBefore) {
  const S outer;
  { const S inner; }
  EXPECT_EQ(caughtCode(readUnmapped), 0xC0000005u);  // the outer one still translates
}

// Each call takes a page of stack that the next call cannot reuse.
[[gnu::noinline]] int recurseForever(int depth) {
  volatile char page[4096];
  page[0] = static_cast<char>(depth);
  if (depth < 0) return 0;  // never: counts up from 0
  return recurseForever(depth + 1) + page[0];
}

TEST(FaultsDeathTest, WithoutATranslatorTheProcessEndsAsBefore) {
  if (sanitizerOwnsFaults) GTEST_SKIP() << "the sanitizer reports the fault itself and exits";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  { const S once; }  // the handlers are in place, but no translator on this thread
  EXPECT_EXIT(writeUnmapped(), testing::KilledBySignal(SIGSEGV), "");
  EXPECT_EXIT(divideByZero(), testing::KilledBySignal(SIGFPE), "");
  EXPECT_EXIT(breakpoint(), testing::KilledBySignal(SIGTRAP), "");
  EXPECT_EXIT(recurseForever(0), testing::KilledBySignal(SIGSEGV), "");
  // A signal sent rather than raised by a fault is not translated either.
  EXPECT_EXIT(
      {
        const S guard;
        raise(SIGSEGV);
      },
      testing::KilledBySignal(SIGSEGV), "");
}

// On a thread with a small stack: overflows it twice; what each overflow threw.
struct Overflows {
  unsigned codes[2];
  unsigned frames[2];
};

void* overflowTwice(void* result) {
  auto& seen = *static_cast<Overflows*>(result);
  const S guard;
  for (int round = 0; round < 2; ++round) {
    try {
      recurseForever(0);
    } catch (const S::exception& e) {
      seen.codes[round] = e.code();
      seen.frames[round] = e.info()->ContextRecord->frameCount;
    }
  }
  return nullptr;
}

TEST(Faults, AStackOverflowIsThrownFromTheAlternateStack) {
#if defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "ThreadSanitizer runs signal handlers its own way; this path is checked without it";
#endif
  pthread_attr_t small;
  ASSERT_EQ(pthread_attr_init(&small), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&small, 256 * 1024), 0);
  Overflows seen{};
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &small, overflowTwice, &seen), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&small);
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(seen.codes[round], EXCEPTION_STACK_OVERFLOW) << "round " << round;
    EXPECT_GE(seen.frames[round], 50u) << "round " << round;  // a page a call, in 256 KiB
  }
}

template <typename Class>
bool throwsAs(unsigned code) {
  EXCEPTION_RECORD record{};
  record.ExceptionCode = code;
  EXCEPTION_POINTERS pointers{&record, nullptr};
  try {
    S::translator(0, &pointers);
  } catch (const Class& e) {
    return e.info() == &pointers && e.code() == code;
  } catch (...) {
  }
  return false;
}

TEST(Faults, EveryCodeHasItsClassNameAndDescription) {
  struct Kind { unsigned code; bool (*throwsItsClass)(unsigned); const char* name; const char* descriptionStart; };
  const Kind kinds[] = {
      {0x80000001, throwsAs<S::guard_page>, "Guard Page", "Guard Page Exception"},
      {0x80000002, throwsAs<S::datatype_misalignment>, "Datatype Misalignment", "The thread attempted to read or write data that is misaligned"},
      {0x80000003, throwsAs<S::breakpoint>, "Breakpoint", "A breakpoint was encountered"},
      {0x80000004, throwsAs<S::single_step>, "Single Step", "A trace trap"},
      {0xC0000005, throwsAs<S::access_violation>, "Access Violation", "The thread attempted to read from or write to"},
      {0xC0000006, throwsAs<S::in_page_error>, "In Page Error", "The thread tried to access a page that was not present"},
      {0xC0000008, throwsAs<S::invalid_handle>, "Invalid Handle", "Invalid Handle Exception"},
      {0xC0000017, throwsAs<S::no_memory>, "No Memory", "The allocation attempt failed"},
      {0xC000001D, throwsAs<S::illegal_instruction>, "Illegal Instruction", "The thread tried to execute an invalid instruction"},
      {0xC0000025, throwsAs<S::noncontinuable_exception>, "Noncontinuable Exception", "The thread attempted to continue"},
      {0xC0000026, throwsAs<S::invalid_disposition>, "Invalid Disposition", "An exception handler returned"},
      {0xC000008C, throwsAs<S::array_bounds_exceeded>, "Array Bounds Exceeded", "The thread attempted to access an array element"},
      {0xC000008D, throwsAs<S::flt_denormal_operand>, "Float Denormal Operand", "One of the operands"},
      {0xC000008E, throwsAs<S::flt_divide_by_zero>, "Float Divide by Zero", "The thread attempted to divide a floating-point"},
      {0xC000008F, throwsAs<S::flt_inexact_result>, "Float Inexact Result", "The result of a floating-point operation cannot"},
      {0xC0000090, throwsAs<S::flt_invalid_operation>, "Float Invalid Operation", "This exception represents any floating-point"},
      {0xC0000091, throwsAs<S::flt_overflow>, "Float Overflow", "The exponent of a floating-point operation is greater"},
      {0xC0000092, throwsAs<S::flt_stack_check>, "Float Stack Check", "The stack overflowed or underflowed"},
      {0xC0000093, throwsAs<S::flt_underflow>, "Float Underflow", "The exponent of a floating-point operation is less"},
      {0xC0000094, throwsAs<S::int_divide_by_zero>, "Integer Divide by Zero", "The thread attempted to divide an integer"},
      {0xC0000095, throwsAs<S::int_overflow>, "Integer Overflow", "The result of an integer operation caused a carry"},
      {0xC0000096, throwsAs<S::priv_instruction>, "Privileged Instruction", "The thread attempted to execute an instruction whose"},
      {0xC00000FD, throwsAs<S::stack_overflow>, "Stack Overflow", "The thread used up its stack"},
      {0xE06D7363, throwsAs<S::microsoft_cpp>, "Microsoft C++ Exception", "Microsoft C++ Exception"},
  };
  for (const Kind& k : kinds) {
    SCOPED_TRACE(k.name);
    EXPECT_TRUE(k.throwsItsClass(k.code));
    EXPECT_TRUE(throwsAs<S::exception>(k.code));
    EXPECT_STREQ(S::name(k.code), k.name);
    EXPECT_EQ(std::string(S::description(k.code)).rfind(k.descriptionStart, 0), 0u) << S::description(k.code);
  }
  EXPECT_TRUE(throwsAs<S::exception>(0xC0000409));
  EXPECT_FALSE(throwsAs<S::access_violation>(0xC0000409));
  EXPECT_STREQ(S::name(0xC0000409), "0xc0000409");
  EXPECT_STREQ(S::name(0x1), "0x1");
  EXPECT_STREQ(S::description(0xC0000409), "Unknown Exception");
}

TEST(Faults, ProbesAnswerWithoutTouchingMemory) {
  const long page = sysconf(_SC_PAGESIZE);
  const auto size = static_cast<std::size_t>(page);
  void* readOnly = mmap(nullptr, 3 * size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(readOnly, MAP_FAILED);
  char* bytes = static_cast<char*>(readOnly);
  ASSERT_EQ(mprotect(bytes + size, size, PROT_NONE), 0);
  ASSERT_EQ(mprotect(bytes + 2 * size, size, PROT_READ | PROT_WRITE), 0);
  int local = 0;
  struct Probe { const void* address; std::size_t size; BOOL badRead; BOOL badWrite; };
  const Probe probes[] = {
      {&local, sizeof local, FALSE, FALSE},  {nullptr, 1, TRUE, TRUE},       {nullptr, 0, FALSE, FALSE},
      {bytes, size, FALSE, TRUE},            {bytes + size, 1, TRUE, TRUE},  {bytes + size - 1, 2, TRUE, TRUE},
      {bytes + 2 * size, size, FALSE, FALSE}, {bytes + 2 * size - 1, 2, TRUE, TRUE},
      {reinterpret_cast<void*>(~std::uintptr_t{0} - 4), 16, TRUE, TRUE},  // wraps around
  };
  for (const Probe& p : probes) {
    SCOPED_TRACE(testing::Message() << "probe " << (&p - probes));
    EXPECT_EQ(sys::IsBadReadPtr(p.address, p.size), p.badRead);
    EXPECT_EQ(sys::IsBadWritePtr(const_cast<void*>(p.address), p.size), p.badWrite);
  }
  munmap(readOnly, 3 * size);
}

}  // namespace
