// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_line.h"
#include "rotor/version.h"

#include "cli/console_messages.h"
#include "cli/headless.h"

#include <QByteArray>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>

namespace {

const char* const ProgramName = "rotor";

// Qt's own options, with the value each takes: the parser must know them so as not to take them for
// mistakes. It only reads them; QApplication acts on them. One dash or two, as Qt accepts both.
struct QtOption {
    const char* name;
    const char* value;  // nullptr for a switch
};
constexpr QtOption QtOptions[] = {
    {"platform", "name"},
    {"platformpluginpath", "path"},
    {"platformtheme", "name"},
    {"plugin", "name"},
    {"qwindowgeometry", "geometry"},
    {"geometry", "geometry"},
    {"qwindowtitle", "title"},
    {"title", "title"},
    {"qwindowicon", "icon"},
    {"icon", "icon"},
    {"display", "display"},
    {"session", "session"},
    {"style", "style"},
    {"stylesheet", "file"},
    {"qmljsdebugger", "options"},
    {"reverse", nullptr},
    {"widgetcount", nullptr},
    {"nograb", nullptr},
    {"dograb", nullptr},
    {"sync", nullptr},
};

QStringList arguments(int argc, char* argv[])
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}

// The first word that is neither an option nor an option's value: the subcommand or the file.
// The subcommands' own options may come before it (rotor --port 1 status).
QString firstWord(const QStringList& args)
{
    static const QStringList withValue{QStringLiteral("o"), QStringLiteral("port"), QStringLiteral("device"),
                                       QStringLiteral("timeout")};
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& word = args[i];
        if (word == QLatin1String("--"))
            return args.value(i + 1);
        if (!word.startsWith(QLatin1Char('-')) || word == QLatin1String("-"))
            return word;
        QString name = word.mid(word.startsWith(QLatin1String("--")) ? 2 : 1);
        if (name.contains(QLatin1Char('=')))
            continue;
        bool takesValue = withValue.contains(name);
        for (const QtOption& qt : QtOptions)
            takesValue = takesValue || (qt.value && name == QLatin1String(qt.name));
        if (takesValue)
            ++i;
    }
    return {};
}

void print(FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// Why no window can be shown, in one line, or nothing when a display may be there. Without one the
// application object would abort with advice to reinstall; said here, before it is made, the
// operator learns what is actually missing.
QString missingDisplay(const QCommandLineParser& parser)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (parser.isSet(QStringLiteral("platform")) || parser.isSet(QStringLiteral("display")))
        return {};
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        if (!qEnvironmentVariableIsEmpty(name))
            return {};
    return QStringLiteral("no display found (DISPLAY is not set); run it on a virtual display with: xvfb-run -a %1")
        .arg(QLatin1String(ProgramName));
#else
    Q_UNUSED(parser);
    return {};
#endif
}

}  // namespace

std::optional<int> answerCommandLine(int argc, char* argv[], QString* file)
{
    QCommandLineParser parser;
    // "-platform" is one option, not -p -l -a ...; so is "-v".
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Reads, sets and exercises the configuration of an antenna-rotator control box (the CBOX)\n"
                       "over a serial line. Without options it opens its window on the configured port; given a\n"
                       "parameter file (rotor FILE.rotor) it loads that file into the PARAMETERS SET panel once the\n"
                       "start-up has ended. Given a subcommand (rotor read ...) it answers without a window.\n"
                       "Qt's own options, such as -platform and -style, are taken as in every Qt program."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the program's version and exit."));
    parser.addOption(help);
    parser.addOption(version);
    for (const QtOption& qt : QtOptions) {
        QCommandLineOption option(QString::fromLatin1(qt.name));
        if (qt.value)
            option.setValueName(QString::fromLatin1(qt.value));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }

    const QStringList args = arguments(argc, argv);
    const QString first = firstWord(args);
    if (isSubcommand(first))
        return runSubcommand(argc, argv);
    const bool parsed = parser.parse(args);
    if (parsed && parser.positionalArguments().size() > 1) {
        print(stderr, QStringLiteral("%1: one parameter file at most, or a subcommand first\nTry '%1 --help'.\n")
                          .arg(QLatin1String(ProgramName)));
        return 2;
    }
    if (parsed && !parser.isSet(help) && !parser.isSet(version)) {
        // A word that names no file is most likely a mistyped subcommand: the window and its
        // start-up are not what was asked for.
        if (!parser.positionalArguments().isEmpty() && !QFileInfo::exists(parser.positionalArguments().first())) {
            print(stderr, QStringLiteral("%1: '%2' is neither a subcommand nor a file\nTry '%1 --help'.\n")
                              .arg(QLatin1String(ProgramName), parser.positionalArguments().first()));
            return 2;
        }
        if (file && !parser.positionalArguments().isEmpty())
            *file = parser.positionalArguments().first();
        if (const QString missing = missingDisplay(parser); !missing.isEmpty()) {
            print(stderr, QStringLiteral("%1: %2\n").arg(QLatin1String(ProgramName), missing));
            return 1;
        }
        return std::nullopt;
    }

    if (!parsed) {
        print(stderr, QStringLiteral("%1: %2\nTry '%1 --help'.\n").arg(QLatin1String(ProgramName), parser.errorText()));
        return 2;
    }
    if (parser.isSet(version)) {
        printOut(QStringLiteral("%1 %2\n").arg(QLatin1String(ProgramName), QStringLiteral(ROTOR_VERSION)));
        return checkedOutput(0);
    }
    // The help text names the program from the application object; a core one needs no display.
    int coreArgc = 1;
    QByteArray coreName(ProgramName);
    char* coreArgv[] = {coreName.data(), nullptr};
    QCoreApplication core(coreArgc, coreArgv);
    printOut(parser.helpText() + QLatin1Char('\n') + subcommandHelp());
    return checkedOutput(0);
}
