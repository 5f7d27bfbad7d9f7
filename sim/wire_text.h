// SPDX-License-Identifier: GPL-3.0-or-later
// Small text helpers shared by the simulator's parts: readable rendering of line bytes,
// escapes in option values and strict number parsing.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace cbox {

inline constexpr char STX = '\x02';
inline constexpr char CR = '\r';
inline constexpr char LF = '\n';

// Renders bytes for the log: printable ASCII as is, control bytes by name (<STX>, <CR>, <LF> ...),
// anything else as <0xHH>.
std::string readable(std::string_view bytes);

// Resolves the escapes \r \n \t \0 \\ and \xHH in an option value. Empty result on a malformed escape
// is reported through the optional.
std::optional<std::string> unescape(std::string_view text);

// A whole number made of an optional sign and 1 to 9 digits, nothing else.
std::optional<long> parse_whole(std::string_view text);

// The leading whole number of a value line: leading blanks skipped, optional sign, digits; reading stops
// at the first character that is not a digit ("2.7" gives 2). Nothing when there is no digit.
std::optional<long> parse_leading_whole(std::string_view text);

}  // namespace cbox
