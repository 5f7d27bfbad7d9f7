// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Steps that drive a test while a click handler that does not return at once (the monitor, or an
// exchange waiting for its reply) runs: each runs once its condition holds, after the step before
// it, checked every few milliseconds from inside the handler's own event processing. Past the
// patience `timedOut` is raised and `giveUp` runs (it stops the monitor, say), so that a fault
// fails the test instead of hanging it.

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>
#include <functional>

class TimedSteps : public QObject {
public:
    explicit TimedSteps(int patienceMs, std::function<void()> giveUp = {});

    // Runs `action` once `condition` holds.
    TimedSteps& when(std::function<bool()> condition, std::function<void()> action);
    // Runs `action` `ms` after the step before it ran (after the start, for the first).
    TimedSteps& after(int ms, std::function<void()> action);
    // Tries `step` until it says it is done.
    TimedSteps& until(std::function<bool()> step);

    bool done() const { return m_steps.isEmpty(); }
    bool timedOut = false;

private:
    struct Step {
        std::function<bool(qint64)> condition;  // given the milliseconds since the step before
        std::function<void()> action;
    };
    void poll();

    std::function<void()> m_giveUp;
    QTimer m_tick;
    QTimer m_deadline;
    QElapsedTimer m_sincePrevious;
    QList<Step> m_steps;
    bool m_inStep = false;
};
