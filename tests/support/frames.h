// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Frame helpers: STX "A" letter data CR, and the reply STX "A" "," letter "," data CR.

#include <QByteArray>

inline QByteArray frame(const QByteArray& body)
{
    return "\x02"
           "A"
           + body + "\r";
}
inline QByteArray reply(char letter, const QByteArray& data)
{
    return QByteArray("\x02"
                      "A,")
           + letter + ',' + data + '\r';
}
