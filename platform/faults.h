// Processor faults handed to a per-thread translator, and memory probes that cannot fault.
//
// The first translator installed puts process-wide handlers for SIGSEGV, SIGBUS, SIGFPE, SIGILL
// and SIGTRAP in place, on an alternate stack. A fault on a thread with a translator is recorded
// (code, address, registers, the stack's return addresses) in that thread's own block, and the
// thread resumes in a function that calls the translator as if the faulting instruction had
// called it, so that what the translator throws unwinds from the fault; after a stack overflow
// it resumes on the alternate stack, through a trampoline whose unwinding information leads back
// to the faulting frame. A fault on any other thread goes to the handler that was there before,
// or ends the process as it would have.
#pragma once

#include <kwuni/diag.h>

#include <cstddef>

namespace sys {

using TranslatorFunction = void (*)(unsigned int code, EXCEPTION_POINTERS* info);

// Installs the calling thread's translator (null: none) and returns the one it replaces.
TranslatorFunction _set_se_translator(TranslatorFunction translator);

// Whether any byte of [address, address + size) cannot be read, or written: answered from the
// process's memory map, without touching the memory. A size of 0 is never bad.
BOOL IsBadReadPtr(const void* address, std::size_t size);
BOOL IsBadWritePtr(void* address, std::size_t size);

}  // namespace sys
