// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The CBOX commands, one exchange each. Every family lives in a file of its own:
//   mode_commands.cpp         S, M, V
//   status_command.cpp        "?"
//   motion_commands.cpp       G with an angle, the fast and the soft stop
//   calibration_commands.cpp  C, c, F, K
//   parameter_read.cpp        L
//   parameter_write.cpp       W

#include "protocol/field.h"

#include <QStringList>

class CommunicationMonitor;
class ExchangeLock;
class View;
class SerialLink;

class Commands {
public:
    // The lock holds the stops clicked during the parameter write's dialogue; the monitor, when
    // there is one, is told of the stops sent while it runs, whose replies its closing S passes over.
    Commands(SerialLink& link, View& view, ExchangeLock& lock, CommunicationMonitor* monitor = nullptr);

    // Another set of commands on the same session, with a view of its own.
    Commands(Commands& sharing, View& view);

    SerialLink& link() { return m_link; }
    View& view() { return m_view; }

    // What each exchange read and how it ended goes to the view's session observer
    // (session_observer.h). The block of the last parameter read that ended well in this run; empty before.
    const QStringList& lastBlock() const { return m_lastBlock; }

    // S and V return true when they failed (port, timeout or a failed test), false otherwise,
    // also when the monitor runs and the reply is left to it.
    bool CMD_S();
    // The S that ends monitoring: the box sends status frames until it has received S, so the
    // few still on the line come before its reply; they are passed over, not taken for it, and so
    // are the replies to the `stopReplies` stops sent while the monitor ran or ended.
    bool CMD_S_AFTER_MONITOR(int stopReplies);
    void CMD_M();
    bool CMD_VERSION();

    // Its button is off while it runs; a query nobody clicked (the dial following a turn) greys
    // no button, so that the window looks the same whether the dial asks or not.
    void CMD_STATUS(bool greyButton = true);

    void CMD_GOTO();
    void CMD_FAST_STOP();
    void CMD_SOFT_STOP();

    void CMD_CAL360();
    void CMD_CALDEF();
    void CMD_CALFACTOR();
    void CMD_CALANGLE();

    void CMD_READ_PARAMS();
    // The start-up's parameter read, which also fills the parameter-set panel.
    void CMD_READ_PARAMS_FILLING_PANEL();
    bool fillingPanel() const { return m_panelFill; }
    void CMD_WRITE_PARAMS();

private:
    bool exchangeS(bool afterMonitor, int stopReplies);
    // F and K: the entry's text, refused unless it is a plain number.
    void calibrateWithEntry(QChar letter, Field entry, const QString& label);

    CommunicationMonitor* m_monitor = nullptr;
    QStringList m_lastBlock;
    bool m_panelFill = false;

    SerialLink& m_link;
    View& m_view;
    ExchangeLock& m_lock;
};
