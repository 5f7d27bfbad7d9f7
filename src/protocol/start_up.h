// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The start-up sequence, in one place: the prompt to connect the CBOX, the stored port read from
// the settings file, the port opened, then S, V only after a good S, and the parameter read only
// after a good V, which fills both parameter panels. It serves the ordinary start and the first
// start, where the port chooser has stood in for the missing settings file (no prompt, no settings
// read again: the port opens with the option just chosen).
//
// While the sequence runs, a port choice stores nothing. When the settings could not be loaded,
// the link goes on taking its port from the options and applying the whole configuration at every
// open, for the rest of the run.

#include <functional>

class Commands;
class Messages;
class SerialLink;
class View;

class StartUp {
public:
    enum class From {
        Prompt,      // the ordinary start
        PortChoice,  // a first start, after the port chooser
    };

    StartUp(SerialLink& link, Commands& commands, View& view, Messages& messages);

    // Runs the whole sequence. `onRunning` is told when it begins (true) and ends (false), so that
    // the window keeps its controls off meanwhile.
    void run(From from);
    bool running() const { return m_running; }
    // Whether the last sequence ended because the settings file could not be loaded.
    bool settingsMissing() const { return m_settingsMissing; }

    std::function<void(bool running)> onRunning;

private:
    SerialLink& m_link;
    Commands& m_commands;
    View& m_view;
    Messages& m_messages;
    bool m_running = false;
    bool m_settingsMissing = false;
};
