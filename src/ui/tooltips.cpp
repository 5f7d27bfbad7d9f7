// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/tooltips.h"

#include <QLineEdit>
#include <QStringList>
#include <QWidget>

namespace {

// A plain tooltip is shown on one line however long it is: broken at blanks into lines of about
// 60 characters, it stays readable and on a small screen.
QString wrapped(const QString& text)
{
    constexpr qsizetype lineLength = 60;
    QStringList lines;
    QString line;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && line.size() + 1 + word.size() > lineLength) {
            lines << line;
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    lines << line;
    return lines.join(QLatin1Char('\n'));
}

struct Tip {
    const char* window;  // the window's object name
    const char* control;
    const char* text;
};

// The ranges are those the entries' checks mark in red (entry_checks.h); an entry outside its range
// is still sent as typed, except the GOTO angle.
constexpr Tip tips[] = {
    // PARAMETERS SET: what "cmd W" writes.
    {"rotor", "pwm_period",
     "PWM period in milliseconds (default 50). \"cmd W\" sends it as on- and off-times in ticks of 1.64 ms."},
    {"rotor", "pwm_max_duty", "PWM maximum duty cycle in per cent (default 100)."},
    {"rotor", "pwm_min_duty",
     "PWM minimum duty cycle in per cent, 0 to 100 and not above the maximum duty; the shortest on-time, "
     "period \u00d7 minimum / 100, must be at least 1.6 ms (default 50). Red otherwise."},
    {"rotor", "ramp", "PWM ramp in degrees (default 10)."},
    {"rotor", "lower_limit", "Lower limit in degrees, absolute, 0 to 500 (default 0). Red when above the upper limit."},
    {"rotor", "upper_limit",
     "Upper limit in degrees, absolute, 0 to 500 (default 500). Red when below the lower limit."},
    {"rotor", "inv_delay", "Reversal delay in seconds (default 3). \"cmd W\" sends it in ticks of 1.64 ms."},
    {"rotor", "pres_delay", "Preset delay in seconds (default 3). \"cmd W\" sends it in ticks of 1.64 ms."},
    {"rotor", "rot_timeout", "Rotation timeout in seconds (default 5). \"cmd W\" sends it in ticks of 1.64 ms."},
    {"rotor", "write_mode",
     "Writes this panel to the CBOX (command W), after a confirmation; not while the monitor runs. "
     "It overwrites the CBOX's settings."},
    {"rotor", "pwm_on", "PWM on or off (default on)."},
    {"rotor", "optimize", "Optimize on or off (default on)."},
    {"rotor", "mot_check", "Rotation check on or off (default off); its angle is Check angle."},
    {"rotor", "set_default",
     "Fills this panel with the default values, after a confirmation. Sends nothing: \"cmd W\" writes them."},
    {"rotor", "south_stop", "Stop mode South-stop (the default)."},
    {"rotor", "north_stop", "Stop mode North-stop."},
    {"rotor", "offset_write", "Position offset in degrees, -70 to +70 (default 0). Red outside."},
    {"rotor", "check_angle_write", "Check angle of the rotation check, in whole degrees (default 2)."},
    // Right of the panel.
    {"rotor", "calib",
     "Opens the calibration window. Its commands are accepted only while the CBOX is in absolute mode and not busy."},
    {"rotor", "command_v", "Reads the CBOX's firmware version (command V) into the field below."},
    {"rotor", "firm_version", "The CBOX's firmware version, as \"Firmware Version\" read it."},
    // PARAMETERS READ.
    {"rotor", "read_info", "Reads the CBOX's parameters (command L) into this panel."},
    // GOTO.
    {"rotor", "execute",
     "Sends the rotor to the angle below (command G); nothing is sent unless it is a whole angle 0 to 359."},
    {"rotor", "go_to_angle",
     "Target angle for Execute, in whole degrees, 0 to 359. Red otherwise, and then Execute sends nothing."},
    {"rotor", "fast_stop", "Stops the rotor at once (Esc, in any of rotor's windows; command G999)."},
    {"rotor", "soft_stop", "Stops the rotor softly (command G977)."},
    // COMMUNICATION MONITOR; cmd_monitor's follows its caption (monitorButtonTooltip).
    {"rotor", "clr_reply", "Empties the CBOX replies listing."},
    // Under COM PORT.
    {"rotor", "command_s", "Sends command S; the CBOX answers R. Start-up, \"cmd W\" and the monitor send it too."},
    {"rotor", "command_c",
     "Sends command M; the CBOX refuses it in absolute mode. The monitor sends it when it starts."},
    {"rotor", "command_qm",
     "Asks the CBOX where the rotor is and whether it is busy or ready (command ?); shown in Position and CBOX is."},

    // CALIBRATION: the CBOX refuses every one of these while busy or not in absolute mode.
    {"CALIBRATION", "calib_def", "Default calibration (command c). The CBOX must be in absolute mode and not busy."},
    {"CALIBRATION", "calib360",
     "Calibration over 360 degrees (command C). The CBOX must be in absolute mode and not busy."},
    {"CALIBRATION", "calib",
     "Calibration at the angle beside it (command K). The CBOX must be in absolute mode and not busy."},
    {"CALIBRATION", "calib_angle",
     "Calibration angle for \"any angle (K)\", in degrees, 10 to 500. Red outside; sent as typed."},
    {"CALIBRATION", "write_factor",
     "Sets the calibration factor beside it (command F). The CBOX must be in absolute mode and not busy."},
    {"CALIBRATION", "cal_factor",
     "Calibration factor for \"calib factor set (F)\", 1000 to 15000. Red outside; sent as typed."},
};

}  // namespace

void applyTooltips(QWidget* window)
{
    const QString windowName = window->objectName();
    for (const Tip& tip : tips) {
        if (windowName != QLatin1String(tip.window))
            continue;
        auto* control = window->findChild<QWidget*>(QLatin1String(tip.control));
        if (!control)
            qFatal("rotor: no control named %s for its tooltip", tip.control);
        const QString text = QString::fromUtf8(tip.text);
        control->setToolTip(wrapped(text));
        // A screen reader hears what an entry is, its unit and its range, not only the unit
        // label beside it; the tooltip's line breaks would be read as pauses.
        if (auto* entry = qobject_cast<QLineEdit*>(control); entry && !entry->isReadOnly())
            entry->setAccessibleDescription(text);
    }
    if (windowName == QLatin1String("rotor"))
        if (auto* monitor = window->findChild<QWidget*>(QStringLiteral("cmd_monitor")))
            monitor->setToolTip(monitorButtonTooltip(QStringLiteral("START...")));
}

QString monitorButtonTooltip(const QString& caption)
{
    if (caption == QLatin1String("START..."))
        return wrapped(QStringLiteral("Starts the communication monitor: keeps the port open and lists every frame "
                                      "the CBOX sends (it sends S, ? and M first)."));
    return wrapped(QStringLiteral("Stops the listing, not the rotor: STOP! and Esc stop the rotor."));
}
