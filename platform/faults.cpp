#include "platform/faults.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>
#include <unwind.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

namespace sys {
namespace {

// Windows exception codes of the faults a signal reports.
constexpr DWORD codeDatatypeMisalignment = 0x80000002;
constexpr DWORD codeBreakpoint = 0x80000003;
constexpr DWORD codeSingleStep = 0x80000004;
constexpr DWORD codeAccessViolation = 0xC0000005;
constexpr DWORD codeInPageError = 0xC0000006;
constexpr DWORD codeIllegalInstruction = 0xC000001D;
constexpr DWORD codeArrayBoundsExceeded = 0xC000008C;
constexpr DWORD codeFltDivideByZero = 0xC000008E;
constexpr DWORD codeFltInexactResult = 0xC000008F;
constexpr DWORD codeFltInvalidOperation = 0xC0000090;
constexpr DWORD codeFltOverflow = 0xC0000091;
constexpr DWORD codeFltUnderflow = 0xC0000093;
constexpr DWORD codeIntDivideByZero = 0xC0000094;
constexpr DWORD codeIntOverflow = 0xC0000095;
constexpr DWORD codePrivInstruction = 0xC0000096;

DWORD exceptionCode(int signal, int code) {
  switch (signal) {
    case SIGSEGV: return code == SEGV_BNDERR ? codeArrayBoundsExceeded : codeAccessViolation;
    case SIGBUS: return code == BUS_ADRALN ? codeDatatypeMisalignment : codeInPageError;
    case SIGILL: return code == ILL_PRVOPC || code == ILL_PRVREG ? codePrivInstruction : codeIllegalInstruction;
    case SIGTRAP: return code == TRAP_TRACE ? codeSingleStep : codeBreakpoint;
    case SIGFPE:
      switch (code) {
        case FPE_INTDIV: return codeIntDivideByZero;
        case FPE_INTOVF: return codeIntOverflow;
        case FPE_FLTDIV: return codeFltDivideByZero;
        case FPE_FLTOVF: return codeFltOverflow;
        case FPE_FLTUND: return codeFltUnderflow;
        case FPE_FLTRES: return codeFltInexactResult;
        case FPE_FLTSUB: return codeArrayBoundsExceeded;
        default: return codeFltInvalidOperation;
      }
    default: return codeAccessViolation;
  }
}

constexpr std::array handledSignals = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP};
constexpr std::size_t alternateStackSize = 64 * 1024;

// What a thread with a translator keeps: the translator, its alternate signal stack, and the
// record of its last fault, which stays until the next one.
struct ThreadFaults {
  TranslatorFunction translator = nullptr;
  bool redirecting = false;  // between the fault and the call of the translator
  std::uintptr_t faultAddress = 0;
  EXCEPTION_RECORD record{};
  CONTEXT context{};
  EXCEPTION_POINTERS pointers{};
#if defined(__x86_64__)
  struct _libc_fpstate floatingPoint{};
#endif
  void* alternateStack = nullptr;
};

pthread_key_t threadKey;
std::once_flag installed;
std::array<struct sigaction, handledSignals.size()> previousActions{};

void releaseThread(void* block) {
  auto* faults = static_cast<ThreadFaults*>(block);
  if (faults->alternateStack != nullptr) {
    stack_t current{};
    if (sigaltstack(nullptr, &current) == 0 && current.ss_sp == faults->alternateStack) {
      stack_t off{};
      off.ss_flags = SS_DISABLE;
      sigaltstack(&off, nullptr);
    }
    std::free(faults->alternateStack);
  }
  delete faults;
}

ThreadFaults* currentThread() { return static_cast<ThreadFaults*>(pthread_getspecific(threadKey)); }

struct sigaction& previousAction(int signal) {
  for (std::size_t k = 0; k < handledSignals.size(); ++k) {
    if (handledSignals[k] == signal) return previousActions[k];
  }
  return previousActions[0];
}

// A signal this thread does not translate: to the handler that was there before, or, where there
// was none, the default action (the re-raised signal is delivered when the handler returns).
void passOn(int signal, siginfo_t* info, void* context) {
  const struct sigaction& previous = previousAction(signal);
  if ((previous.sa_flags & SA_SIGINFO) != 0 && previous.sa_sigaction != nullptr) {
    previous.sa_sigaction(signal, info, context);
    return;
  }
  if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
    previous.sa_handler(signal);
    return;
  }
  struct sigaction defaults{};
  defaults.sa_handler = SIG_DFL;
  sigemptyset(&defaults.sa_mask);
  sigaction(signal, &defaults, nullptr);
  raise(signal);
}

struct Backtrace {
  ThreadFaults* faults;
  unsigned seen;
};

_Unwind_Reason_Code collectFrame(_Unwind_Context* unwind, void* state) {
  auto& trace = *static_cast<Backtrace*>(state);
  CONTEXT& context = trace.faults->context;
  const unsigned frame = trace.seen++;
  if (frame == 0) return _URC_NO_REASON;  // the function the fault resumed in
  if (context.frameCount == CONTEXT::maxFrames) return _URC_END_OF_STACK;
  const std::uintptr_t ip = _Unwind_GetIP(unwind);
  if (ip == 0) return _URC_END_OF_STACK;
  // The faulting instruction itself, then the calls: a return address less one lies in its call.
  context.frames[context.frameCount++] = frame == 1 ? trace.faults->faultAddress : ip - 1;
  return _URC_NO_REASON;
}

// Where a translated fault resumes, on the faulting thread's own stack, as if called by the
// faulting instruction: records the stack and calls the translator, which throws.
[[gnu::noinline, gnu::force_align_arg_pointer]] void resumeFromFault() {
  ThreadFaults* faults = currentThread();
  faults->context.frameCount = 0;
  Backtrace trace{faults, 0};
  _Unwind_Backtrace(collectFrame, &trace);
  faults->redirecting = false;
  faults->translator(faults->record.ExceptionCode, &faults->pointers);
  std::abort();  // a translator that returns leaves nowhere to go
}

void onFault(int signal, siginfo_t* info, void* context) {
  ThreadFaults* faults = currentThread();
  const int savedErrno = errno;
  // Only faults are translated, not signals sent by kill or raise, and not a fault on the way
  // to the translator (its stack is exhausted, say).
  if (faults == nullptr || faults->translator == nullptr || faults->redirecting || info->si_code <= 0) {
    passOn(signal, info, context);
    errno = savedErrno;
    return;
  }
#if defined(__x86_64__)
  auto* registers = static_cast<ucontext_t*>(context);
  greg_t* general = registers->uc_mcontext.gregs;
  const auto pc = static_cast<std::uintptr_t>(general[REG_RIP]);

  EXCEPTION_RECORD& record = faults->record;
  record = EXCEPTION_RECORD{};
  record.ExceptionCode = exceptionCode(signal, info->si_code);
  record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
  record.ExceptionAddress = reinterpret_cast<void*>(pc);
  if (record.ExceptionCode == codeAccessViolation) {
    constexpr greg_t pageFaultWrite = 0x2;  // the page-fault error code's write bit
    record.NumberParameters = 2;
    record.ExceptionInformation[0] = (general[REG_ERR] & pageFaultWrite) != 0 ? 1 : 0;
    record.ExceptionInformation[1] = reinterpret_cast<std::uintptr_t>(info->si_addr);
  }
  faults->context.registers = *registers;
  if (registers->uc_mcontext.fpregs != nullptr) {
    faults->floatingPoint = *registers->uc_mcontext.fpregs;
    faults->context.registers.uc_mcontext.fpregs = &faults->floatingPoint;
  }
  faults->context.frameCount = 0;
  faults->pointers = EXCEPTION_POINTERS{&faults->record, &faults->context};
  faults->faultAddress = pc;
  faults->redirecting = true;

  // Push a return address just past the faulting instruction (the unwinder looks up the
  // instruction before a return address: the faulting one) and resume in resumeFromFault.
  const auto sp = static_cast<std::uintptr_t>(general[REG_RSP]) - sizeof(std::uintptr_t);
  *reinterpret_cast<std::uintptr_t*>(sp) = pc + 1;
  general[REG_RSP] = static_cast<greg_t>(sp);
  general[REG_RIP] = static_cast<greg_t>(reinterpret_cast<std::uintptr_t>(&resumeFromFault));
#else
  passOn(signal, info, context);
#endif
  errno = savedErrno;
}

void installHandlers() {
  pthread_key_create(&threadKey, releaseThread);
  for (std::size_t k = 0; k < handledSignals.size(); ++k) {
    struct sigaction action{};
    action.sa_sigaction = onFault;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    sigaction(handledSignals[k], &action, &previousActions[k]);
  }
}

// This thread's block, made with an alternate signal stack when the thread has none, so that a
// fault on an exhausted stack still reaches the handler.
ThreadFaults* threadBlock() {
  if (ThreadFaults* existing = currentThread()) return existing;
  auto* faults = new ThreadFaults;
  stack_t current{};
  if (sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) != 0) {
    faults->alternateStack = std::malloc(alternateStackSize);
    if (faults->alternateStack != nullptr) {
      stack_t stack{};
      stack.ss_sp = faults->alternateStack;
      stack.ss_size = alternateStackSize;
      if (sigaltstack(&stack, nullptr) != 0) {
        std::free(faults->alternateStack);
        faults->alternateStack = nullptr;
      }
    }
  }
  pthread_setspecific(threadKey, faults);
  return faults;
}

// Whether every byte of [address, address + size) lies in mappings with the permission (the
// character 'r' or 'w' at its place in /proc/self/maps).
bool mapped(std::uintptr_t address, std::size_t size, std::size_t permission, char wanted) {
  if (size == 0) return true;
  if (address == 0 || address + size < address) return false;
  const int maps = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
  if (maps < 0) return false;
  std::uintptr_t covered = address;  // everything below is known to be mapped as wanted
  const std::uintptr_t end = address + size;
  char buffer[4096];
  std::size_t held = 0;
  bool done = false;
  while (!done) {
    const ssize_t got = read(maps, buffer + held, sizeof buffer - held);
    if (got <= 0) break;
    held += static_cast<std::size_t>(got);
    std::size_t start = 0;
    for (std::size_t i = 0; i < held && !done; ++i) {
      if (buffer[i] != '\n') continue;
      // "low-high perms ...": the range, then four permission characters.
      char* cursor = buffer + start;
      const std::uintptr_t low = std::strtoull(cursor, &cursor, 16);
      const std::uintptr_t high = std::strtoull(cursor + 1, &cursor, 16);
      const bool allowed = cursor[1 + permission] == wanted;
      if (low <= covered && covered < high) {
        if (!allowed) {
          done = true;
        } else {
          covered = high;
          done = covered >= end;
        }
      }
      start = i + 1;
    }
    std::memmove(buffer, buffer + start, held - start);
    held -= start;
  }
  close(maps);
  return covered >= end;
}

}  // namespace

TranslatorFunction _set_se_translator(TranslatorFunction translator) {
  std::call_once(installed, installHandlers);
  ThreadFaults* faults = threadBlock();
  const TranslatorFunction previous = faults->translator;
  faults->translator = translator;
  return previous;
}

BOOL IsBadReadPtr(const void* address, std::size_t size) {
  return mapped(reinterpret_cast<std::uintptr_t>(address), size, 0, 'r') ? FALSE : TRUE;
}

BOOL IsBadWritePtr(void* address, std::size_t size) {
  return mapped(reinterpret_cast<std::uintptr_t>(address), size, 1, 'w') ? FALSE : TRUE;
}

}  // namespace sys
