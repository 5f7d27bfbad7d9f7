// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/parameter_codec.h"

#include "protocol/entry_value.h"

namespace {

const QString separatorMessage = QStringLiteral("Separator invalid, received:");
const QString terminatorMessage = QStringLiteral("<Return> invalid, received ASC:");

DecodeResult failure(const QString& message) { return DecodeResult{false, message, false}; }

DecodeResult silentEnd() { return DecodeResult{false, QString(), true}; }

QString readField(int number, CharacterSource& source)
{
    switch (number) {
    case 2: return source.GET_CHAR();
    case 3: return source.GET_NUM05();
    default: return source.GET_NUM05NT();
    }
}

// Fields whose value, when not one of the expected texts, ends the read without a message.
bool endsSilently(int number, const QString& text)
{
    if (number == 2)
        return text != QLatin1String("B") && text != QLatin1String("R");
    if (number == 3)
        return text != QLatin1String("0") && text != QLatin1String("1") && text != QLatin1String("2");
    return false;
}

FieldChange windowText(Field field, const QString& text)
{
    return FieldChange{field, text, std::nullopt, std::nullopt};
}

PanelChange panelText(Field field, const QString& text) { return PanelChange{field, text, std::nullopt}; }

PanelChange panelChecked(Field field, bool checked) { return PanelChange{field, std::nullopt, checked}; }

const QString degree = QStringLiteral("\u00B0");

// A delay in ticks as whole seconds.
QString secondsText(const QString& ticks) { return decimalText(Int(entryValue(ticks) * 1.64 / 1000 + 0.5)); }

// A plain value in degrees, shown and copied as it came.
FormattedField degrees(Field readField, std::optional<Field> setField, const QString& text)
{
    FormattedField f;
    f.window.append(windowText(readField, text + degree));
    if (setField)
        f.panel.append(panelText(*setField, text));
    return f;
}

FormattedField seconds(Field readField, Field setField, const QString& text)
{
    const QString s = secondsText(text);
    return FormattedField{{windowText(readField, s + QLatin1String("sec"))}, {panelText(setField, s)}};
}

// A flag: "0" is off, any other text is on.
FormattedField flag(Field readField, Field setField, const QString& text)
{
    const bool on = text != QLatin1String("0");
    return FormattedField{{windowText(readField, on ? QStringLiteral("ON") : QStringLiteral("OFF"))},
                          {panelChecked(setField, on)}};
}

FormattedField stopMode(const QString& text)
{
    struct Mode {
        const char* code;
        const char* name;
        bool north;
        bool south;
    };
    static const Mode modes[] = {
        {"0", "North-stop", true, false},
        {"1", "South-stop", false, true},
        {"2", "Absolute", false, false},
    };
    for (const Mode& mode : modes) {
        if (text == QLatin1String(mode.code)) {
            return FormattedField{
                {windowText(Field::mode_msg, QLatin1String(mode.name))},
                {panelChecked(Field::north_stop, mode.north), panelChecked(Field::south_stop, mode.south)}};
        }
    }
    return {};
}

FormattedField cboxState(const QString& text)
{
    if (text == QLatin1String("B"))
        return FormattedField{
            {FieldChange{Field::cbox_status, QStringLiteral("BUSY"), Colour::InvalidRed, std::nullopt}}, {}};
    if (text == QLatin1String("R"))
        return FormattedField{{FieldChange{Field::cbox_status, QStringLiteral("READY"), Colour::Window, std::nullopt}},
                              {}};
    return {};
}

// The PWM period in ms and the maximum duty in %, from the on- and off-times in ticks.
FormattedField pwmPeriod(const QString& onTicksText, const QString& offTicksText)
{
    const double on = entryValue(onTicksText);
    const double sum = on + entryValue(offTicksText);
    const QString period = decimalText(Int(sum * 1.64 + 0.5));
    // No division by a zero period: the duty is then shown as 0.
    const QString maxDuty = sum == 0.0 ? QStringLiteral("0") : decimalText(100 * on / sum);
    return FormattedField{{windowText(Field::read_pwm_period, period + QLatin1String("ms")),
                           windowText(Field::read_pwm_max_duty, maxDuty + QLatin1String("%"))},
                          {panelText(Field::pwm_period, period), panelText(Field::pwm_max_duty, maxDuty)}};
}

FormattedField pwmMinDuty(const QString& minTicksText, const QString& onTicksText, const QString& offTicksText)
{
    const double sum = entryValue(onTicksText) + entryValue(offTicksText);
    const QString minDuty =
        sum == 0.0 ? QStringLiteral("0") : decimalText(Int(100 * entryValue(minTicksText) / sum + 0.5));
    return FormattedField{{windowText(Field::read_pwm_min_duty, minDuty + QLatin1String("%"))},
                          {panelText(Field::pwm_min_duty, minDuty)}};
}

// The offset travels as a 16-bit two's-complement number: above 32767 it stands for value - 65536.
FormattedField offset(const QString& text)
{
    const double value = entryValue(text);
    const QString o = value > 32767 ? decimalText(value - 65536) : text;
    return FormattedField{{windowText(Field::offset_read, o + degree)}, {panelText(Field::offset_write, o)}};
}

FormattedField dipSwitch(const QString& text)
{
    const bool enabled = text != QLatin1String("0");
    const Colour colour = enabled ? Colour::InvalidRed : Colour::WindowText;
    return FormattedField{{FieldChange{Field::dipsw, enabled ? QStringLiteral("ENABLED") : QStringLiteral("DISABLED"),
                                       std::nullopt, colour},
                           FieldChange{Field::label_dipsw, std::nullopt, std::nullopt, colour}},
                          {}};
}

}  // namespace

DecodeResult decode_parameter_block(CharacterSource& source, ParameterSink& sink)
{
    constexpr int fieldCount = 19;
    for (int number = 1; number <= fieldCount; ++number) {
        const QString text = readField(number, source);
        if (text.isEmpty() || endsSilently(number, text))
            return silentEnd();
        // Field 9 shows the PWM period and maximum duty only after its separator has been checked.
        if (number != 9)
            sink.field(number, text);
        if (number < fieldCount) {
            const QString separator = source.GET_CHAR();
            if (separator != QLatin1String(","))
                return failure(separatorMessage + separator);
        }
        if (number == 9)
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
    switch (number) {
    case 1: return degrees(Field::curr_pos, std::nullopt, text);
    case 2: return cboxState(text);
    case 3: return stopMode(text);
    case 4: return degrees(Field::read_lower_limit, Field::lower_limit, text);
    case 5: return degrees(Field::read_upper_limit, Field::upper_limit, text);
    case 6: return seconds(Field::read_inv_delay, Field::inv_delay, text);
    case 7: return flag(Field::pwm_msg, Field::pwm_on, text);
    case 8: return {};
    case 9: return pwmPeriod(onTicksText, text);
    case 10: return degrees(Field::read_ramp, Field::ramp, text);
    case 11: return pwmMinDuty(text, onTicksText, offTicksText);
    case 12: return flag(Field::optimize_msg, Field::optimize, text);
    case 13: return seconds(Field::read_pres_delay, Field::pres_delay, text);
    case 14: return offset(text);
    case 15: return flag(Field::mot_check_msg, Field::mot_check, text);
    case 16: return degrees(Field::check_angle, Field::check_angle_write, text);
    case 17: return seconds(Field::read_rot_timeout, Field::rot_timeout, text);
    case 18: return dipSwitch(text);
    case 19: return FormattedField{{windowText(Field::cal_fact, text)}, {}};
    default: return {};
    }
}

FormattedField ParameterFormatter::format(int number, const QString& text)
{
    if (number == 8)
        m_onTicks = text;
    else if (number == 9)
        m_offTicks = text;
    return format_parameter_block(number, text, m_onTicks, m_offTicks);
}
