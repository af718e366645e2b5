// Which instruction set the conversion kernels use: the best the processor has, chosen at the
// first conversion, or a lower one that KWUNI_KERNELS (scalar, avx2, avx512) asks for. Every level
// gives the same results; the scalar kernels are the reference.
#pragma once

namespace kwuni::kernels {

enum class Level { scalar, avx2, avx512 };

Level level();
const char* levelName(Level level);
// The best level this processor supports.
Level bestLevel();

// Uses the level from now on (for tests and benchmarks); a level the processor lacks is lowered
// to the best it has. Returns the level that was in use.
Level useLevel(Level level);

// The level KWUNI_KERNELS names, lowered to what the processor supports; the best level, with
// one line on standard error, for a name that is unknown or a level the processor lacks.
Level levelFromEnvironment(const char* value);

}  // namespace kwuni::kernels
