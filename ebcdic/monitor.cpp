// Monitor: a critical section offered to the library's callers.

#include <kwuni/ebcdic.h>

#include "platform/critical_section.h"

#include <stdexcept>

namespace velmora {

Monitor::Monitor(bool preallocate, int spinCount) : section{} {
  constexpr DWORD preallocateEvent = 0x80000000;
  const auto count = static_cast<DWORD>(spinCount);
  if (sys::InitializeCriticalSectionAndSpinCount(&section, preallocate ? count | preallocateEvent : count) == FALSE) {
    throw std::runtime_error("Cannot initialise critical section");
  }
}

Monitor::~Monitor() { sys::DeleteCriticalSection(&section); }

void Monitor::enter() { sys::EnterCriticalSection(&section); }

void Monitor::leave() { sys::LeaveCriticalSection(&section); }

}  // namespace velmora
