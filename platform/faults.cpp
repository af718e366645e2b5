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

// The exception code of a fault, by its signal and the kernel's reason for it.
DWORD exceptionCode(int signal, int code) {
  switch (signal) {
    case SIGSEGV: return code == SEGV_BNDERR ? EXCEPTION_ARRAY_BOUNDS_EXCEEDED : EXCEPTION_ACCESS_VIOLATION;
    case SIGBUS: return code == BUS_ADRALN ? EXCEPTION_DATATYPE_MISALIGNMENT : EXCEPTION_IN_PAGE_ERROR;
    case SIGILL:
      return code == ILL_PRVOPC || code == ILL_PRVREG ? EXCEPTION_PRIV_INSTRUCTION : EXCEPTION_ILLEGAL_INSTRUCTION;
    case SIGTRAP: return code == TRAP_TRACE ? EXCEPTION_SINGLE_STEP : EXCEPTION_BREAKPOINT;
    case SIGFPE:
      switch (code) {
        case FPE_INTDIV: return EXCEPTION_INT_DIVIDE_BY_ZERO;
        case FPE_INTOVF: return EXCEPTION_INT_OVERFLOW;
        case FPE_FLTDIV: return EXCEPTION_FLT_DIVIDE_BY_ZERO;
        case FPE_FLTOVF: return EXCEPTION_FLT_OVERFLOW;
        case FPE_FLTUND: return EXCEPTION_FLT_UNDERFLOW;
        case FPE_FLTRES: return EXCEPTION_FLT_INEXACT_RESULT;
        case FPE_FLTSUB: return EXCEPTION_ARRAY_BOUNDS_EXCEEDED;
        default: return EXCEPTION_FLT_INVALID_OPERATION;
      }
    default: return EXCEPTION_ACCESS_VIOLATION;
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

#if defined(__x86_64__)
// Redirecting a fault to the translator: x86-64 only (elsewhere faults go on as before).
struct Backtrace {
  ThreadFaults* faults;
  bool reached;  // the faulting frame has been seen
};

_Unwind_Reason_Code collectFrame(_Unwind_Context* unwind, void* state) {
  auto& trace = *static_cast<Backtrace*>(state);
  CONTEXT& context = trace.faults->context;
  const std::uintptr_t ip = _Unwind_GetIP(unwind);
  if (ip == 0 || context.frameCount == CONTEXT::maxFrames) return _URC_END_OF_STACK;
  // The frames of the way to the translator come first; the faulting frame is the one that
  // "returns" just past the faulting instruction. Then the calls: a return address less one
  // lies in its call.
  if (!trace.reached) {
    if (ip != trace.faults->faultAddress + 1) return _URC_NO_REASON;
    trace.reached = true;
    context.frames[context.frameCount++] = trace.faults->faultAddress;
    return _URC_NO_REASON;
  }
  context.frames[context.frameCount++] = ip - 1;
  return _URC_NO_REASON;
}

}  // namespace

// Where a translated fault resumes, as if called by the faulting instruction: records the stack
// and calls the translator, which throws.
extern "C" [[gnu::noinline, gnu::force_align_arg_pointer, gnu::visibility("hidden")]] void
kwuniResumeFromFault() {
  ThreadFaults* faults = currentThread();
  faults->context.frameCount = 0;
  Backtrace trace{faults, false};
  _Unwind_Backtrace(collectFrame, &trace);
  if (faults->context.frameCount == 0) {
    faults->context.frames[0] = faults->faultAddress;
    faults->context.frameCount = 1;
  }
  faults->redirecting = false;
  faults->translator(faults->record.ExceptionCode, &faults->pointers);
  std::abort();  // a translator that returns leaves nowhere to go
}

// After a stack overflow the translator runs on the alternate signal stack. The fault resumes in
// this trampoline with the stack pointer at a block of two words: the faulting thread's stack
// pointer, and the address just past the faulting instruction. Its unwinding information says
// so (the frame's address is the first word, the return address is the second), so that the
// exception unwinds from the alternate stack into the faulting frame on the thread's own stack.
extern "C" void kwuniFaultTrampoline();
asm(R"(
    .text
    .p2align 4
    .globl kwuniFaultTrampoline
    .hidden kwuniFaultTrampoline
    .type kwuniFaultTrampoline, @function
kwuniFaultTrampoline:
    .cfi_startproc
    # DW_CFA_def_cfa_expression: the frame's address is [rsp + 0] (DW_OP_breg7 0, DW_OP_deref)
    .cfi_escape 0x0f, 0x03, 0x77, 0x00, 0x06
    # DW_CFA_expression: the return address (rip, 16) is stored at rsp + 8 (DW_OP_breg7 8)
    .cfi_escape 0x10, 0x10, 0x02, 0x77, 0x08
    call kwuniResumeFromFault
    ud2
    .cfi_endproc
    .size kwuniFaultTrampoline, .-kwuniFaultTrampoline
)");

namespace {

// How far from the stack pointer a faulting access may lie and still be the stack's own end:
// mapped stack never faults, so a fault this close to it is a stack overflow.
constexpr std::uintptr_t stackReach = 64 * 1024;
// What the way to the translator needs on the alternate stack: the record of the stack, the
// translator and the unwinding of its exception.
constexpr std::uintptr_t translatorRoom = 24 * 1024;

bool nearStack(std::uintptr_t address, std::uintptr_t stackPointer) {
  const std::uintptr_t distance = address > stackPointer ? address - stackPointer : stackPointer - address;
  return distance <= stackReach;
}

// Where on the alternate stack the trampoline's block goes, below the handler's own frame (the
// signal frame above it is left behind when the handler returns); 0 when the handler does not
// run on an alternate stack or too little of it is left.
std::uintptr_t blockOnAlternateStack() {
  stack_t current{};
  if (sigaltstack(nullptr, &current) != 0 || (current.ss_flags & SS_ONSTACK) == 0) return 0;
  const auto low = reinterpret_cast<std::uintptr_t>(current.ss_sp);
  const auto here = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
  if (here < low || here >= low + current.ss_size) return 0;
  const std::uintptr_t block = (here - 1024) & ~std::uintptr_t{15};
  return block >= low + translatorRoom ? block : 0;
}
#endif

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
  const auto faultingAccess = reinterpret_cast<std::uintptr_t>(info->si_addr);
  const bool overflow =
      signal == SIGSEGV && nearStack(faultingAccess, static_cast<std::uintptr_t>(general[REG_RSP]));
  record.ExceptionCode = overflow ? EXCEPTION_STACK_OVERFLOW : exceptionCode(signal, info->si_code);
  record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
  record.ExceptionAddress = reinterpret_cast<void*>(pc);
  if (signal == SIGSEGV) {
    constexpr greg_t pageFaultWrite = 0x2;  // the page-fault error code's write bit
    record.NumberParameters = 2;
    record.ExceptionInformation[0] = (general[REG_ERR] & pageFaultWrite) != 0 ? 1 : 0;
    record.ExceptionInformation[1] = faultingAccess;
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

  // The unwinder looks up the instruction before a return address: one just past the faulting
  // instruction makes the faulting frame look as if it had called what comes next.
  const auto stackPointer = static_cast<std::uintptr_t>(general[REG_RSP]);
  if (overflow) {
    // No stack left to run on: the trampoline, on the alternate stack.
    const std::uintptr_t block = blockOnAlternateStack();
    if (block == 0) {
      faults->redirecting = false;
      passOn(signal, info, context);
      errno = savedErrno;
      return;
    }
    reinterpret_cast<std::uintptr_t*>(block)[0] = stackPointer;
    reinterpret_cast<std::uintptr_t*>(block)[1] = pc + 1;
    general[REG_RSP] = static_cast<greg_t>(block);
    general[REG_RIP] = static_cast<greg_t>(reinterpret_cast<std::uintptr_t>(&kwuniFaultTrampoline));
  } else {
    // Push that return address and resume in kwuniResumeFromFault on the thread's own stack.
    const std::uintptr_t sp = stackPointer - sizeof(std::uintptr_t);
    *reinterpret_cast<std::uintptr_t*>(sp) = pc + 1;
    general[REG_RSP] = static_cast<greg_t>(sp);
    general[REG_RIP] = static_cast<greg_t>(reinterpret_cast<std::uintptr_t>(&kwuniResumeFromFault));
  }
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
