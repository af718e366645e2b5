// Stack walking and symbols of the running process: a thread's frames from a context (the
// return addresses it recorded, or by unwinding the stack its registers describe), and for an
// address its module, function and source line, from the modules' symbol tables and debugging
// information (read once a process, and again for modules loaded since).
#pragma once

#include <kwuni/diag.h>

#include <cstdint>
#include <string>

namespace sys {

// Fills context with the calling function's registers and the return addresses of its callers:
// the first frame is the function that called captureContext.
void captureContext(CONTEXT& context);

// One walk over a context's frames.
struct StackWalk;
StackWalk* newStackWalk();
void deleteStackWalk(StackWalk* walk);
// The first frame's address (the context's own instruction), then each caller's; false at the
// end of the stack or where a frame lies in no known module.
bool stackFirst(StackWalk& walk, CONTEXT* context, std::uintptr_t& address);
bool stackNext(StackWalk& walk, std::uintptr_t& address);

// Reads the process's modules and their symbols, once; false when that failed (for good).
bool symbolsReady();

// The path of the module holding the address; empty when none does.
std::string moduleFileName(std::uintptr_t address);
// The function holding the address (demangled, without its parameters) and the address's offset
// in it; false when no symbol covers it.
bool symbolAt(std::uintptr_t address, std::string& name, std::uintptr_t& offset);
// The source file and line of exactly this address and its offset from the line's first
// instruction; false when the debugging information has none.
bool lineAt(std::uintptr_t address, std::string& file, unsigned& line, std::uintptr_t& offset);

}  // namespace sys
