// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The simulated CBOX (cbox-sim from the build tree) as a child process, plugged in as a port inside a
// private configuration folder, with its log kept in that folder for the test to read.

#include <QProcess>
#include <QString>
#include <QStringList>

class SimProcess {
public:
    // `program` is the simulator's executable. Its files live in `configDir`: the port link
    // <configDir>/rotor/ports/comN, the log cbox-sim.log and its standard error cbox-sim.stderr.
    SimProcess(const QString& program, const QString& configDir, int port = 1);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts it with `args` (and --fast unless `fast` is false), plugged in as the port, and waits
    // until it has announced its device. False when it did not come up.
    bool start(const QStringList& args, bool fast = true);
    // The device it serves now (the last one announced).
    QString device() const { return m_device; }
    // Waits for the next device it announces (after a hang-up); empty when none came in time.
    QString nextDevice(int timeoutMs);
    // The link that makes it port N for the tool.
    QString linkPath() const;

    // The whole log so far.
    QString log() const;
    // The frames and value lines it received from the tool, in order, as the log writes them
    // ("<STX>AS<CR>").
    QStringList received() const;
    // Waits until a log line holds `text`; false when none did in time.
    bool waitForLog(const QString& text, int timeoutMs);

    // SIGKILL, as a box that is switched off: nothing is tidied up.
    void kill();
    // SIGTERM; true when it ended cleanly.
    bool terminate();
    QProcess& process() { return m_process; }

private:
    QString m_program;
    QString m_configDir;
    int m_port;
    QProcess m_process;
    QString m_device;
};
