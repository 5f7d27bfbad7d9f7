// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What every fuzz target shares: one application object for the event loop the waits sleep in,
// and messages that are counted rather than shown.

#include "serial/messages.h"

#include <QCoreApplication>

inline QCoreApplication& fuzzApplication()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = [] {
        qputenv("QT_NO_GLIB", "1");  // the plain dispatcher: cheaper turns of the event loop
        return new QCoreApplication(argc, argv);
    }();
    return *app;
}

class SilentMessages : public Messages {
public:
    void inform(const QString& text) override { shown += int(text.size() > 0); }
    bool askYesNo(const QString&, const QString&) override { return true; }
    int shown = 0;
};

// The program's own reply period: the fuzz port ends the waits of an input that has run dry.
constexpr int fuzzReplyPeriodMs = 3300;
