// Critical sections: recursive locks held in a caller's CRITICAL_SECTION.
#pragma once

#include <kwuni/win32.h>

namespace sys {

// The top bit of spinCount asks Windows to preallocate the wait event; other bits set the spin
// count. Returns FALSE when the lock cannot be created.
BOOL InitializeCriticalSectionAndSpinCount(CRITICAL_SECTION* section, DWORD spinCount);
void EnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);

namespace testing {
// The spin count argument of the last InitializeCriticalSectionAndSpinCount call.
DWORD lastSpinCount();
// Makes the next InitializeCriticalSectionAndSpinCount calls fail (true) or succeed (false).
void failCriticalSections(bool fail);
}  // namespace testing

}  // namespace sys
