// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The port choice: which port the exchanges open and why. It holds the port number, the COM option
// selected in the window, where the start-up sequence stands and, for one run, a device named on
// the command line; the settings file it is given keeps the number and tells where the port links
// live. The real port asks it for the device at every open.

#include <QString>
#include <optional>

// Where the chosen port number is kept between runs. The settings file (storage/) is the one kept;
// the link sees only this much of it.
class PortSettings {
public:
    virtual ~PortSettings() = default;
    virtual QString path() const = 0;
    // The number stored; empty when the file is missing or unreadable or its number is out of range.
    virtual std::optional<qint16> load() const = 0;
    // On failure returns false and says why.
    virtual bool save(int number, QString* error) = 0;
};

class PortChoice {
public:
    explicit PortChoice(PortSettings& settings) : m_settings(settings) {}

    // The port chosen, 1 and up (0 before any is known).
    qint16 number() const { return m_number; }
    void setNumber(int number) { m_number = qint16(number); }
    // Reads the stored number; false when there is none.
    bool load();
    // Stores the number; on failure says why.
    bool save(QString* error) { return m_settings.save(m_number, error); }

    QString settingsPath() const { return m_settings.path(); }
    // The folder of the port links: "ports" beside the settings file.
    QString linksFolder() const;

    // The COM option selected in the window, 1 to 4, or 0 when none is; the window tells every
    // change of selection.
    void setSelectedOption(int option) { m_selectedOption = option; }
    int selectedOption() const { return m_selectedOption; }

    // Where the start-up sequence stands, as far as the port choice is concerned. The sequence
    // tells each step; nothing else does.
    enum class StartUpPhase {
        Over,             // OPEN_PORT opens the port as configured; a port choice is stored
        Running,          // the sequence runs with the port configured: a port choice stores nothing
        Configuring,      // the sequence runs and opens the port next: OPEN_PORT takes the port from
                          // the options and applies the whole configuration; a choice stores nothing
        SettingsMissing,  // the settings could not be loaded: for the rest of the run OPEN_PORT
                          // configures in full from the options, while a port choice is stored
    };
    void setStartUpPhase(StartUpPhase phase) { m_phase = phase; }
    StartUpPhase startUpPhase() const { return m_phase; }
    // Whether a port choice would be stored now (not while the start-up sequence runs).
    bool stored() const { return m_phase == StartUpPhase::Over || m_phase == StartUpPhase::SettingsMissing; }
    // Whether an open takes the port from the options and applies the whole configuration.
    bool configuresInFull() const
    {
        return m_phase == StartUpPhase::Configuring || m_phase == StartUpPhase::SettingsMissing;
    }

    // Opens `device` whatever the port number, for the rest of the run: a device named on the command
    // line, stored nowhere. The port number is then 0.
    void useDevice(const QString& device);
    // The device an open tries, read afresh at each call (a link may change at any time): the device
    // named for this run, else what the port number leads to; empty when ports/comN is there but is
    // not a link.
    QString device() const;
    // Why the port number opens no device, for the operator; empty when it may open one.
    QString withoutDevice() const;

private:
    PortSettings& m_settings;
    qint16 m_number = 0;
    int m_selectedOption = 0;  // none without a window
    StartUpPhase m_phase = StartUpPhase::Over;
    QString m_device;
};
