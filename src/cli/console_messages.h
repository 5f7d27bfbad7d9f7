// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The message seam on a terminal: each message is written to standard error exactly as the window
// would show it, its details on the lines after it. The write's question is answered by --yes, or
// asked on the terminal; with neither it is refused and remembered as a question that could not
// be asked.

#include "serial/messages.h"

class ConsoleMessages : public Messages {
public:
    explicit ConsoleMessages(bool assumeYes) : m_assumeYes(assumeYes) {}

    void inform(const QString& text) override;
    void informWithDetails(const QString& text, const QString& details) override;
    bool askYesNo(const QString& text, const QString& title) override;
    bool askYesNoWithDetails(const QString& text, const QString& title, const QString& details) override;

    // Whether a question will be put to a person at the terminal (no --yes, and a terminal).
    bool willAsk() const;
    // Whether any message has been shown.
    bool shown() const { return m_shown; }
    // Whether a question was answered No on the terminal, or could not be asked at all.
    bool declined() const { return m_declined; }
    bool couldNotAsk() const { return m_couldNotAsk; }

private:
    bool m_assumeYes;
    bool m_shown = false;
    bool m_declined = false;
    bool m_couldNotAsk = false;
};

// Writes `text` and a line end to standard error.
void printError(const QString& text);
// Writes `text` to standard output as it stands.
void printOut(const QString& text);
// Whether a write to standard output or standard error has failed so far.
bool outputFailed();
// `status` once everything is printed: after a failed write it is said on standard error, and a
// success becomes status 1, for a script must not take what it could not read for done.
int checkedOutput(int status);
// Whether anything has been written to standard error so far.
bool anyErrorPrinted();
// `text` from the box with every byte a terminal would act on (controls, ESC, NUL, DEL) written
// as \xNN, and the backslash doubled, so that what is printed can be read back unambiguously.
QString printable(const QString& text);
// A message of the window reworded for the terminal: the command line's options in place of menus.
QString forTerminal(QString text);
