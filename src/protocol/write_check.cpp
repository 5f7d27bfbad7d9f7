// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/write_check.h"

#include "protocol/entry_checks.h"
#include "protocol/entry_value.h"
#include "protocol/set_panel_entries.h"

#include <QRegularExpression>
#include <initializer_list>

namespace {

// What a computed line may come to: a duration in ticks fills a 16-bit field of the box; the
// check angle in degrees keeps to what a line of five digits holds.
struct LineRange {
    double low, high;
};
constexpr LineRange ticksRange{0, 65535};
constexpr LineRange angleRange{-99999, 99999};

// The label the panel shows beside each entry.
QString label(Field field) { return QString::fromUtf8(setPanelEntry(field).label); }

const QString& textOf(const PanelState& panel, Field field) { return panel.*setPanelEntry(field).text; }

// A text as the message shows it: quoted, with each control character as its code, as the
// monitor's listing shows them.
QString shown(const QString& text)
{
    if (text.isEmpty())
        return QStringLiteral("nothing");
    QString out;
    for (const QChar c : text)
        out += c.unicode() < 32 || c.unicode() == 127 ? QStringLiteral("<%1>").arg(c.unicode()) : QString(c);
    return QLatin1Char('"') + out + QLatin1Char('"');
}

bool isTypedWhole(const QString& text)
{
    static const QRegularExpression whole(QStringLiteral("\\A-?[0-9]{1,5}\\z"));
    return whole.match(text).hasMatch();
}

const QString withoutPlus = QStringLiteral("the number without its \"+\"");

struct Judged {
    QList<RefusedEntry> refused;
    void refuse(Field field, const QString& holds, const QString& mayHold)
    {
        for (const RefusedEntry& r : refused)
            if (r.field == field)
                return;  // one reason per entry: the first
        refused.append({field, label(field), holds, mayHold});
    }
};

// A line sent as the entry's text: lower and upper limit, ramp; the offset also in 16 bits.
void judgeTyped(Judged& judged, const PanelState& panel, const SetPanelEntry& entry)
{
    const Field field = entry.field;
    const QString typed = trimmedText(textOf(panel, field));
    const bool offset = entry.line == SetPanelEntry::Line::Offset;
    const QString range = offset ? QStringLiteral("a whole number from -32768 to 32767")
                                 : QStringLiteral("a whole number of 1 to 5 digits, with an optional \"-\"");
    if (typed.startsWith(QLatin1Char('+'))) {
        judged.refuse(field, shown(textOf(panel, field)), range + QStringLiteral(": write ") + withoutPlus);
        return;
    }
    // The offset goes as its value when it begins with "-": that value must come from a number.
    const QString sent = encode_write_lines(entry.writeLine, panel);
    const bool fromNumber = !offset || !typed.startsWith(QLatin1Char('-')) || isPlainNumber(typed);
    if (!fromNumber || !isTypedWhole(sent) || (offset && (sent.toInt() < -32768 || sent.toInt() > 32767)))
        judged.refuse(field, shown(textOf(panel, field)), range);
}

// A computed line: each entry a plain number, the line within `range`.
void judgeComputed(Judged& judged, const PanelState& panel, const SetPanelEntry& entry,
                   std::initializer_list<Field> fields, LineRange range)
{
    const QString what = QString::fromUtf8(entry.lineMeaning);
    bool allPlain = true;
    for (Field field : fields) {
        const QString typed = trimmedText(textOf(panel, field));
        if (typed.startsWith(QLatin1Char('+')))
            judged.refuse(field, shown(textOf(panel, field)), QStringLiteral("a plain number: write ") + withoutPlus);
        else if (!isPlainNumber(typed))
            judged.refuse(field, shown(textOf(panel, field)),
                          QStringLiteral("a plain number: digits, with an optional \"-\" and decimals after a \".\""));
        else
            continue;
        allPlain = false;
    }
    if (!allPlain)
        return;
    const QString sent = encode_write_lines(entry.writeLine, panel);
    if (const double value = entryValue(sent); value > range.high || value < range.low) {
        for (Field field : fields)
            judged.refuse(field, shown(textOf(panel, field)),
                          QStringLiteral("a value that keeps %1 within %2..%3 (it would be %4)")
                              .arg(what, decimalText(range.low), decimalText(range.high), sent));
    }
}

}  // namespace

bool isPlainNumber(const QString& text)
{
    static const QRegularExpression plain(QStringLiteral("\\A-?[0-9]+(\\.[0-9]+)?\\z"));
    return plain.match(text).hasMatch();
}

QList<RefusedEntry> refusedWriteEntries(const PanelState& panel)
{
    using Line = SetPanelEntry::Line;
    Judged judged;
    for (int line = 1; line <= writeLineCount; ++line) {
        const SetPanelEntry& entry = *writeLineEntry(line);
        switch (entry.line) {
        case Line::StopMode:
        case Line::Flag: break;  // cannot go wrong
        case Line::AsTyped:
        case Line::Offset: judgeTyped(judged, panel, entry); break;
        case Line::Seconds: judgeComputed(judged, panel, entry, {entry.field}, ticksRange); break;
        case Line::PwmOnTime:
        case Line::PwmOffTime:
            judgeComputed(judged, panel, entry, {Field::pwm_period, Field::pwm_max_duty}, ticksRange);
            break;
        case Line::PwmMinTime:
            judgeComputed(judged, panel, entry, {Field::pwm_period, Field::pwm_min_duty}, ticksRange);
            break;
        case Line::WholeDegrees: judgeComputed(judged, panel, entry, {entry.field}, angleRange); break;
        }
    }
    return judged.refused;
}

QString writeRefusalText(const QList<RefusedEntry>& refused)
{
    QStringList lines{QStringLiteral("cmd W not sent: the CBOX cannot take what these entries hold.")};
    for (const RefusedEntry& r : refused)
        lines << QStringLiteral("%1 holds %2; it may hold %3.").arg(r.label, r.holds, r.mayHold);
    return lines.join(QLatin1Char('\n'));
}

QList<WriteLineDifference> writeLineDifferences(const QStringList& lines, const QStringList& block)
{
    QList<WriteLineDifference> differences;
    for (int line = 1; line <= writeLineCount; ++line) {
        const QString sent = lines.value(line - 1);
        if (sent.isEmpty())
            continue;  // an empty stop-mode line has nothing to compare
        const SetPanelEntry& entry = *writeLineEntry(line);
        QString held = blockText(block, writtenField(line));
        // The offset comes back as a 16-bit two's-complement number: 65531 is the -5 written.
        if (entry.line == SetPanelEntry::Line::Offset && entryValue(held) > 32767)
            held = decimalText(entryValue(held) - 65536);
        if (entryValue(sent) != entryValue(held))
            differences.append({line, writtenField(line), QString::fromUtf8(entry.lineName), held, sent});
    }
    return differences;
}

QString writeChangesText(const QStringList& lines, const QStringList& lastBlock)
{
    if (lastBlock.size() < writtenField(writeLineCount))
        return QStringLiteral("The CBOX has not been read since rotor started: what it holds now is not known.");
    QStringList changes;
    for (const WriteLineDifference& change : writeLineDifferences(lines, lastBlock))
        changes << QStringLiteral("%1: %2 → %3").arg(change.name, change.held, change.sent);
    if (changes.isEmpty())
        return QStringLiteral("The CBOX already holds these values, as read last.");
    changes.prepend(QStringLiteral("What the write changes in the CBOX, as read last:"));
    return changes.join(QLatin1Char('\n'));
}

QString writeWarningsText(const PanelState& panel, const QStringList& lines)
{
    QStringList warnings;
    // The limits and the offset go as their lines say.
    const QString lower = lines.value(1), upper = lines.value(2),
                  offset = lines.value(setPanelEntry(Field::offset_write).writeLine - 1);
    if (!limitsInOrder(lower, upper))
        warnings << QStringLiteral("Lower Limit %1 is above Upper Limit %2.").arg(lower, upper);
    if (!offsetValid(offset))
        warnings << QStringLiteral("Offset %1 is outside -70 to 70.").arg(offset);
    // The minimum duty travels as ticks; it is judged on the texts the PWM lines came from.
    const QString min = trimmedText(panel.pwmMinDuty), max = trimmedText(panel.pwmMaxDuty);
    if (!minimumDutyValid(min, max, panel.pwmPeriod)) {
        const double minValue = entryValue(min);
        const QString minDuty = label(Field::pwm_min_duty) + QLatin1Char(' ') + min;
        if (minValue > 100)
            warnings << minDuty + QStringLiteral(" is above 100.");
        else if (minValue < 0)
            warnings << minDuty + QStringLiteral(" is below 0.");
        else if (entryValue(max) < minValue)
            warnings << QStringLiteral("%1 is above %2 %3.").arg(minDuty, label(Field::pwm_max_duty), max);
        else
            warnings << QStringLiteral("%1 gives a shortest on-time of %2 ms, below 1.6 ms.")
                            .arg(minDuty, decimalText(entryValue(panel.pwmPeriod) * minValue / 100));
    }
    if (warnings.isEmpty())
        return {};
    warnings.prepend(QStringLiteral("Outside their marked range, written as they are:"));
    return warnings.join(QLatin1Char('\n'));
}

QString writeQuestionDetails(const PanelState& panel, const QStringList& lines, const QStringList& lastBlock)
{
    const QString warnings = writeWarningsText(panel, lines);
    const QString changes = writeChangesText(lines, lastBlock);
    return warnings.isEmpty() ? changes : warnings + QStringLiteral("\n\n") + changes;
}

QString calibrationRefusalText(const QString& command, const QString& label, const QString& text)
{
    const QString typed = trimmedText(text);
    if (isPlainNumber(typed))
        return {};
    const QString may =
        typed.startsWith(QLatin1Char('+'))
            ? QStringLiteral("a plain number: write ") + withoutPlus
            : QStringLiteral("a plain number: digits, with an optional \"-\" and decimals after a \".\"");
    return QStringLiteral("%1 not sent: %2 holds %3; it may hold %4.").arg(command, label, shown(text), may);
}
