// Diagnostics: processor faults as typed C++ exceptions, symbolic stack traces, and the table of
// live memory blocks.
//
//   se_translator guard;                        // faults on this thread now throw
//   try { crash(); }
//   catch (const se_translator::access_violation& e) {
//     std::cerr << e.name() << ": " << e.description() << '\n';
//     sym_engine::stack_trace(std::cerr, e.info()->ContextRecord, 0, "%m!%s+%sd %f(%l)\n");
//   }
//
// A fault becomes an exception only where the faulting code can unwind from the faulting
// instruction: build it with -fnon-call-exceptions (x86-64). A fault on a thread with no live
// se_translator ends the process as it would without the library. A stack overflow is thrown as
// stack_overflow from the thread's alternate signal stack, which the first se_translator on a
// thread sets up when the thread has none. The record and register
// context of a fault (EXCEPTION_RECORD, CONTEXT, EXCEPTION_POINTERS) and the exception codes
// (EXCEPTION_ACCESS_VIOLATION, ...) are declared in <kwuni/win32.h>.
#pragma once

#include <kwuni/export.h>
#include <kwuni/win32.h>

#include <cstdint>
#include <iosfwd>

// ---- Faults as exceptions ----------------------------------------------------------------------------

// While an object lives, a processor fault on the thread that made it (an access violation, a
// division by zero, an illegal instruction, a breakpoint, ...) is thrown as the se_translator
// class of its exception code. Objects nest; each is destroyed on its thread, newest first. The
// record and context a thrown object points to stay valid until the next fault on that thread.
class KWUNI_API se_translator {
 public:
  using translator_function = void (*)(unsigned int code, EXCEPTION_POINTERS* info);

  se_translator();
  ~se_translator();
  se_translator(const se_translator&) = delete;
  se_translator& operator=(const se_translator&) = delete;

  // Throws the class of info's exception code (the base class for codes it has none for).
  [[noreturn]] static void translator(unsigned int code, EXCEPTION_POINTERS* info);

  // A short name ("Access Violation") and a sentence for an exception code. The name of a code
  // without a class is "0x" and its hexadecimal digits, in a buffer the next such call reuses.
  static const char* name(unsigned int code);
  static const char* description(unsigned int code);

  class KWUNI_API exception {
   public:
    explicit exception(EXCEPTION_POINTERS* info) : info_(info) {}
    EXCEPTION_POINTERS* info() const { return info_; }
    unsigned int code() const { return info_ != nullptr ? info_->ExceptionRecord->ExceptionCode : 0; }
    const char* name() const { return se_translator::name(code()); }
    const char* description() const { return se_translator::description(code()); }

   private:
    EXCEPTION_POINTERS* info_;
  };

#define KWUNI_SE_CLASS(class_name)                                               \
  class KWUNI_API class_name : public exception {                                \
   public:                                                                       \
    using exception::exception;                                                  \
  }
  KWUNI_SE_CLASS(guard_page);                // 0x80000001
  KWUNI_SE_CLASS(datatype_misalignment);     // 0x80000002
  KWUNI_SE_CLASS(breakpoint);                // 0x80000003
  KWUNI_SE_CLASS(single_step);               // 0x80000004
  KWUNI_SE_CLASS(access_violation);          // 0xC0000005
  KWUNI_SE_CLASS(in_page_error);             // 0xC0000006
  KWUNI_SE_CLASS(invalid_handle);            // 0xC0000008
  KWUNI_SE_CLASS(no_memory);                 // 0xC0000017
  KWUNI_SE_CLASS(illegal_instruction);       // 0xC000001D
  KWUNI_SE_CLASS(noncontinuable_exception);  // 0xC0000025
  KWUNI_SE_CLASS(invalid_disposition);       // 0xC0000026
  KWUNI_SE_CLASS(array_bounds_exceeded);     // 0xC000008C
  KWUNI_SE_CLASS(flt_denormal_operand);      // 0xC000008D
  KWUNI_SE_CLASS(flt_divide_by_zero);        // 0xC000008E
  KWUNI_SE_CLASS(flt_inexact_result);        // 0xC000008F
  KWUNI_SE_CLASS(flt_invalid_operation);     // 0xC0000090
  KWUNI_SE_CLASS(flt_overflow);              // 0xC0000091
  KWUNI_SE_CLASS(flt_stack_check);           // 0xC0000092
  KWUNI_SE_CLASS(flt_underflow);             // 0xC0000093
  KWUNI_SE_CLASS(int_divide_by_zero);        // 0xC0000094
  KWUNI_SE_CLASS(int_overflow);              // 0xC0000095
  KWUNI_SE_CLASS(priv_instruction);          // 0xC0000096
  KWUNI_SE_CLASS(stack_overflow);            // 0xC00000FD
  KWUNI_SE_CLASS(microsoft_cpp);             // 0xE06D7363
#undef KWUNI_SE_CLASS

 private:
  translator_function previous_;
};

// ---- Stack traces --------------------------------------------------------------------------------------

namespace sys {
struct StackWalk;
}

// Writes a thread's stack, one line a frame, each by a format text read per frame:
//   %m  the module's file name, or "?.?"       %s   the function and "()", or "?()"
//   %sd the address's offset in the function  %f   the source file, or " "
//   %l  the source line (0 if unknown)        %ld  the address's offset in the line
//   %%  a percent sign; anything else as it stands. The format carries its own line end.
// Symbols come from the modules' symbol tables and debugging information, read once a process.
class KWUNI_API sym_engine {
 public:
  sym_engine();
  explicit sym_engine(std::uintptr_t address);  // to look up one address
  ~sym_engine();
  sym_engine(const sym_engine&) = delete;
  sym_engine& operator=(const sym_engine&) = delete;

  // The stack of a context (a fault's, from se_translator::exception::info()), after skipping
  // frames: false when the first frame cannot be found.
  static bool stack_trace(std::ostream& out, sym_engine& engine, CONTEXT* context, unsigned int skip,
                          const char* format);
  // The calling thread's stack; frame 0 is this function. False for a null format.
  static bool stack_trace(std::ostream& out, unsigned int skip, const char* format);
  // As the first, with an engine of its own; false for a null format.
  static bool stack_trace(std::ostream& out, CONTEXT* context, unsigned int skip, const char* format);

  bool check();  // whether symbols can be read; reads them the first time
  bool stack_first(CONTEXT* context);
  bool stack_next();
  // The module's file name, the function name and "()", and the source file of the address:
  // the length written (cut to size - 1 and terminated), 0 when unknown or for a bad buffer.
  unsigned module(char* buffer, unsigned size);
  unsigned symbol(char* buffer, unsigned size, unsigned* displacement);
  unsigned fileline(char* buffer, unsigned size, unsigned* line, unsigned* displacement);

  std::uintptr_t address() const { return address_; }

 private:
  std::uintptr_t address_ = 0;
  bool ready_ = false;
  sys::StackWalk* frame_ = nullptr;
  CONTEXT* context_ = nullptr;
};

// ---- Live memory blocks ------------------------------------------------------------------------------

// Writes "Memory entries: N" and one line a recorded block, "0x<address>:<size> []", by ascending
// order key. The library records no blocks of its own: without kwuni::recordAllocation the
// listing is the header alone.
KWUNI_API void DumpMemoryAllocationTable(std::wostream& out);

namespace velmora {
// The recorded blocks' total size (32-bit, wrapping) and their count.
KWUNI_API int MemoryAllocated();
KWUNI_API int MemoryBlocksAllocated();
}  // namespace velmora

namespace kwuni {
// Records a live block for the table (another record of the same address replaces it), and
// forgets it; forgetAllocation answers whether the block was recorded. Both take a lock: call
// them off hot paths.
KWUNI_API void recordAllocation(const void* address, std::uint32_t size, std::int32_t order);
KWUNI_API bool forgetAllocation(const void* address);
}  // namespace kwuni
