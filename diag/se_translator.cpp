// Faults as typed exceptions: one class an exception code, with its name and description.

#include <kwuni/diag.h>

#include "platform/faults.h"

#include <cstdio>

namespace {

struct ExceptionKind {
  unsigned int code;
  const char* name;
  const char* description;
  void (*raise)(EXCEPTION_POINTERS* info);  // throws the class
};

template <typename Class>
[[noreturn]] void raise(EXCEPTION_POINTERS* info) {
  throw Class(info);
}

using S = se_translator;

constexpr ExceptionKind kinds[] = {
    {0x80000001, "Guard Page", "Guard Page Exception", raise<S::guard_page>},
    {0x80000002, "Datatype Misalignment",
     "The thread attempted to read or write data that is misaligned on hardware that does not provide alignment. "
     "For example, 16-bit values must be aligned on 2-byte boundaries, 32-bit values on 4-byte boundaries, and so on",
     raise<S::datatype_misalignment>},
    {0x80000003, "Breakpoint", "A breakpoint was encountered", raise<S::breakpoint>},
    {0x80000004, "Single Step",
     "A trace trap or other single-instruction mechanism signaled that one instruction has been executed",
     raise<S::single_step>},
    {0xC0000005, "Access Violation",
     "The thread attempted to read from or write to a virtual address for which it does not have the appropriate "
     "access",
     raise<S::access_violation>},
    {0xC0000006, "In Page Error",
     "The thread tried to access a page that was not present, and the system was unable to load the page. For "
     "example, this exception might occur if a network connection is lost while running a program over the network",
     raise<S::in_page_error>},
    {0xC0000008, "Invalid Handle", "Invalid Handle Exception", raise<S::invalid_handle>},
    {0xC0000017, "No Memory",
     "The allocation attempt failed because of a lack of available memory or heap corruption.", raise<S::no_memory>},
    {0xC000001D, "Illegal Instruction", "The thread tried to execute an invalid instruction",
     raise<S::illegal_instruction>},
    {0xC0000025, "Noncontinuable Exception",
     "The thread attempted to continue execution after a noncontinuable exception occurred",
     raise<S::noncontinuable_exception>},
    {0xC0000026, "Invalid Disposition",
     "An exception handler returned an invalid disposition to the exception dispatcher. Programmers using a "
     "high-level language such as C should never encounter this exception",
     raise<S::invalid_disposition>},
    {0xC000008C, "Array Bounds Exceeded",
     "The thread attempted to access an array element that is out of bounds, and the underlying hardware supports "
     "bounds checking",
     raise<S::array_bounds_exceeded>},
    {0xC000008D, "Float Denormal Operand",
     "One of the operands in a floating-point operation is denormal. A denormal value is one that is too small to "
     "represent as a standard floating-point value",
     raise<S::flt_denormal_operand>},
    {0xC000008E, "Float Divide by Zero",
     "The thread attempted to divide a floating-point value by a floating-point divisor of zero",
     raise<S::flt_divide_by_zero>},
    {0xC000008F, "Float Inexact Result",
     "The result of a floating-point operation cannot be represented exactly as a decimal fraction",
     raise<S::flt_inexact_result>},
    {0xC0000090, "Float Invalid Operation", "This exception represents any floating-point exception not included in "
     "this list", raise<S::flt_invalid_operation>},
    {0xC0000091, "Float Overflow",
     "The exponent of a floating-point operation is greater than the magnitude allowed by the corresponding type",
     raise<S::flt_overflow>},
    {0xC0000092, "Float Stack Check",
     "The stack overflowed or underflowed as the result of a floating-point operation", raise<S::flt_stack_check>},
    {0xC0000093, "Float Underflow",
     "The exponent of a floating-point operation is less than the magnitude allowed by the corresponding type",
     raise<S::flt_underflow>},
    {0xC0000094, "Integer Divide by Zero",
     "The thread attempted to divide an integer value by an integer divisor of zero", raise<S::int_divide_by_zero>},
    {0xC0000095, "Integer Overflow",
     "The result of an integer operation caused a carry out of the most significant bit of the result",
     raise<S::int_overflow>},
    {0xC0000096, "Privileged Instruction",
     "The thread attempted to execute an instruction whose operation is not allowed in the current machine mode",
     raise<S::priv_instruction>},
    {0xC00000FD, "Stack Overflow", "The thread used up its stack", raise<S::stack_overflow>},
    {0xE06D7363, "Microsoft C++ Exception", "Microsoft C++ Exception", raise<S::microsoft_cpp>},
};

const ExceptionKind* kindOf(unsigned int code) {
  for (const ExceptionKind& kind : kinds) {
    if (kind.code == code) return &kind;
  }
  return nullptr;
}

}  // namespace

se_translator::se_translator() : previous_(sys::_set_se_translator(&se_translator::translator)) {}

se_translator::~se_translator() { sys::_set_se_translator(previous_); }

void se_translator::translator(unsigned int, EXCEPTION_POINTERS* info) {
  const unsigned int code = info != nullptr ? info->ExceptionRecord->ExceptionCode : 0;
  if (const ExceptionKind* kind = kindOf(code)) kind->raise(info);
  throw exception(info);
}

const char* se_translator::name(unsigned int code) {
  if (const ExceptionKind* kind = kindOf(code)) return kind->name;
  static char unnamed[16];
  std::snprintf(unnamed, sizeof unnamed, "0x%x", code);
  return unnamed;
}

const char* se_translator::description(unsigned int code) {
  const ExceptionKind* kind = kindOf(code);
  return kind != nullptr ? kind->description : "Unknown Exception";
}
