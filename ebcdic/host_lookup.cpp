#include "ebcdic/host_lookup.h"

#include "ebcdic/substitutes.h"

#include <kwuni/dbcs.h>
#include <kwuni/ebcdic.h>

#include <stdexcept>

namespace kwuni {

kernels::HostLookup hostToUnicodeLookup(short ccsid) {
  if (KW_IsUnicodeCodePage(ccsid)) return {nullptr, 0xFFFD, 0xFFFD};
  const auto& transcoder = velmora::EBCDICTranscoders::instance().transcoder(ccsid);
  const bool mixed = transcoder.isMixed();
  return {transcoder.ebcdicToUnicodeTable(), unicodeSubstitute(mixed, false), unicodeSubstitute(mixed, true)};
}

UnicodeToHost unicodeToHostLookup(int ccsid) {
  if (KW_IsUnicodeCodePage(ccsid)) return {};
  const auto narrowed = static_cast<short>(ccsid);
  try {
    const auto& transcoder = velmora::EBCDICTranscoders::instance().transcoder(narrowed);
    return {{transcoder.unicodeToEbcdicTable(), hostSubstitute(narrowed), 0}, nullptr};
  } catch (const std::runtime_error&) {
    return {{}, std::current_exception()};
  }
}

}  // namespace kwuni
