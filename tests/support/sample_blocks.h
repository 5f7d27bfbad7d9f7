// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The example parameter block, as the box leaves the factory: its 19 fields in wire order, as the
// L reply carries them (without the terminator).

#include <QByteArray>
#include <QList>

inline const QByteArray exampleBlock =
    "00123,R,00001,00000,00500,01829,00001,00030,00000,00010,00015,00001,01829,00000,00000,00002,03049,00000,01000";

// The example block with field `number` (1 to 19) replaced by `text`.
inline QByteArray exampleBlockWith(int number, const QByteArray& text)
{
    QList<QByteArray> fields = exampleBlock.split(',');
    fields[number - 1] = text;
    return fields.join(',');
}
