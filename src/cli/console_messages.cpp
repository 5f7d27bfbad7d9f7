// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/console_messages.h"

#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

void printError(const QString& text)
{
    std::fputs((text + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

void printOut(const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

void ConsoleMessages::inform(const QString& text)
{
    m_shown = true;
    printError(text);
}

void ConsoleMessages::informWithDetails(const QString& text, const QString& details)
{
    m_shown = true;
    printError(details.isEmpty() ? text : text + QLatin1Char('\n') + details);
}

bool ConsoleMessages::askYesNo(const QString& text, const QString& title)
{
    return askYesNoWithDetails(text, title, {});
}

bool ConsoleMessages::willAsk() const { return !m_assumeYes && isatty(fileno(stdin)) && isatty(fileno(stderr)); }

bool ConsoleMessages::askYesNoWithDetails(const QString& text, const QString& title, const QString& details)
{
    if (m_assumeYes)
        return true;
    // Only a person at a terminal can answer; a script that means yes says --yes.
    if (!willAsk()) {
        m_couldNotAsk = true;
        printError(QStringLiteral("%1: %2\nNo terminal to ask on: nothing was sent. Give --yes to answer yes.")
                       .arg(title, text));
        return false;
    }
    QString question = title + QStringLiteral(": ") + text;
    if (!details.isEmpty())
        question += QLatin1Char('\n') + details;
    std::fputs((question + QStringLiteral("\n[y/N] ")).toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    char line[64] = {};
    const bool read = std::fgets(line, sizeof line, stdin) != nullptr;
    const QString answer = QString::fromLocal8Bit(line).trimmed().toLower();
    const bool yes = read && (answer == QLatin1String("y") || answer == QLatin1String("yes"));
    if (!yes) {
        m_declined = true;
        printError(QStringLiteral("Not confirmed: nothing was sent."));
    }
    return yes;
}
