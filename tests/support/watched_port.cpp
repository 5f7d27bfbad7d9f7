// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/watched_port.h"

void WatchedPort::close()
{
    if (isOpen())
        unreadAtClose = pendingCount();
    FakePort::close();
}

QByteArray WatchedPort::readOne()
{
    if (pendingCount() > 0 && beforeTake)
        beforeTake();
    const QByteArray c = FakePort::readOne();
    taken += c.size();
    return c;
}

void WatchedPort::write(const QByteArray& bytes)
{
    if (onWrite)
        onWrite(bytes);
    FakePort::write(bytes);
}
