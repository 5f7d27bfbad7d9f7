#include "ui/set_panel.h"

#include "protocol/entry_checks.h"
#include "serial/messages.h"
#include "ui/main_window.h"

#include <QLineEdit>

namespace {

QLineEdit* entry(MainWindow& window, const char* name)
{
    return window.findChild<QLineEdit*>(QString::fromLatin1(name));
}

void paint(MainWindow& window, const char* name, bool valid)
{
    window.setBackground(QString::fromLatin1(name), valid ? Colour::Window : Colour::InvalidRed);
}

}  // namespace

void connectSetPanelChecks(MainWindow& window)
{
    const auto text = [&window](const char* name) { return entry(window, name)->text(); };

    QObject::connect(entry(window, "offset_write"), &QLineEdit::textChanged, &window,
                     [&window](const QString& offset) { paint(window, "offset_write", offsetValid(offset)); });

    // Only a change of the minimum itself re-judges it, against the maximum and the period as
    // they stand then.
    QObject::connect(entry(window, "pwm_min_duty"), &QLineEdit::textChanged, &window, [&window, text](const QString& minimum) {
        paint(window, "pwm_min_duty", minimumDutyValid(minimum, text("pwm_max_duty"), text("pwm_period")));
    });

    const auto limits = [&window, text] {
        const bool ordered = limitsInOrder(text("lower_limit"), text("upper_limit"));
        paint(window, "lower_limit", ordered);
        paint(window, "upper_limit", ordered);
    };
    QObject::connect(entry(window, "lower_limit"), &QLineEdit::textChanged, &window, limits);
    QObject::connect(entry(window, "upper_limit"), &QLineEdit::textChanged, &window, limits);
}

void SET_DEFAULT(MainWindow& window)
{
    if (!window.messages().askYesNo(QStringLiteral("THIS COMMAND OVERWRITES THE -PARAMETERS SET- VALUES!!! ARE YOU SURE?"),
                                    QStringLiteral("WRITE PARAMETERS COMMAND")))
        return;
    // The order matters: the period and the maximum duty are set before the minimum duty is
    // judged, and the upper limit after the lower one.
    window.setText(QStringLiteral("offset_write"), QStringLiteral("0"));
    window.setText(QStringLiteral("pwm_period"), QStringLiteral("50"));
    window.setText(QStringLiteral("pwm_max_duty"), QStringLiteral("100"));
    window.setText(QStringLiteral("pwm_min_duty"), QStringLiteral("50"));
    window.setText(QStringLiteral("ramp"), QStringLiteral("10"));
    window.setText(QStringLiteral("lower_limit"), QStringLiteral("0"));
    window.setText(QStringLiteral("upper_limit"), QStringLiteral("500"));
    window.setText(QStringLiteral("inv_delay"), QStringLiteral("3"));
    window.setText(QStringLiteral("pres_delay"), QStringLiteral("3"));
    window.setText(QStringLiteral("rot_timeout"), QStringLiteral("5"));
    window.setChecked(QStringLiteral("pwm_on"), true);
    window.setChecked(QStringLiteral("optimize"), true);
    window.setChecked(QStringLiteral("mot_check"), false);
    window.setChecked(QStringLiteral("south_stop"), true);
    window.setChecked(QStringLiteral("north_stop"), false);
    window.setText(QStringLiteral("check_angle_write"), QStringLiteral("2"));
}
