// SPDX-License-Identifier: GPL-3.0-or-later
// Every control of both windows says what it does: each button, option, check box and entry has a
// tooltip naming its key and its range where it has one; the monitor's follows its state.

#include "ui/monitor.h"
#include "protocol/set_panel_entries.h"
#include "support/test_window.h"

#include <QtTest>

class TooltipsTest : public QObject {
    Q_OBJECT
private slots:
    // Walks both windows: no button, option, check box or editable entry without a tooltip.
    void everyControlHasATooltip()
    {
        TestWindow t;
        t.click(QStringLiteral("calib"));
        QVERIFY(t.window->calibrationWindow());
        QStringList bare;
        int walked = 0;
        for (QWidget* window :
             {static_cast<QWidget*>(t.window.get()), static_cast<QWidget*>(t.window->calibrationWindow())}) {
            for (QWidget* w : window->findChildren<QWidget*>()) {
                auto* edit = qobject_cast<QLineEdit*>(w);
                if (!qobject_cast<QAbstractButton*>(w) && !(edit && !edit->isReadOnly()))
                    continue;
                if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_")))
                    continue;
                ++walked;
                if (w->toolTip().trimmed().isEmpty())
                    bare << window->objectName() + QLatin1Char('/') + w->objectName();
            }
        }
        QVERIFY2(bare.isEmpty(), qPrintable(bare.join(QStringLiteral(", "))));
        QVERIFY(walked >= 40);
    }

    // A few tooltips name the key that triggers the control, or the range of the entry.
    void tooltipNamesKeyOrRange_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("says");
        QTest::newRow("STOP! and its key") << "fast_stop"
                                           << "Esc";
        QTest::newRow("GOTO angle") << "go_to_angle"
                                    << "0 to 359";
        QTest::newRow("offset") << "offset_write"
                                << "-70 to +70";
        QTest::newRow("minimum duty") << "pwm_min_duty"
                                      << "1.6 ms";
        QTest::newRow("calibration factor") << "cal_factor"
                                            << "1000 to 15000";
        QTest::newRow("calibration angle") << "calib_angle"
                                           << "10 to 500";
        QTest::newRow("calibration needs absolute mode") << "calib360"
                                                         << "absolute mode";
    }
    void tooltipNamesKeyOrRange()
    {
        QFETCH(QString, control);
        QFETCH(QString, says);
        TestWindow t;
        t.click(QStringLiteral("calib"));
        QWidget* w = t.window->calibrationWindow()->findChild<QWidget*>(control);
        if (!w)
            w = t.find(control);
        QVERIFY(w);
        // Long tooltips are broken into lines.
        const QString tip = w->toolTip().replace(QLatin1Char('\n'), QLatin1Char(' '));
        QVERIFY2(tip.contains(says), qPrintable(tip));
    }

    // A screen reader hears what each entry of PARAMETERS SET and GOTO is, its unit and range:
    // its tooltip, on one line.
    void entriesDescribeThemselves()
    {
        TestWindow t;
        QStringList entries{QStringLiteral("go_to_angle")};
        for (const SetPanelEntry& entry : setPanelEntries)
            if (entry.text)
                entries << fieldName(entry.field);
        for (const QString& name : entries) {
            QLineEdit* entry = t.edit(name);
            QCOMPARE(entry->accessibleDescription(), entry->toolTip().replace(QLatin1Char('\n'), QLatin1Char(' ')));
        }
    }

    // The monitor's button says what a click does now: while it runs, that it stops the listing and
    // not the rotor.
    void monitorButtonTooltipFollowsItsState()
    {
        TestWindow t;
        QAbstractButton* monitor = t.button(QStringLiteral("cmd_monitor"));
        QVERIFY(monitor->toolTip().startsWith(QLatin1String("Starts")));
        t.window->monitor().setState(MonitorState::Running);
        const QString running = monitor->toolTip().replace(QLatin1Char('\n'), QLatin1Char(' '));
        QVERIFY2(running.contains(QLatin1String("not the rotor")), qPrintable(running));
        QVERIFY(running.contains(QLatin1String("Esc")));
        t.window->monitor().setState(MonitorState::Idle);
        QVERIFY(monitor->toolTip().startsWith(QLatin1String("Starts")));
    }
};

QTEST_MAIN(TooltipsTest)
#include "tst_tooltips.moc"
