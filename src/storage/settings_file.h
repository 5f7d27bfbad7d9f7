// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The settings file (file_in): one line holding the chosen port number, and where it lives.
// Written as a space, the number, a space, CR LF. Read from its first line only.

#include "serial/port_choice.h"

#include <QByteArray>
#include <QString>
#include <optional>

// The folder of this tool's own settings: on Windows "c:\", elsewhere
// $XDG_CONFIG_HOME/rotor (by default ~/.config/rotor).
QString configFolder();
// "c:\rotor.ini" on Windows, configFolder()/rotor.ini elsewhere.
QString settingsFilePath();

// The port number held by the file's contents: the first line (up to the first LF, CR dropped
// together with the character after it), spaces trimmed, its leading decimal number rounded to
// the nearest integer (halves to even), 0 when the line has no leading number. Empty when the
// number lies beyond the 16-bit signed range.
std::optional<qint16> parsePortNumber(const QByteArray& contents);

// The port number stored in the file; empty when the file is missing or unreadable or its
// number is out of range.
std::optional<qint16> readPortNumber(const QString& path);

// Rewrites the file whole with the one line for port n. On failure returns false and says why.
bool writePortNumber(const QString& path, int n, QString* error = nullptr);

// The device that port number n opens with the settings file in its usual place.
QString portDeviceName(int n);

// The settings file the port choice keeps its number in; by default the platform's place for it.
class SettingsFile : public PortSettings {
public:
    explicit SettingsFile(const QString& path = settingsFilePath()) : m_path(path) {}
    void setPath(const QString& path) { m_path = path; }
    QString path() const override { return m_path; }
    std::optional<qint16> load() const override { return readPortNumber(m_path); }
    bool save(int number, QString* error) override { return writePortNumber(m_path, number, error); }

private:
    QString m_path;
};
