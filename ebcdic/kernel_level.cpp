#include "ebcdic/kernel_level.h"

#include <kwuni/ebcdic.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kwuni::kernels {
namespace {

bool supports(Level wanted) {
#if defined(__x86_64__)
  switch (wanted) {
    case Level::scalar: return true;
    case Level::avx2: return __builtin_cpu_supports("avx2") != 0;
    case Level::avx512:
      return __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512bw") != 0 &&
             __builtin_cpu_supports("avx512vbmi") != 0 && __builtin_cpu_supports("avx512vbmi2") != 0 &&
             __builtin_cpu_supports("bmi2") != 0;
  }
  return false;
#else
  return wanted == Level::scalar;
#endif
}

std::atomic<int> chosen{-1};  // -1: the level the environment asks for

}  // namespace

const char* levelName(Level l) {
  switch (l) {
    case Level::scalar: return "scalar";
    case Level::avx2: return "avx2";
    case Level::avx512: return "avx512";
  }
  return "scalar";
}

Level bestLevel() {
  for (const Level l : {Level::avx512, Level::avx2}) {
    if (supports(l)) return l;
  }
  return Level::scalar;
}

Level levelFromEnvironment(const char* value) {
  if (value == nullptr || *value == 0) return bestLevel();
  for (const Level l : {Level::scalar, Level::avx2, Level::avx512}) {
    if (std::strcmp(value, levelName(l)) != 0) continue;
    if (supports(l)) return l;
    std::fprintf(stderr, "kwuni: KWUNI_KERNELS=%s: this processor lacks it; using %s\n", value,
                 levelName(bestLevel()));
    return bestLevel();
  }
  std::fprintf(stderr, "kwuni: KWUNI_KERNELS=%s is not scalar, avx2 or avx512; using %s\n", value,
               levelName(bestLevel()));
  return bestLevel();
}

Level level() {
  const int forced = chosen.load(std::memory_order_relaxed);
  if (forced >= 0) return static_cast<Level>(forced);
  static const Level fromEnvironment = levelFromEnvironment(std::getenv("KWUNI_KERNELS"));  // read once
  return fromEnvironment;
}

Level useLevel(Level wanted) {
  const Level previous = level();
  chosen.store(static_cast<int>(supports(wanted) ? wanted : bestLevel()), std::memory_order_relaxed);
  return previous;
}

}  // namespace kwuni::kernels

const char* kwuni::conversionKernels() { return kernels::levelName(kernels::level()); }
