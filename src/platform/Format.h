#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

// printf-like formatting without printf's hazards: arguments carry their type,
// and a composed text is only ever an argument, never a format again.
// Understands %s, %d, %u, %x with an optional "-", width and ".precision"
// (e.g. %5d, %.3u, %.2d); "%%" is a percent sign. A directive without an
// argument is copied as written; a number given to %s is written in decimal,
// a string given to %d is inserted as it is.

using TFormatArg = std::variant<std::string, int64_t>;
using TFormatArgs = std::vector<TFormatArg>;

std::string FormatArgs(const std::string& Fmt, const TFormatArgs& Args);

namespace format_detail {
inline TFormatArg ToArg(const std::string& S) { return S; }
inline TFormatArg ToArg(const char* S) { return std::string(S); }
template <typename T>
  requires std::is_integral_v<T>
TFormatArg ToArg(T V) {
  return static_cast<int64_t>(V);
}
}  // namespace format_detail

template <typename... A>
std::string Format(const std::string& Fmt, const A&... Args) {
  return FormatArgs(Fmt, TFormatArgs{format_detail::ToArg(Args)...});
}

// A double written with Decimals digits after a '.', whatever the locale.
std::string FormatFixed(double Value, int Decimals);
