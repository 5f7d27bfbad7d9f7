// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The settings file (file_in): one line holding the chosen port number, and where it lives.
// Written as a space, the number, a space, CR LF. Read from its first line only.

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
