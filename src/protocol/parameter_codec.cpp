// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/parameter_codec.h"

#include "protocol/entry_value.h"
#include "protocol/set_panel_entries.h"

namespace {

const QString separatorMessage = QStringLiteral("Separator invalid, received:");
const QString terminatorMessage = QStringLiteral("<Return> invalid, received ASC:");

DecodeResult failure(const QString& message) { return DecodeResult{false, message, false}; }

DecodeResult silentEnd() { return DecodeResult{false, QString(), true}; }

QString readField(int number, CharacterSource& source)
{
    switch (number) {
    case blockField::cboxState: return source.GET_CHAR();
    case blockField::stopMode: return source.GET_NUM05();
    default: return source.GET_NUM05NT();
    }
}

// Fields whose value, when not one of the expected texts, ends the read without a message.
bool endsSilently(int number, const QString& text)
{
    if (number == blockField::cboxState)
        return text != QLatin1String("B") && text != QLatin1String("R");
    if (number == blockField::stopMode)
        return text != QLatin1String("0") && text != QLatin1String("1") && text != QLatin1String("2");
    return false;
}

FieldChange windowText(Field field, const QString& text)
{
    return FieldChange{field, text, std::nullopt, std::nullopt};
}

const QString degree = QStringLiteral("\u00B0");

// A delay in ticks as whole seconds.
QString secondsText(const QString& ticks) { return decimalText(Int(entryValue(ticks) * 1.64 / 1000 + 0.5)); }

// The offset travels as a 16-bit two's-complement number: above 32767 it stands for value - 65536.
QString offsetText(const QString& text)
{
    const double value = entryValue(text);
    return value > 32767 ? decimalText(value - 65536) : text;
}

// The PWM period in ms and the duties in %, from the on-, off- and minimum times in ticks. No
// division by a zero period: the duties are then 0.
struct Pwm {
    double on, sum;
    Pwm(const QString& onTicks, const QString& offTicks) : on(entryValue(onTicks)), sum(on + entryValue(offTicks)) {}
    QString period() const { return decimalText(Int(sum * 1.64 + 0.5)); }
    QString maxDuty() const { return sum == 0.0 ? QStringLiteral("0") : decimalText(100 * on / sum); }
    QString minDuty(const QString& minTicks) const
    {
        return sum == 0.0 ? QStringLiteral("0") : decimalText(Int(100 * entryValue(minTicks) / sum + 0.5));
    }
};

QList<FieldChange> flag(Field field, const QString& text)
{
    return {windowText(field, text != QLatin1String("0") ? QStringLiteral("ON") : QStringLiteral("OFF"))};
}

QList<FieldChange> stopMode(const QString& text)
{
    static const char* const names[] = {"North-stop", "South-stop", "Absolute"};
    return {windowText(Field::mode_msg, QLatin1String(names[text.toInt()]))};
}

QList<FieldChange> cboxState(const QString& text)
{
    if (text == QLatin1String("B"))
        return {FieldChange{Field::cbox_status, QStringLiteral("BUSY"), Colour::InvalidRed, std::nullopt}};
    return {FieldChange{Field::cbox_status, QStringLiteral("READY"), Colour::Window, std::nullopt}};
}

QList<FieldChange> dipSwitch(const QString& text)
{
    const bool enabled = text != QLatin1String("0");
    const Colour colour = enabled ? Colour::InvalidRed : Colour::WindowText;
    return {FieldChange{Field::dipsw, enabled ? QStringLiteral("ENABLED") : QStringLiteral("DISABLED"), std::nullopt,
                        colour},
            FieldChange{Field::label_dipsw, std::nullopt, std::nullopt, colour}};
}

// What the "PARAMETERS READ" panel shows of field `number`.
QList<FieldChange> windowChanges(int number, const QString& text, const Pwm& pwm)
{
    switch (number) {
    case blockField::position: return {windowText(Field::curr_pos, text + degree)};
    case blockField::cboxState: return cboxState(text);
    case blockField::stopMode: return stopMode(text);
    case blockField::lowerLimit: return {windowText(Field::read_lower_limit, text + degree)};
    case blockField::upperLimit: return {windowText(Field::read_upper_limit, text + degree)};
    case blockField::invDelay: return {windowText(Field::read_inv_delay, secondsText(text) + QLatin1String("sec"))};
    case blockField::pwmOn: return flag(Field::pwm_msg, text);
    case blockField::pwmOffTicks:
        return {windowText(Field::read_pwm_period, pwm.period() + QLatin1String("ms")),
                windowText(Field::read_pwm_max_duty, pwm.maxDuty() + QLatin1String("%"))};
    case blockField::ramp: return {windowText(Field::read_ramp, text + degree)};
    case blockField::pwmMinTicks: return {windowText(Field::read_pwm_min_duty, pwm.minDuty(text) + QLatin1String("%"))};
    case blockField::optimize: return flag(Field::optimize_msg, text);
    case blockField::presDelay: return {windowText(Field::read_pres_delay, secondsText(text) + QLatin1String("sec"))};
    case blockField::offset: return {windowText(Field::offset_read, offsetText(text) + degree)};
    case blockField::motCheck: return flag(Field::mot_check_msg, text);
    case blockField::checkAngle: return {windowText(Field::check_angle, text + degree)};
    case blockField::rotTimeout: return {windowText(Field::read_rot_timeout, secondsText(text) + QLatin1String("sec"))};
    case blockField::dipsw: return dipSwitch(text);
    case blockField::calFact: return {windowText(Field::cal_fact, text)};
    default: return {};  // the PWM on-time waits for the off-time
    }
}

// What field `number` puts into the set panel: each entry its reading fills, in the table's
// order; the two stop options together, north first.
QList<PanelChange> panelChanges(int number, const QString& text, const Pwm& pwm)
{
    using Line = SetPanelEntry::Line;
    QList<PanelChange> changes;
    for (const SetPanelEntry& entry : setPanelEntries) {
        if (entry.blockField != number)
            continue;
        const auto value = [&](const QString& v) { changes.append(PanelChange{entry.field, v, std::nullopt}); };
        switch (entry.line) {
        case Line::StopMode:
            if (changes.isEmpty()) {
                changes.append(PanelChange{Field::north_stop, std::nullopt, text == QLatin1String("0")});
                changes.append(PanelChange{Field::south_stop, std::nullopt, text == QLatin1String("1")});
            }
            break;
        case Line::AsTyped:
        case Line::WholeDegrees: value(text); break;
        case Line::Offset: value(offsetText(text)); break;
        case Line::Seconds: value(secondsText(text)); break;
        case Line::Flag: changes.append(PanelChange{entry.field, std::nullopt, text != QLatin1String("0")}); break;
        case Line::PwmOffTime: value(pwm.period()); break;
        case Line::PwmOnTime: value(pwm.maxDuty()); break;
        case Line::PwmMinTime: value(pwm.minDuty(text)); break;
        }
    }
    return changes;
}

}  // namespace

DecodeResult decode_parameter_block(CharacterSource& source, ParameterSink& sink)
{
    constexpr int fieldCount = blockField::count;
    for (int number = 1; number <= fieldCount; ++number) {
        const QString text = readField(number, source);
        if (text.isEmpty() || endsSilently(number, text))
            return silentEnd();
        // The PWM off-time shows the period and maximum duty only after its separator has been checked.
        const bool afterSeparator = number == blockField::pwmOffTicks;
        if (!afterSeparator)
            sink.field(number, text);
        if (number < fieldCount) {
            const QString separator = source.GET_CHAR();
            if (separator != QLatin1String(","))
                return failure(separatorMessage + separator);
        }
        if (afterSeparator)
            sink.field(number, text);
    }

    const QString terminator = source.GET_CHAR();
    if (terminator.isEmpty())
        return failure(terminatorMessage);
    if (terminator.front().unicode() != 13)
        return failure(terminatorMessage + QString::number(terminator.front().unicode()));
    return DecodeResult{true, QString(), false};
}

FormattedField format_parameter_block(int number, const QString& text, const QString& onTicksText,
                                      const QString& offTicksText)
{
    if (number < 1 || number > blockField::count || endsSilently(number, text))
        return {};
    const Pwm pwm(onTicksText, number == blockField::pwmOffTicks ? text : offTicksText);
    return FormattedField{windowChanges(number, text, pwm), panelChanges(number, text, pwm)};
}

FormattedField ParameterFormatter::format(int number, const QString& text)
{
    if (number == blockField::pwmOnTicks)
        m_onTicks = text;
    else if (number == blockField::pwmOffTicks)
        m_offTicks = text;
    return format_parameter_block(number, text, m_onTicks, m_offTicks);
}
