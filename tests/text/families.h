// The script-string families the text tests run in: passing through to the system's analysis,
// and the library's own character-by-character measuring with either source of logical
// attributes.
#pragma once

#include <kwuni/text.h>

#include <gtest/gtest.h>

#include <string>

namespace kwuni::test {

enum class Family { passThrough, ownWithPlatformAttributes, ownWithOwnAttributes };

inline std::string familyName(const ::testing::TestParamInfo<Family>& info) {
  switch (info.param) {
    case Family::passThrough: return "PassThrough";
    case Family::ownWithPlatformAttributes: return "OwnMeasuring";
    case Family::ownWithOwnAttributes: return "OwnMeasuringAndBreaks";
  }
  return "";
}

inline const auto allFamilies =
    ::testing::Values(Family::passThrough, Family::ownWithPlatformAttributes, Family::ownWithOwnAttributes);

// Selects the family while it lives; the library's start-up family (pass-through) afterwards.
class FamilyScope {
 public:
  explicit FamilyScope(Family family) {
    KW_SetScriptPlatformForTesting(family == Family::passThrough ? VER_PLATFORM_WIN32_NT : VER_PLATFORM_WIN32_WINDOWS);
    UseScriptStringAnalyseUnderWin9x(family != Family::ownWithOwnAttributes);
  }
  ~FamilyScope() {
    UseScriptStringAnalyseUnderWin9x(true);
    KW_SetScriptPlatformForTesting(VER_PLATFORM_WIN32_NT);
  }
  FamilyScope(const FamilyScope&) = delete;
  FamilyScope& operator=(const FamilyScope&) = delete;
};

}  // namespace kwuni::test
