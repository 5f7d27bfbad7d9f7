// SPDX-License-Identifier: GPL-3.0-or-later
#include "wire_text.h"

#include <cstdio>

namespace cbox {

namespace {

const char* control_name(unsigned char c)
{
    static const char* const names[32] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "TAB", "LF",
                                          "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
                                          "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
    if (c < 32)
        return names[c];
    if (c == 127)
        return "DEL";
    return nullptr;
}

int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<long> parse_digits(std::string_view text, bool whole)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    long value = 0;
    std::size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        if (digits < 9)
            value = value * 10 + (text[i] - '0');
        ++digits;
        ++i;
    }
    if (digits == 0 || (whole && (digits > 9 || i != text.size())))
        return std::nullopt;
    return negative ? -value : value;
}

}  // namespace

std::string readable(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + 8);
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (const char* name = control_name(c)) {
            out += '<';
            out += name;
            out += '>';
        } else if (c >= 128) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "<0x%02X>", c);
            out += buf;
        } else {
            out += ch;
        }
    }
    return out;
}

std::optional<std::string> unescape(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i >= text.size())
            return std::nullopt;
        switch (text[i]) {
        case 'r': out += CR; break;
        case 'n': out += LF; break;
        case 't': out += '\t'; break;
        case '0': out += '\0'; break;
        case '\\': out += '\\'; break;
        case 'x': {
            if (i + 2 >= text.size())
                return std::nullopt;
            const int hi = hex_value(text[i + 1]);
            const int lo = hex_value(text[i + 2]);
            if (hi < 0 || lo < 0)
                return std::nullopt;
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
            break;
        }
        default: return std::nullopt;
        }
    }
    return out;
}

std::optional<long> parse_whole(std::string_view text) { return parse_digits(text, true); }

std::optional<long> parse_leading_whole(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    return parse_digits(text.substr(i), false);
}

}  // namespace cbox
