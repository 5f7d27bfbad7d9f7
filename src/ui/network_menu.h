// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Tools > Network control…: the window serves tracking programs (see network/rotator_server.h)
// while the operator keeps configuring the box. The choice is kept in network.ini beside rotor.ini
// and applied again at the next start; while the server is on, the status bar says where it
// listens and how many programs are connected, and a request that failed leaves one line there.

#include "network/network_exchanges.h"
#include "network/network_settings.h"
#include "network/rotator_server.h"

#include <QObject>

class Dialogs;
class Messages;
class QLabel;
class QMenu;
class QStatusBar;
class Session;
class SessionSignals;
class View;

class NetworkMenu : public QObject {
    Q_OBJECT
public:
    struct Uses {
        Session& session;
        View& view;
        SessionSignals& news;  // the window's own readings and stops, which the go-to rule heeds
        Messages& messages;
        Dialogs& dialogs;
    };
    NetworkMenu(const Uses& uses, QMenu* tools, QStatusBar* bar, QObject* parent);

    // The dialog, then the choice applied and stored.
    void configure();
    // Starts the server as network.ini says (off when there is none); run once the window is up.
    void applyStored();
    const RotatorServer& server() const { return m_server; }

private:
    // Listens as `settings` say, or stops; false (with the reason) when it could not listen.
    bool apply(const NetworkSettings& settings, QString* error);
    void showStatus();

    Session& m_session;
    Messages& m_messages;
    Dialogs& m_dialogs;
    NetworkExchanges m_exchanges;
    RotatorServer m_server;
    NetworkSettings m_settings;
    QStatusBar* m_bar;
    QLabel* m_label;
};
