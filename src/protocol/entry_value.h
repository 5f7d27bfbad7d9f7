// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Numbers in entry texts and numbers written as text: the one place where the program reads the
// numeric value of an entry's text and writes a number as plain decimal text. Every entry check,
// unit conversion and computed value line goes through these helpers.

#include <QString>
#include <QStringView>

// The numeric value of a text, read the classic way:
//  - blanks, tabs and line feeds anywhere in the text are ignored ("1 2 3" is 123);
//  - from the start: an optional sign, digits, an optional "." with digits, an optional exponent
//    (E, e, D or d, an optional sign and digits); reading stops at the first character that cannot
//    continue the number ("3abc" is 3, "2.7.1" is 2.7, "1e" is 1);
//  - "&H" and "&O" (any case) read hexadecimal and octal digits as a signed whole number of 16 bits
//    when the digits fit in 16 bits and of 32 bits otherwise: "&HFFFF" is -1, "&H10000" is 65536,
//    "&HFFFFFFFF" is -1, "&O177777" is -1. Such a number takes no sign ("-&H10" is 0);
//  - a text without a leading number is 0 ("", "???", "-", ".", "e5");
//  - a number too large for a double gives the largest double with its sign ("1e400" is DBL_MAX,
//    "-1e400" is -DBL_MAX), and so does a hexadecimal or octal number of more than 32 bits
//    (always positive); a number too small to be told from 0 is 0.
// The result is always finite, never NaN, and never -0.
double entryValue(QStringView text);

// The text without its leading and trailing spaces (code 32 only; tabs and line ends stay).
QString trimmedText(QStringView text);

// A number as plain decimal text: "-" for negatives, no leading blank, no padding, "." as the
// decimal point, a leading "0" before it (0.5 is "0.5").
//  - whole numbers below 1e15 in magnitude are written with all their digits ("123456789012345");
//  - any other number is rounded to 15 significant digits and written without trailing zeros
//    (100*49/61 is "80.327868852459"); when its decimal exponent is 15 or more or -5 or less it is
//    written as a mantissa and an exponent of at least two digits: "1E+20", "-1.5E+300", "1E-05";
//  - -0 is "0"; +/-infinity is written as +/-DBL_MAX ("1.79769313486232E+308"); NaN is "0".
QString decimalText(double value);

// Rounds down to a whole number (floor), in double precision. Conversions add 0.5 first, so that
// halves round up. Infinite values stay infinite.
double Int(double value);
