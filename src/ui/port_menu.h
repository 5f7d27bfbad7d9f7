// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Port menu of the main window, and what goes with it: the choice a COM option makes, the port
// chooser and the assignment it makes, the chooser that a first start opens, the search for the
// CBOX over every port (Find the CBOX…), and the hint on each COM option naming the device it
// opens.

#include <QObject>
#include <functional>

class Controls;
class Dialogs;
class Messages;
class PortDiscovery;
struct PortAssignment;
class QMenu;
class SerialLink;
class Session;
class View;

class PortMenu : public QObject {
    Q_OBJECT
public:
    struct Uses {
        Session& session;          // the link the options choose for, and the start-up
        View& view;                // the options' states, and who is told of the port in use
        const Controls& controls;  // the options themselves, for their hints
        Messages& messages;
        Dialogs& dialogs;
    };

    // Fills `port`, the Port menu ("Choose serial port…"), and wires the COM options: each runs
    // its choice whenever it becomes selected, and on a click while already selected.
    PortMenu(const Uses& uses, QMenu* port, QObject* parent);

    // Port > Choose serial port…: the chooser, and on OK the device assigned (see
    // port_assignment.h), the matching option selected and the hints renewed. No exchange runs; the
    // next one opens the port. True when a port was assigned. At a first start the chooser says why
    // it is there.
    bool choosePort(bool firstStart = false);

    // Port > Find the CBOX…: once the operator agrees, the status query goes to every serial port
    // known (see knownPorts()) at once; what each came to is shown, and the first port on which the
    // CBOX answered is offered as the port of the COM option selected (COM 1 when none is), as the
    // chooser assigns it. Refused while an exchange or the monitor runs; a stop clicked meanwhile
    // ends the search and goes out at once.
    void findCbox();
    // The ports to search; the system's by default.
    void setDiscovery(PortDiscovery* discovery) { m_discovery = discovery; }

    // Runs when the start-up sequence has ended: renews the hints and, when the sequence ended
    // because there is no settings file, opens the chooser; on OK `startUpAfterPortChoice` runs the
    // start-up's exchanges once.
    void afterStartUp(const std::function<void()>& startUpAfterPortChoice);

private:
    // The COM option selected (1 to 4), or 0 when none is.
    int selectedOption() const;
    // Writes `assignment` and makes its number this run's port; false (the operator told why) when
    // it could not be written.
    bool assign(const PortAssignment& assignment);

    Session& m_session;
    View& m_view;
    const Controls& m_controls;
    Messages& m_messages;
    Dialogs& m_dialogs;
    PortDiscovery* m_discovery = nullptr;
    // An option has just become selected: the click that did it runs no second choice.
    bool m_optionJustSelected = false;
};

// Each COM option's tooltip and accessible description: the device its port number opens now.
void refreshPortOptionHints(const SerialLink& link, const Controls& controls);
