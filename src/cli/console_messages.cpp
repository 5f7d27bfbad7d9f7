// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/console_messages.h"

#include <QStringList>

#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace {

bool failedOutput = false;
bool errorPrinted = false;

void put(const QString& text, FILE* stream)
{
    // A full disk, a closed descriptor or a reader gone (SIGPIPE is ignored): the run must not end 0.
    if (std::fputs(text.toLocal8Bit().constData(), stream) < 0 || std::fflush(stream) != 0)
        failedOutput = true;
}

}  // namespace

void printError(const QString& text)
{
    errorPrinted = true;
    put(text + QLatin1Char('\n'), stderr);
}

void printOut(const QString& text) { put(text, stdout); }

bool outputFailed() { return failedOutput; }

int checkedOutput(int status)
{
    if (!failedOutput)
        return status;
    printError(QStringLiteral("rotor: the output could not be written."));
    return status == 0 ? 1 : status;
}

bool anyErrorPrinted() { return errorPrinted; }

QString printable(const QString& text)
{
    QString out;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\\')
            out += QStringLiteral("\\\\");
        else if (c.isPrint() && u != 0x7F)
            out += c;
        else
            out += QStringLiteral("\\x%1").arg(unsigned(u), 2, 16, QLatin1Char('0'));
    }
    return out;
}

QString forTerminal(QString text)
{
    // The window's menus are not at hand on a terminal; the options that do the same are.
    text.replace(QStringLiteral("choose its port with Port > Choose serial port\u2026"),
                 QStringLiteral("give its port with --port N or --device PATH"));
    text.replace(QStringLiteral("choose the device with Port > Choose serial port\u2026"),
                 QStringLiteral("give the device with --device PATH"));
    text.replace(QStringLiteral("choose one with Port > Choose serial port\u2026"),
                 QStringLiteral("give one with --port N or --device PATH"));
    text.replace(QStringLiteral("Choose a file saved with File > Save parameters."),
                 QStringLiteral("Give a file written by rotor read -o FILE."));
    // A message may quote what the box sent ("received: ..."): its line breaks stay, any other
    // control byte is written out.
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines)
        line = printable(line).replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
    return lines.join(QLatin1Char('\n'));
}

void ConsoleMessages::inform(const QString& text)
{
    m_shown = true;
    printError(forTerminal(text));
}

void ConsoleMessages::informWithDetails(const QString& text, const QString& details)
{
    m_shown = true;
    printError(forTerminal(details.isEmpty() ? text : text + QLatin1Char('\n') + details));
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
