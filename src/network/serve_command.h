// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// rotor serve: the session on the port, driven by tracking programs over the network, with no
// window, until SIGINT or SIGTERM.

#include <QString>

class Session;
class View;

// Serves on `listen` ("ADDR:PORT"; loopback port 4533 when empty). Returns the exit status: 0 after
// a signal, 2 for an address that is not one, 3 when it cannot be listened on.
int serveOnNetwork(Session& session, View& view, const QString& listen);
