// Helpers that several suites share: the text of an expected exception, and ICU and iconv as
// second opinions on a conversion.
#pragma once

#include <gtest/gtest.h>
#include <iconv.h>
#include <unicode/ucnv.h>
#include <unicode/uset.h>

#include <memory>
#include <string>

namespace kwuni::test {

inline std::u16string widen(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// What the Exception that run() throws says; "" and a failure when it throws nothing.
template <typename Exception, typename Run>
std::string thrownText(Run run) {
  try {
    run();
  } catch (const Exception& e) {
    return e.what();
  }
  ADD_FAILURE() << "nothing thrown";
  return {};
}

using IcuConverter = std::unique_ptr<UConverter, decltype(&ucnv_close)>;
using IcuSet = std::unique_ptr<USet, decltype(&uset_close)>;

// ICU's converter for the CCSID; with stop, it fails on what it cannot map instead of substituting.
inline IcuConverter openIcu(int ccsid, bool stop = false) {
  UErrorCode status = U_ZERO_ERROR;
  IcuConverter cnv(ucnv_open(("ibm-" + std::to_string(ccsid)).c_str(), &status), ucnv_close);
  if (stop) {
    ucnv_setToUCallBack(cnv.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    ucnv_setFromUCallBack(cnv.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  }
  EXPECT_TRUE(U_SUCCESS(status)) << ccsid << ": " << u_errorName(status);
  return cnv;
}

// The code points that the converter maps both ways.
inline IcuSet roundTripSet(const UConverter* cnv) {
  UErrorCode status = U_ZERO_ERROR;
  IcuSet set(uset_openEmpty(), uset_close);
  ucnv_getUnicodeSet(cnv, set.get(), UCNV_ROUNDTRIP_SET, &status);
  EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
  return set;
}

using Iconv = std::unique_ptr<void, decltype(&iconv_close)>;

// The system's iconv from the named character set to UTF-16LE; null when it lacks the set.
inline Iconv openIconv(const std::string& from) {
  const iconv_t cd = iconv_open("UTF-16LE", from.c_str());
  return Iconv(cd == reinterpret_cast<iconv_t>(-1) ? nullptr : cd, iconv_close);
}

// The UTF-16 that iconv gives for a byte sequence, or nothing when it has no mapping for it.
inline std::u16string iconvToWide(const Iconv& cd, std::string bytes) {
  iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
  unsigned char out[16];
  char* in = bytes.data();
  char* end = reinterpret_cast<char*>(out);
  std::size_t inLeft = bytes.size(), outLeft = sizeof out;
  if (iconv(cd.get(), &in, &inLeft, &end, &outLeft) == static_cast<std::size_t>(-1)) return {};
  std::u16string wide;
  for (std::size_t i = 0; i + 1 < sizeof out - outLeft; i += 2) wide += static_cast<char16_t>(out[i] | out[i + 1] << 8);
  return wide;
}

}  // namespace kwuni::test
