// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/entry_value.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

namespace {

bool isIgnored(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n'; }

bool isDecimalDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// The value of c as a digit of the given base, or -1.
int digitValue(char16_t c, int base)
{
    int value = -1;
    if (c >= u'0' && c <= u'9')
        value = c - u'0';
    else if (c >= u'a' && c <= u'z')
        value = c - u'a' + 10;
    else if (c >= u'A' && c <= u'Z')
        value = c - u'A' + 10;
    return value < base ? value : -1;
}

// Hexadecimal or octal digits from pos on: a signed 16-bit number when they fit in 16 bits,
// a signed 32-bit number when they fit in 32 bits, the largest double beyond that.
double radixValue(const std::u16string& s, std::size_t pos, int base)
{
    std::uint64_t value = 0;
    for (; pos < s.size(); ++pos) {
        const int digit = digitValue(s[pos], base);
        if (digit < 0)
            break;
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFu) {
            return DBL_MAX;
        }
    }
    if (value <= 0xFFFFu)
        return value >= 0x8000u ? static_cast<double>(value) - 65536.0 : static_cast<double>(value);
    return value >= 0x80000000u ? static_cast<double>(value) - 4294967296.0 : static_cast<double>(value);
}

// Exponents are clamped to this far beyond anything a double holds, so that their digits can never
// overflow while being read.
constexpr long long exponentClamp = 1000000000LL;

double decimalValue(const std::u16string& s)
{
    std::size_t i = 0;
    const std::size_t n = s.size();

    bool negative = false;
    if (i < n && (s[i] == u'+' || s[i] == u'-')) {
        negative = s[i] == u'-';
        ++i;
    }

    std::string whole;
    std::string fraction;
    while (i < n && isDecimalDigit(s[i]))
        whole.push_back(static_cast<char>(s[i++]));
    if (i < n && s[i] == u'.') {
        ++i;
        while (i < n && isDecimalDigit(s[i]))
            fraction.push_back(static_cast<char>(s[i++]));
    }
    if (whole.empty() && fraction.empty())
        return 0.0;

    long long exponent = 0;
    if (i < n && (s[i] == u'E' || s[i] == u'e' || s[i] == u'D' || s[i] == u'd')) {
        std::size_t j = i + 1;
        bool negativeExponent = false;
        if (j < n && (s[j] == u'+' || s[j] == u'-')) {
            negativeExponent = s[j] == u'-';
            ++j;
        }
        // An exponent marker without digits does not belong to the number.
        while (j < n && isDecimalDigit(s[j])) {
            exponent = std::min(exponent * 10 + (s[j] - u'0'), exponentClamp);
            ++j;
        }
        if (negativeExponent)
            exponent = -exponent;
    }

    const std::string digits = whole + fraction;
    const std::size_t firstSignificant = digits.find_first_not_of('0');
    if (firstSignificant == std::string::npos)
        return 0.0;

    std::string normalised = whole.empty() ? std::string("0") : whole;
    if (!fraction.empty())
        normalised += "." + fraction;
    // Appended piece by piece: g++ 12 at -O3 takes "e" + std::string for an overlapping copy (-Wrestrict).
    normalised += 'e';
    normalised += std::to_string(exponent);
    double magnitude = 0.0;
    const auto [end, error] = std::from_chars(normalised.data(), normalised.data() + normalised.size(), magnitude);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        // Decimal exponent of the leading significant digit tells overflow from underflow.
        const long long leading =
            static_cast<long long>(whole.size()) - 1 - static_cast<long long>(firstSignificant) + exponent;
        magnitude = leading > 0 ? DBL_MAX : 0.0;
    } else if (error != std::errc()) {
        magnitude = 0.0;
    }
    if (!std::isfinite(magnitude))
        magnitude = DBL_MAX;
    if (magnitude == 0.0)
        return 0.0;
    return negative ? -magnitude : magnitude;
}

}  // namespace

double entryValue(QStringView text)
{
    std::u16string s;
    s.reserve(static_cast<std::size_t>(text.size()));
    for (const QChar c : text) {
        if (!isIgnored(c.unicode()))
            s.push_back(c.unicode());
    }

    if (s.size() >= 2 && s[0] == u'&') {
        if (s[1] == u'H' || s[1] == u'h')
            return radixValue(s, 2, 16);
        if (s[1] == u'O' || s[1] == u'o')
            return radixValue(s, 2, 8);
    }
    return decimalValue(s);
}

QString trimmedText(QStringView text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == u' ')
        ++first;
    while (last > first && text[last - 1] == u' ')
        --last;
    return text.mid(first, last - first).toString();
}

QString decimalText(double value)
{
    if (std::isnan(value) || value == 0.0)
        return QStringLiteral("0");
    if (std::isinf(value))
        value = value > 0 ? DBL_MAX : -DBL_MAX;

    if (std::fabs(value) < 1e15 && value == std::floor(value))
        return QString::number(static_cast<qint64>(value));

    // 15 significant digits: one before the point and 14 after, then the exponent.
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
    if (error != std::errc())
        return QStringLiteral("0");
    const std::string scientific(buffer, end);

    const bool negative = scientific.front() == '-';
    const std::size_t ePos = scientific.find('e');
    std::string digits;
    for (std::size_t k = negative ? 1 : 0; k < ePos; ++k) {
        if (scientific[k] != '.')
            digits.push_back(scientific[k]);
    }
    const int exponent = std::stoi(scientific.substr(ePos + 1));
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string out = negative ? "-" : "";
    if (exponent >= 15 || exponent <= -5) {
        out += digits.substr(0, 1);
        if (digits.size() > 1) {
            out += '.';
            out += digits.substr(1);
        }
        const int magnitude = std::abs(exponent);
        out += exponent < 0 ? "E-" : "E+";
        if (magnitude < 10)
            out += "0";
        out += std::to_string(magnitude);
    } else if (exponent < 0) {
        out += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    } else {
        const std::size_t wholeDigits = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= wholeDigits) {
            out += digits + std::string(wholeDigits - digits.size(), '0');
        } else {
            out += digits.substr(0, wholeDigits) + "." + digits.substr(wholeDigits);
        }
    }
    return QString::fromLatin1(out.data(), static_cast<qsizetype>(out.size()));
}

double Int(double value) { return std::floor(value); }
