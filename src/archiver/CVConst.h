#pragma once

#include <array>
#include <cstdint>

// The component's message table and the map from native error codes (the
// place that raised) to message numbers.

struct TErrorCodePair {
  int32_t NativeError;
  int32_t ErrorCode;
};

inline constexpr int ErrorMessageCount = 41;
inline constexpr int ErrorCodeMapCount = 61;

extern const std::array<const char*, ErrorMessageCount> ErrorMessages;
extern const std::array<TErrorCodePair, ErrorCodeMapCount> ErrorCodeMap;

// The ErrorCode of the first pair for NativeError; 0 when none matches.
int32_t ErrorCodeFor(int32_t NativeError);
