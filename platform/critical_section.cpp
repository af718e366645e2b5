#include "platform/critical_section.h"

#include <pthread.h>

#include <atomic>
#include <new>

namespace sys {
namespace {

static_assert(sizeof(pthread_mutex_t) <= sizeof(CRITICAL_SECTION),
              "the mutex must fit the section");
static_assert(alignof(pthread_mutex_t) <= alignof(CRITICAL_SECTION),
              "the section must align the mutex");

std::atomic<DWORD> lastSpin{0};
std::atomic<bool> failNext{false};

pthread_mutex_t* mutexIn(CRITICAL_SECTION* section) {
  return std::launder(static_cast<pthread_mutex_t*>(static_cast<void*>(section->opaque)));
}

}  // namespace

BOOL InitializeCriticalSectionAndSpinCount(CRITICAL_SECTION* section, DWORD spinCount) {
  lastSpin.store(spinCount);
  if (section == nullptr || failNext.load()) return FALSE;

  // A thread that already holds the section may enter it again, as on Windows. The spin count is
  // a tuning hint that a mutex has no use for.
  pthread_mutexattr_t attributes;
  if (pthread_mutexattr_init(&attributes) != 0) return FALSE;
  int status = pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  if (status == 0) {
    auto* mutex = new (section->opaque) pthread_mutex_t;
    status = pthread_mutex_init(mutex, &attributes);
  }
  pthread_mutexattr_destroy(&attributes);
  return status == 0 ? TRUE : FALSE;
}

void EnterCriticalSection(CRITICAL_SECTION* section) {
  if (section != nullptr) pthread_mutex_lock(mutexIn(section));
}

void LeaveCriticalSection(CRITICAL_SECTION* section) {
  if (section != nullptr) pthread_mutex_unlock(mutexIn(section));
}

void DeleteCriticalSection(CRITICAL_SECTION* section) {
  if (section != nullptr) pthread_mutex_destroy(mutexIn(section));
}

namespace testing {
DWORD lastSpinCount() { return lastSpin.load(); }
void failCriticalSections(bool fail) { failNext.store(fail); }
}  // namespace testing

}  // namespace sys
