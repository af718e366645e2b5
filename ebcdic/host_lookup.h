// The tables of a CCSID as the buffer kernels take them, found once per call through the
// registry, with the substitutes of the single lookups.
#pragma once

#include "ebcdic/kernels.h"

#include <exception>

namespace kwuni {

// Host to Unicode for the CCSID; the Unicode CCSIDs pass codes through. Raises the registry's
// errors.
kernels::HostLookup hostToUnicodeLookup(short ccsid);

// Unicode to host for the CCSID, and which characters take two host bytes. A CCSID whose table
// cannot be loaded (any runtime_error of the registry) keeps the error: every character then
// counts as single-byte, and the error is raised again when a code is needed.
struct UnicodeToHost {
  kernels::HostLookup lookup{};
  std::exception_ptr tableError;

  bool takesTwoBytes(WCHAR ch) const { return !tableError && kernels::takesTwoBytes(lookup, ch); }
  [[noreturn]] void raiseTableError() const { std::rethrow_exception(tableError); }
};

UnicodeToHost unicodeToHostLookup(int ccsid);

}  // namespace kwuni
