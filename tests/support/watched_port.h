// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The scripted port with the test looking on: it counts the characters the program takes off the
// line, tells how many received characters were still unread when it was last closed, and calls
// the test back before a character is taken and at every write, before the write is answered.

#include "support/fake_port.h"

#include <functional>

class WatchedPort : public FakePort {
public:
    using FakePort::FakePort;

    qint64 unreadAtClose = -1;                       // received characters still unread at the last close
    qsizetype taken = 0;                             // characters taken off the line so far
    std::function<void()> beforeTake;                // before each character taken, while one waits
    std::function<void(const QByteArray&)> onWrite;  // at each write, before it is answered

    void close() override;
    QByteArray readOne() override;
    void write(const QByteArray& bytes) override;
};
