// SPDX-License-Identifier: GPL-3.0-or-later
// The "PARAMETERS SET" panel: the live checks of its four checked entries at their edges, typed
// or set by the program, and Set Default with its question.

#include "protocol/set_panel_entries.h"
#include "support/test_window.h"
#include "support/sample_blocks.h"
#include "ui/colours.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QRadioButton>

#include <QtTest>

namespace {

const QString defaultQuestion =
    QStringLiteral("WRITE PARAMETERS COMMAND: THIS COMMAND OVERWRITES THE -PARAMETERS SET- VALUES!!! ARE YOU SURE?");

const char* const entries[] = {"offset_write", "pwm_period",  "pwm_max_duty",     "pwm_min_duty",
                               "ramp",         "lower_limit", "upper_limit",      "inv_delay",
                               "pres_delay",   "rot_timeout", "check_angle_write"};
const char* const checkedEntries[] = {"offset_write", "pwm_min_duty", "lower_limit", "upper_limit"};
const char* const boxes[] = {"pwm_on", "optimize", "mot_check", "south_stop", "north_stop"};

// Replaces an entry's text the way the operator does: select everything, then type.
void type(const TestWindow& t, const QString& entry, const QString& text)
{
    QLineEdit* edit = t.edit(entry);
    edit->selectAll();
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Delete);
    else
        QTest::keyClicks(edit, text);
}

// Everything the panel holds and shows: texts, colours of the checked entries, check boxes, options.
QStringList panelState(const TestWindow& t)
{
    QStringList state;
    for (const char* e : entries)
        state << t.edit(QString::fromLatin1(e))->text();
    for (const char* e : checkedEntries)
        state << t.backgroundName(QString::fromLatin1(e));
    for (const char* b : boxes)
        state << QString::number(t.button(QString::fromLatin1(b))->isChecked());
    return state;
}

}  // namespace

class SetPanelTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // The checks are told apart by colour only: the window colour must not be red itself.
        QVERIFY(colours::window() != colours::invalidRed);
    }

    // Every identifier the commands use stands for the control of that name, found when its
    // window was built; the set-panel table holds exactly the panel's entries, boxes and options.
    void identifiersNameTheirControls()
    {
        TestWindow t;
        t.click(QStringLiteral("calib"));
        for (int i = 0; i < fieldCount; ++i) {
            const auto field = static_cast<Field>(i);
            QCOMPARE(t.window->control(field)->objectName(), fieldName(field));
            QCOMPARE(fieldNamed(fieldName(field)), std::optional<Field>(field));
        }
        QCOMPARE(fieldNamed(QStringLiteral("no_such_control")), std::nullopt);

        QStringList inPanel;
        for (QWidget* w : t.find<QGroupBox>(QStringLiteral("Frame1"))->findChildren<QWidget*>())
            if (qobject_cast<QLineEdit*>(w) || qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w))
                inPanel << w->objectName();
        QStringList inTable;
        for (const SetPanelEntry& entry : setPanelEntries)
            inTable << fieldName(entry.field);
        inPanel.sort();
        inTable.sort();
        QCOMPARE(inTable, inPanel);
    }

    // Each row sets entries in order ("entry=text"), then expects colours ("entry:red" or
    // "entry:window"). Every row runs twice: typed by the operator and set by the program.
    void checks_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("typed");
        struct Row {
            const char* name;
            QStringList steps;
            QStringList expected;
        };
        const QList<Row> rows{
            {"offset -70", {"offset_write=100", "offset_write=-70"}, {"offset_write:window"}},
            {"offset 70", {"offset_write=100", "offset_write=70"}, {"offset_write:window"}},
            {"offset -71", {"offset_write=0", "offset_write=-71"}, {"offset_write:red"}},
            {"offset 70.5", {"offset_write=0", "offset_write=70.5"}, {"offset_write:red"}},
            {"offset back from red", {"offset_write=-71", "offset_write=5"}, {"offset_write:window"}},
            {"minimum 0",
             {"pwm_period=50", "pwm_max_duty=100", "pwm_min_duty=50", "pwm_min_duty=0"},
             {"pwm_min_duty:red"}},
            {"minimum 3",
             {"pwm_period=50", "pwm_max_duty=100", "pwm_min_duty=50", "pwm_min_duty=3"},
             {"pwm_min_duty:red"}},
            {"minimum 4",
             {"pwm_period=50", "pwm_max_duty=100", "pwm_min_duty=3", "pwm_min_duty=4"},
             {"pwm_min_duty:window"}},
            {"minimum 100",
             {"pwm_period=50", "pwm_max_duty=100", "pwm_min_duty=3", "pwm_min_duty=100"},
             {"pwm_min_duty:window"}},
            {"minimum 101",
             {"pwm_period=50", "pwm_max_duty=100", "pwm_min_duty=50", "pwm_min_duty=101"},
             {"pwm_min_duty:red"}},
            {"minimum 101 under a maximum of 200",
             {"pwm_period=50", "pwm_max_duty=200", "pwm_min_duty=50", "pwm_min_duty=101"},
             {"pwm_min_duty:red"}},
            // With a negative period the on-time test passes: only the sign of the minimum is left.
            {"minimum -1",
             {"pwm_period=-500", "pwm_max_duty=100", "pwm_min_duty=50", "pwm_min_duty=-1"},
             {"pwm_min_duty:red"}},
            {"minimum above maximum",
             {"pwm_period=50", "pwm_max_duty=50", "pwm_min_duty=40", "pwm_min_duty=60"},
             {"pwm_min_duty:red"}},
            {"raising the maximum does not judge again",
             {"pwm_period=50", "pwm_max_duty=50", "pwm_min_duty=60", "pwm_max_duty=80"},
             {"pwm_min_duty:red"}},
            {"until the minimum changes",
             {"pwm_period=50", "pwm_max_duty=50", "pwm_min_duty=60", "pwm_max_duty=80", "pwm_min_duty=70"},
             {"pwm_min_duty:window"}},
            {"changing the period does not judge again",
             {"pwm_period=50", "pwm_max_duty=100", "pwm_min_duty=4", "pwm_period=1"},
             {"pwm_min_duty:window"}},
            {"minimum without a number",
             {"pwm_period=50", "pwm_max_duty=100", "pwm_min_duty=4", "pwm_min_duty=???"},
             {"pwm_min_duty:red"}},
            {"maximum without a number", {"pwm_period=50", "pwm_max_duty=???", "pwm_min_duty=4"}, {"pwm_min_duty:red"}},
            {"limits out of order", {"upper_limit=100", "lower_limit=150"}, {"lower_limit:red", "upper_limit:red"}},
            {"limits back in order",
             {"upper_limit=100", "lower_limit=150", "upper_limit=200"},
             {"lower_limit:window", "upper_limit:window"}},
            {"equal limits",
             {"upper_limit=100", "lower_limit=150", "lower_limit=100"},
             {"lower_limit:window", "upper_limit:window"}},
            {"no check against 0-500",
             {"lower_limit=-20", "upper_limit=900"},
             {"lower_limit:window", "upper_limit:window"}},
            {"checks leave other entries alone",
             {"offset_write=99", "upper_limit=1", "lower_limit=2"},
             {"offset_write:red", "pwm_min_duty:window"}},
        };
        for (const Row& row : rows) {
            QTest::addRow("%s, typed", row.name) << row.steps << row.expected << true;
            QTest::addRow("%s, set by the program", row.name) << row.steps << row.expected << false;
        }
    }
    void checks()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, expected);
        QFETCH(bool, typed);
        TestWindow t;
        for (const QString& step : steps) {
            const QString entry = step.section(QLatin1Char('='), 0, 0);
            const QString text = step.section(QLatin1Char('='), 1);
            if (typed)
                type(t, entry, text);
            else
                t.window->setText(fieldNamed(entry).value(), text);
            QCOMPARE(t.edit(entry)->text(), text);  // a check never changes the text
        }
        for (const QString& e : expected) {
            const QString entry = e.section(QLatin1Char(':'), 0, 0);
            QCOMPARE(t.backgroundName(entry), e.section(QLatin1Char(':'), 1));
        }
        QCOMPARE(t.messages.shown, QStringList());
        QVERIFY(t.port.written.isEmpty());
    }

    // An assignment by the program that leaves an entry's text as it was still runs its check:
    // the minimum duty, red at 50 against a maximum of 40, is judged again once the maximum is 100.
    void unchangedTextIsJudgedAgain_data()
    {
        QTest::addColumn<bool>("setDefault");  // Set Default, or the start-up read filling the panel
        QTest::newRow("Set Default") << true;
        QTest::newRow("panel fill") << false;
    }
    void unchangedTextIsJudgedAgain()
    {
        QFETCH(bool, setDefault);
        TestWindow t;
        t.window->setText(Field::pwm_period, QStringLiteral("50"));
        t.window->setText(Field::pwm_max_duty, QStringLiteral("40"));
        t.window->setText(Field::pwm_min_duty, QStringLiteral("50"));
        QCOMPARE(t.backgroundName(QStringLiteral("pwm_min_duty")), QStringLiteral("red"));
        if (setDefault) {
            t.messages.answers << true;
            t.click(QStringLiteral("set_default"));
        } else {
            // PWM on 30 ticks, off 0, minimum 15: period 49 ms, duties 100 % and 50 %.
            t.port.expect(frame("L"), reply('L', exampleBlock));
            t.window->commands().CMD_READ_PARAMS_FILLING_PANEL();
            QVERIFY(t.messages.shown.isEmpty());
        }
        QCOMPARE(t.edit(QStringLiteral("pwm_max_duty"))->text(), QStringLiteral("100"));
        QCOMPARE(t.edit(QStringLiteral("pwm_min_duty"))->text(), QStringLiteral("50"));
        QCOMPARE(t.backgroundName(QStringLiteral("pwm_min_duty")), QStringLiteral("window"));
    }

    void setDefaultAnsweredNo()
    {
        TestWindow t;
        // A panel far from the defaults, with every checked entry red.
        for (const char* e : entries)
            t.window->setText(fieldNamed(QLatin1String(e)).value(), QStringLiteral("999"));
        t.window->setText(Field::pwm_min_duty, QStringLiteral("2000"));
        t.window->setText(Field::lower_limit, QStringLiteral("1000"));
        t.window->setChecked(Field::north_stop, true);
        t.window->setChecked(Field::pwm_on, false);
        t.window->setChecked(Field::mot_check, true);
        const QStringList before = panelState(t);
        QVERIFY(before.contains(QStringLiteral("red")));

        t.messages.answers << false;
        t.click(QStringLiteral("set_default"));
        QCOMPARE(t.messages.questions, QStringList{defaultQuestion});
        QCOMPARE(panelState(t), before);
        QCOMPARE(t.messages.shown, QStringList());
        QVERIFY(t.port.written.isEmpty());
    }

    // Yes sets the sixteen defaults in their order; the period and the maximum duty are in place
    // before the minimum duty is judged, so every checked entry ends in the window colour.
    void setDefaultAnsweredYes()
    {
        TestWindow t;
        for (const char* e : entries)
            t.window->setText(fieldNamed(QLatin1String(e)).value(), QStringLiteral("-999"));
        t.window->setText(Field::pwm_period, QStringLiteral("1"));
        t.window->setText(Field::pwm_max_duty, QStringLiteral("10"));
        t.window->setText(Field::lower_limit, QStringLiteral("900"));
        t.window->setText(Field::upper_limit, QStringLiteral("800"));
        t.window->setChecked(Field::north_stop, true);
        t.window->setChecked(Field::pwm_on, false);
        t.window->setChecked(Field::optimize, false);
        t.window->setChecked(Field::mot_check, true);
        t.window->setText(Field::offset_write, QStringLiteral("-999"));
        t.window->setText(Field::pwm_min_duty, QStringLiteral("-999"));

        QStringList order;
        for (const char* e : entries) {
            const QString name = QString::fromLatin1(e);
            connect(t.edit(name), &QLineEdit::textChanged, this, [&order, name, &t](const QString& text) {
                // The minimum duty is judged against the period and maximum in place by then.
                if (name == QLatin1String("pwm_min_duty"))
                    order << name + QLatin1Char('=') + text + QLatin1Char('/')
                                 + t.edit(QStringLiteral("pwm_period"))->text() + QLatin1Char('/')
                                 + t.edit(QStringLiteral("pwm_max_duty"))->text();
                else
                    order << name + QLatin1Char('=') + text;
            });
        }
        for (const char* b : {"pwm_on", "optimize", "mot_check"}) {
            const QString name = QString::fromLatin1(b);
            connect(t.button(name), &QAbstractButton::toggled, this,
                    [&order, name](bool on) { order << name + QLatin1Char('=') + QString::number(on); });
        }

        t.messages.answers << true;
        t.click(QStringLiteral("set_default"));

        QCOMPARE(t.messages.questions, QStringList{defaultQuestion});
        const QStringList expectedOrder{
            "offset_write=0", "pwm_period=50",   "pwm_max_duty=100", "pwm_min_duty=50/50/100", "ramp=10",
            "lower_limit=0",  "upper_limit=500", "inv_delay=3",      "pres_delay=3",           "rot_timeout=5",
            "pwm_on=1",       "optimize=1",      "mot_check=0",      "check_angle_write=2"};
        QCOMPARE(order, expectedOrder);
        const QStringList expectedState{"0", "50",     "100",    "50",     "10",     "0", "500", "3", "3", "5",
                                        "2", "window", "window", "window", "window", "1", "1",   "0", "1", "0"};
        QCOMPARE(panelState(t), expectedState);
        QCOMPARE(t.messages.shown, QStringList());
        QVERIFY(t.port.written.isEmpty());
        QCOMPARE(t.port.opens, 0);
    }
};

QTEST_MAIN(SetPanelTest)
#include "tst_set_panel.moc"
