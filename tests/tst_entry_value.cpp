// SPDX-License-Identifier: GPL-3.0-or-later
// The numeric reading of entry texts, trimming, and numbers written as decimal text.

#include "protocol/entry_value.h"

#include <QTest>

#include <cfloat>
#include <cmath>
#include <limits>

class TestEntryValue : public QObject {
    Q_OBJECT

private slots:
    void entryValue_reads_leading_number_data();
    void entryValue_reads_leading_number();
    void entryValue_reads_hex_and_octal_data();
    void entryValue_reads_hex_and_octal();
    void entryValue_stays_finite_data();
    void entryValue_stays_finite();

    void decimalText_writes_plain_decimal_data();
    void decimalText_writes_plain_decimal();
    void decimalText_reads_back_data();
    void decimalText_reads_back();

    void trimmedText_removes_only_spaces_data();
    void trimmedText_removes_only_spaces();

    void Int_rounds_down_data();
    void Int_rounds_down();
};

namespace {

// Exact comparison that also tells +0 from -0: the entry value is never -0.
void verifySame(double actual, double expected)
{
    const bool same = actual == expected && std::signbit(actual) == std::signbit(expected);
    QVERIFY2(same,
             qPrintable(QStringLiteral("actual %1, expected %2").arg(actual, 0, 'g', 17).arg(expected, 0, 'g', 17)));
}

}  // namespace

void TestEntryValue::entryValue_reads_leading_number_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    QTest::newRow("plain") << "500" << 500.0;
    QTest::newRow("blanks around") << " 5 " << 5.0;
    QTest::newRow("leading zeros and minus") << "-070" << -70.0;
    QTest::newRow("plus sign") << "+4" << 4.0;
    QTest::newRow("decimal point") << "2.7" << 2.7;
    QTest::newRow("no digit before point") << ".5" << 0.5;
    QTest::newRow("negative fraction") << "-.5" << -0.5;
    QTest::newRow("blanks inside are ignored") << "1 2 3" << 123.0;
    QTest::newRow("tabs and line feeds are ignored") << "\t1\n2 .\t5" << 12.5;
    QTest::newRow("carriage return stops") << "1\r2" << 1.0;
    QTest::newRow("blank between sign and digits") << "- 5" << -5.0;
    QTest::newRow("stops at letter") << "3abc" << 3.0;
    QTest::newRow("stops at second point") << "2.7.1" << 2.7;
    QTest::newRow("comma is no decimal point") << "1,5" << 1.0;
    QTest::newRow("exponent") << "1e3" << 1000.0;
    QTest::newRow("capital exponent") << "2.5E2" << 250.0;
    QTest::newRow("D exponent") << "1d3" << 1000.0;
    QTest::newRow("negative D exponent") << "1D-2" << 0.01;
    QTest::newRow("exponent with plus") << "1e+2" << 100.0;
    QTest::newRow("exponent with blanks") << "1 e 2" << 100.0;
    QTest::newRow("marker without digits") << "7e" << 7.0;
    QTest::newRow("marker and sign without digits") << "7e-x" << 7.0;
    QTest::newRow("placeholder") << "???" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("blanks only") << "   " << 0.0;
    QTest::newRow("minus only") << "-" << 0.0;
    QTest::newRow("point only") << "." << 0.0;
    QTest::newRow("exponent without mantissa") << "e5" << 0.0;
    QTest::newRow("minus zero is zero") << "-0" << 0.0;
    QTest::newRow("minus zero point zero") << "-0.000" << 0.0;
    QTest::newRow("text before number") << "x5" << 0.0;
    QTest::newRow("fullwidth digit is no digit") << QStringLiteral("\uFF11") << 0.0;
    QTest::newRow("many leading zeros") << QStringLiteral(
        "0000000000000000000000000000000000000000000000000000000000000042")
                                        << 42.0;
}

void TestEntryValue::entryValue_reads_leading_number()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    verifySame(entryValue(text), expected);
}

void TestEntryValue::entryValue_reads_hex_and_octal_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    QTest::newRow("hex") << "&H1F" << 31.0;
    QTest::newRow("hex lower case") << "&h1f" << 31.0;
    QTest::newRow("octal") << "&O17" << 15.0;
    QTest::newRow("octal lower case") << "&o17" << 15.0;
    QTest::newRow("hex with blanks") << " & H 1 F " << 31.0;
    QTest::newRow("hex stops at non-digit") << "&H1G" << 1.0;
    QTest::newRow("octal stops at 8") << "&O178" << 15.0;
    QTest::newRow("hex without digits") << "&H" << 0.0;
    QTest::newRow("hex with non-digit") << "&HG" << 0.0;
    QTest::newRow("ampersand alone") << "&" << 0.0;
    QTest::newRow("unknown prefix") << "&X1" << 0.0;
    QTest::newRow("sign before prefix") << "-&H10" << 0.0;
    // Up to 16 bits the digits are a signed 16-bit number, up to 32 bits a signed 32-bit one.
    QTest::newRow("16-bit largest") << "&H7FFF" << 32767.0;
    QTest::newRow("16-bit sign bit") << "&H8000" << -32768.0;
    QTest::newRow("16-bit all ones") << "&HFFFF" << -1.0;
    QTest::newRow("octal 16-bit all ones") << "&O177777" << -1.0;
    QTest::newRow("beyond 16 bits") << "&H10000" << 65536.0;
    QTest::newRow("32-bit largest") << "&H7FFFFFFF" << 2147483647.0;
    QTest::newRow("32-bit sign bit") << "&H80000000" << -2147483648.0;
    QTest::newRow("32-bit all ones") << "&HFFFFFFFF" << -1.0;
    QTest::newRow("octal 32-bit all ones") << "&O37777777777" << -1.0;
    QTest::newRow("leading zeros do not count") << "&H0000000000FFFF" << -1.0;
    QTest::newRow("beyond 32 bits") << "&H100000000" << DBL_MAX;
    QTest::newRow("octal beyond 32 bits") << "&O40000000000" << DBL_MAX;
    QTest::newRow("very long hex") << "&HFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF" << DBL_MAX;
}

void TestEntryValue::entryValue_reads_hex_and_octal()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    verifySame(entryValue(text), expected);
}

void TestEntryValue::entryValue_stays_finite_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    QTest::newRow("overflow") << "1e400" << DBL_MAX;
    QTest::newRow("negative overflow") << "-1e400" << -DBL_MAX;
    QTest::newRow("overflow by digits") << QString(400, QLatin1Char('9')) << DBL_MAX;
    QTest::newRow("huge exponent") << "1e99999999999999999999999" << DBL_MAX;
    QTest::newRow("huge exponent, zero mantissa") << "0e99999999999999999999999" << 0.0;
    QTest::newRow("large but representable") << "-1e300" << -1e300;
    QTest::newRow("largest double") << "1.7976931348623157e308" << DBL_MAX;
    QTest::newRow("underflow") << "1e-400" << 0.0;
    QTest::newRow("negative underflow") << "-1e-400" << 0.0;
    QTest::newRow("huge negative exponent") << "5e-99999999999999999999999" << 0.0;
    QTest::newRow("many fraction digits then exponent")
        << QStringLiteral("0.") + QString(500, QLatin1Char('0')) + QStringLiteral("1e600") << 1e99;
    QTest::newRow("word inf") << "inf" << 0.0;
    QTest::newRow("word nan") << "nan" << 0.0;
}

void TestEntryValue::entryValue_stays_finite()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    const double value = entryValue(text);
    QVERIFY(std::isfinite(value));
    verifySame(value, expected);
}

void TestEntryValue::decimalText_writes_plain_decimal_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("minus zero") << -0.0 << "0";
    QTest::newRow("whole") << 1829.0 << "1829";
    QTest::newRow("negative whole") << -70.0 << "-70";
    QTest::newRow("15-digit whole") << 999999999999999.0 << "999999999999999";
    QTest::newRow("15-digit negative whole") << -123456789012345.0 << "-123456789012345";
    QTest::newRow("duty 49 of 61") << 100.0 * 49 / 61 << "80.327868852459";
    QTest::newRow("sum rounding noise") << 0.1 + 0.2 << "0.3";
    QTest::newRow("half") << 0.5 << "0.5";
    QTest::newRow("negative half") << -0.5 << "-0.5";
    QTest::newRow("15 significant below one") << 100.0 / 201 << "0.497512437810945";
    QTest::newRow("fraction with whole part") << 12345.678 << "12345.678";
    QTest::newRow("smallest plain") << 0.0001 << "0.0001";
    QTest::newRow("tiny") << 0.00001 << "1E-05";
    QTest::newRow("tiny with digits") << -1.5e-7 << "-1.5E-07";
    QTest::newRow("very tiny") << 1e-300 << "1E-300";
    QTest::newRow("1e15 is huge") << 1e15 << "1E+15";
    QTest::newRow("huge") << 1e20 << "1E+20";
    QTest::newRow("huge with digits") << 123456789012345678.0 << "1.23456789012346E+17";
    QTest::newRow("rounds up to huge") << 999999999999999.9 << "1E+15";
    QTest::newRow("negative huge") << -1.5e300 << "-1.5E+300";
    QTest::newRow("largest") << DBL_MAX << "1.79769313486232E+308";
    QTest::newRow("negative largest") << -DBL_MAX << "-1.79769313486232E+308";
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << "1.79769313486232E+308";
    QTest::newRow("negative infinity") << -std::numeric_limits<double>::infinity() << "-1.79769313486232E+308";
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << "0";
}

void TestEntryValue::decimalText_writes_plain_decimal()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(decimalText(value), expected);
}

// What the program writes, an entry must read back as the same number (to 15 digits).
void TestEntryValue::decimalText_reads_back_data()
{
    QTest::addColumn<double>("value");

    QTest::newRow("duty") << 100.0 * 49 / 61;
    QTest::newRow("negative fraction") << -0.125;
    QTest::newRow("tiny") << 2.5e-9;
    QTest::newRow("huge") << -7.25e200;
    QTest::newRow("largest") << DBL_MAX;
}

void TestEntryValue::decimalText_reads_back()
{
    QFETCH(double, value);
    const double back = entryValue(decimalText(value));
    QVERIFY2(std::fabs(back - value) <= std::fabs(value) * 1e-14,
             qPrintable(decimalText(value) + QStringLiteral(" reads back as ") + QString::number(back, 'g', 17)));
}

void TestEntryValue::trimmedText_removes_only_spaces_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("spaces around") << "  12  "
                                   << "12";
    QTest::newRow("spaces inside stay") << " 1 2 "
                                        << "1 2";
    QTest::newRow("tab stays") << "\t5 "
                               << "\t5";
    QTest::newRow("line feed stays") << " 5\n"
                                     << "5\n";
    QTest::newRow("no-break space stays") << QStringLiteral("\u00A05 ") << QStringLiteral("\u00A05");
    QTest::newRow("spaces only") << "   "
                                 << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestEntryValue::trimmedText_removes_only_spaces()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(trimmedText(text), expected);
}

void TestEntryValue::Int_rounds_down_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("expected");

    QTest::newRow("positive fraction") << 2.7 << 2.0;
    QTest::newRow("negative fraction") << -2.5 << -3.0;
    QTest::newRow("small negative") << -0.1 << -1.0;
    QTest::newRow("beyond 64-bit integers") << 1e300 << 1e300;
    QTest::newRow("negative beyond 64-bit integers") << -DBL_MAX << -DBL_MAX;
}

void TestEntryValue::Int_rounds_down()
{
    QFETCH(double, value);
    QFETCH(double, expected);
    QCOMPARE(Int(value), expected);
}

QTEST_GUILESS_MAIN(TestEntryValue)
#include "tst_entry_value.moc"
