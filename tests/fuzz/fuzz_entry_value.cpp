// SPDX-License-Identifier: GPL-3.0-or-later
// The entry value and everything built on it: decimal text, the entry checks and the 15 value
// lines of the write, from any entry texts. The input is split at '|' into the entry texts.
#include "protocol/entry_checks.h"
#include "protocol/entry_value.h"
#include "protocol/write_lines.h"

#include <QStringList>
#include <cmath>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString input = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const double value = entryValue(input);
    if (!std::isfinite(value))
        __builtin_trap();
    const QString text = decimalText(value);
    if (text.contains(QLatin1String("nan"), Qt::CaseInsensitive)
        || text.contains(QLatin1String("inf"), Qt::CaseInsensitive))
        __builtin_trap();

    QStringList parts = input.split(QLatin1Char('|'));
    while (parts.size() < 12)
        parts.append(QString());
    PanelState panel;
    panel.northStop = size > 0 && (data[0] & 1);
    panel.southStop = size > 0 && (data[0] & 2);
    panel.pwmOn = size > 0 && (data[0] & 4);
    panel.lowerLimit = parts[0];
    panel.upperLimit = parts[1];
    panel.invDelay = parts[2];
    panel.pwmPeriod = parts[3];
    panel.pwmMaxDuty = parts[4];
    panel.ramp = parts[5];
    panel.pwmMinDuty = parts[6];
    panel.presDelay = parts[7];
    panel.offsetWrite = parts[8];
    panel.checkAngleWrite = parts[9];
    panel.rotTimeout = parts[10];
    // Typed texts go as typed; every computed line must be a number.
    for (int line : {4, 6, 7, 9, 11, 14, 15}) {
        const QString encoded = encode_write_lines(line, panel);
        if (encoded.contains(QLatin1String("nan"), Qt::CaseInsensitive)
            || encoded.contains(QLatin1String("inf"), Qt::CaseInsensitive))
            __builtin_trap();
    }
    (void)goToAngleValid(parts[0]);
    (void)calibrationFactorValid(parts[1]);
    (void)calibrationAngleValid(parts[2]);
    (void)offsetValid(parts[3]);
    (void)minimumDutyValid(parts[4], parts[5], parts[6]);
    (void)limitsInOrder(parts[7], parts[8]);
    return 0;
}
