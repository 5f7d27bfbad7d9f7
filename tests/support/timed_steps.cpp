// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/timed_steps.h"

TimedSteps::TimedSteps(int patienceMs, std::function<void()> giveUp) : m_giveUp(std::move(giveUp))
{
    connect(&m_tick, &QTimer::timeout, this, &TimedSteps::poll);
    m_tick.start(2);
    m_sincePrevious.start();
    // The watchdog runs whether steps remain or not: a monitor that no longer hears the stop
    // click of the last step is still stopped.
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        timedOut = true;
        m_tick.stop();
        if (m_giveUp)
            m_giveUp();
    });
    m_deadline.start(patienceMs);
}

TimedSteps& TimedSteps::when(std::function<bool()> condition, std::function<void()> action)
{
    m_steps.append({[condition = std::move(condition)](qint64) { return condition(); }, std::move(action)});
    return *this;
}

TimedSteps& TimedSteps::after(int ms, std::function<void()> action)
{
    m_steps.append({[ms](qint64 since) { return since >= ms; }, std::move(action)});
    return *this;
}

TimedSteps& TimedSteps::until(std::function<bool()> step)
{
    m_steps.append({[step = std::move(step)](qint64) { return step(); }, [] {}});
    return *this;
}

void TimedSteps::poll()
{
    // A step that clicks runs the event loop itself: the tick must not start the next step inside it.
    if (m_inStep)
        return;
    m_inStep = true;
    while (!m_steps.isEmpty() && m_steps.first().condition(m_sincePrevious.elapsed())) {
        const Step step = m_steps.takeFirst();
        step.action();
        m_sincePrevious.restart();
    }
    m_inStep = false;
    if (m_steps.isEmpty())
        m_tick.stop();
}
