// SPDX-License-Identifier: GPL-3.0-or-later
#include "network/rotator_request.h"

#include <cmath>

namespace {

using Command = RotatorRequest::Command;

struct Form {
    char shortForm;
    const char* longForm;
    Command command;
    int arguments;
};

constexpr Form Forms[] = {
    {'p', "get_pos", Command::GetPosition, 0}, {'P', "set_pos", Command::SetPosition, 2},
    {'S', "stop", Command::Stop, 0},           {'K', "park", Command::Park, 0},
    {'_', "get_info", Command::GetInfo, 0},    {'q', "quit", Command::Quit, 0},
    {'Q', "quit", Command::Quit, 0},           {0, "dump_state", Command::DumpState, 0},
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

QList<QByteArrayView> words(QByteArrayView line)
{
    QList<QByteArrayView> list;
    qsizetype i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        const qsizetype start = i;
        while (i < line.size() && !isBlank(line[i]))
            ++i;
        if (i > start)
            list.append(line.sliced(start, i - start));
    }
    return list;
}

// A plain decimal number, as the tracking programs write angles: no hexadecimal, no "nan".
bool number(QByteArrayView word, double& value)
{
    for (char c : word)
        if (!(c >= '0' && c <= '9') && c != '.' && c != '-' && c != '+' && c != 'e' && c != 'E')
            return false;
    bool ok = false;
    value = word.toByteArray().toDouble(&ok);
    return ok && std::isfinite(value);
}

}  // namespace

RotatorRequest parseRotatorRequest(QByteArrayView line)
{
    RotatorRequest request;
    QList<QByteArrayView> list = words(line);
    if (list.isEmpty())
        return request;
    request.command = Command::Malformed;
    QByteArrayView head = list.takeFirst();
    if (head.startsWith('+')) {
        request.extended = true;
        head = head.sliced(1);
        if (head.isEmpty()) {
            if (list.isEmpty())
                return request;
            head = list.takeFirst();
        }
    }
    const Form* form = nullptr;
    for (const Form& f : Forms) {
        const bool shortMatch = head.size() == 1 && f.shortForm != 0 && head[0] == f.shortForm;
        const bool longMatch = head.size() > 1 && head[0] == '\\' && head.sliced(1) == QByteArrayView(f.longForm);
        if (shortMatch || longMatch)
            form = &f;
        if (form)
            break;
    }
    if (!form || list.size() != form->arguments)
        return request;
    for (const QByteArrayView& word : list)
        request.arguments += (request.arguments.isEmpty() ? "" : " ") + word.toByteArray();
    if (form->command == Command::SetPosition
        && !(number(list[0], request.azimuth) && number(list[1], request.elevation)))
        return request;
    request.command = form->command;
    return request;
}

QByteArray rotatorCommandName(Command command)
{
    for (const Form& f : Forms)
        if (f.command == command)
            return f.longForm;
    return {};
}

QByteArray rotatorAnswer(const RotatorRequest& request, RotatorCode code,
                         const QList<std::pair<QByteArray, QByteArray>>& values)
{
    const QByteArray report = "RPRT " + QByteArray::number(int(code)) + '\n';
    const bool ok = code == RotatorCode::Ok;
    QByteArray out;
    // A malformed line has no name to echo: it gets the plain answer.
    if (request.extended && request.command != Command::Malformed) {
        out = rotatorCommandName(request.command) + ':';
        if (!request.arguments.isEmpty())
            out += ' ' + request.arguments;
        out += '\n';
        if (ok)
            for (const auto& [key, value] : values)
                out += key + ": " + value + '\n';
        return out + report;
    }
    // A get answers its values alone; a failure or a set, the report.
    if (!ok || values.isEmpty())
        return report;
    for (const auto& value : values)
        out += value.second + '\n';
    return out;
}
