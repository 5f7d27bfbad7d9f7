// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// SIGINT, SIGTERM and SIGHUP for the length of a subcommand. The first one is handed to the event
// loop (the handler only writes to a pipe), so that the subcommand can end tidily: send the fast
// stop, finish the write's value lines. A second one ends the program at once, as a person
// pressing Ctrl+C again expects. SIGPIPE is ignored, so that a reader gone away is a failed write,
// not a silent death.

#include <QString>

#include <functional>
#include <memory>

class QSocketNotifier;

class SignalWatch {
public:
    SignalWatch();
    ~SignalWatch();
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

    // Called from the event loop on the first signal; replaces the one before.
    void onSignal(std::function<void()> action) { m_action = std::move(action); }
    // Whether a signal has come, and its name ("SIGTERM"); empty when none.
    bool caught() const { return !m_name.isEmpty(); }
    QString name() const { return m_name; }

private:
    void deliver();

    std::unique_ptr<QSocketNotifier> m_notifier;
    std::function<void()> m_action;
    QString m_name;
};
