// kwuni trace --selftest: provokes an access violation, catches it as its typed exception and
// prints what the diagnostics know of it, a symbolic stack trace included. This file is built
// with debugging information and -fnon-call-exceptions (tools/CMakeLists.txt).

#include <kwuni/diag.h>

#include "tools/kwuni/command.h"

#include <cstdint>
#include <cstdio>
#include <iostream>

namespace kwuni::cli {
namespace {

constexpr const char* help =
    "usage: kwuni trace --selftest\n"
    "\n"
    "Provokes an access violation (a write to address 0x10) in a helper function, catches it as\n"
    "se_translator::access_violation and prints its name, description, the faulting address\n"
    "and a symbolic stack trace: module, function, source file and line of every frame.\n";

volatile std::uintptr_t unmappedAddress = 0x10;

[[gnu::noinline]] void writeToUnmappedMemory() {
  *reinterpret_cast<volatile int*>(unmappedAddress) = 1;  // the access violation
}

}  // namespace

int traceCommand(std::span<const std::string_view> args) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(help, stdout);
    return exitOk;
  }
  if (args.size() != 1 || args[0] != "--selftest") {
    throw UsageError(args.empty() ? "trace needs --selftest" : "trace takes only --selftest");
  }
  const se_translator faultsAsExceptions;
  try {
    writeToUnmappedMemory();
  } catch (const se_translator::access_violation& fault) {
    const EXCEPTION_RECORD& record = *fault.info()->ExceptionRecord;
    std::printf("caught se_translator::access_violation\n"
                "name:        %s\n"
                "description: %s\n"
                "code:        0x%08X, %s of address 0x%jx at instruction %p\n"
                "stack:\n",
                fault.name(), fault.description(), record.ExceptionCode,
                record.ExceptionInformation[0] == 1 ? "write" : "read",
                static_cast<std::uintmax_t>(record.ExceptionInformation[1]), record.ExceptionAddress);
    std::fflush(stdout);
    if (!sym_engine::stack_trace(std::cout, fault.info()->ContextRecord, 0, "  %m!%s+%sd  %f:%l\n")) {
      throw Failure("the stack of the fault could not be walked");
    }
    return exitOk;
  }
  throw Failure("the access violation was not caught as se_translator::access_violation");
}

}  // namespace kwuni::cli
