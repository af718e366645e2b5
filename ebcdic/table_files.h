// Where the registry looks for a CCSID's translation table.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace kwuni {

// How many table files the registry has read, for tests that check each is read once.
extern std::atomic<std::uint64_t> tableFileReads;

// The file-system path of the CCSID's table under the current base directory; empty when the
// path would exceed the platform's limit. Throws std::runtime_error("cannot convert") when the
// base directory has no file-system form.
std::string tableFilePath(short ccsid);

}  // namespace kwuni
