// SPDX-License-Identifier: GPL-3.0-or-later
// The keyboard stays where the operator left it: a button greyed for its exchange, or the form
// switched off for the start-up, never sends the focus into an entry, where the next key would
// replace a value; once the exchange has ended the focus is back on the control that had it.

#include "support/test_window.h"
#include "support/sample_blocks.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QtTest>

namespace {

QString describe(const QWidget* w) { return w ? w->objectName() : QStringLiteral("<none>"); }

}  // namespace

class KeyboardFocusTest : public QObject {
    Q_OBJECT
private slots:
    void focusStaysWhereTheOperatorLeftIt_data()
    {
        QTest::addColumn<QString>("control");           // has the focus, and is pressed with Space
        QTest::addColumn<QList<QByteArray>>("frames");  // sent and answered, the first one late
        QTest::addColumn<QList<QByteArray>>("replies");
        QTest::addColumn<bool>("startUp");  // the start-up runs instead of the press
        QTest::addColumn<QString>("pwmPeriod");
        QTest::newRow("cmd ?") << "command_qm" << QList<QByteArray>{frame("?")}
                               << QList<QByteArray>{reply('?', "123,R")} << false << "???";
        QTest::newRow("cmd S") << "command_s" << QList<QByteArray>{frame("S")} << QList<QByteArray>{reply('S', "R")}
                               << false << "???";
        QTest::newRow("cmd M") << "command_c" << QList<QByteArray>{frame("M")} << QList<QByteArray>{reply('M', "R")}
                               << false << "???";
        QTest::newRow("STOP!") << "fast_stop" << QList<QByteArray>{frame("G999")} << QList<QByteArray>{reply('G', "R")}
                               << false << "???";
        QTest::newRow("cmd L, the whole group greyed") << "read_info" << QList<QByteArray>{frame("L")}
                                                       << QList<QByteArray>{reply('L', exampleBlock)} << false << "???";
        QTest::newRow("Execute, the whole group greyed")
            << "execute" << QList<QByteArray>{frame("G123")} << QList<QByteArray>{reply('G', "R")} << false << "???";
        QTest::newRow("start-up, the form off")
            << "command_qm" << QList<QByteArray>{frame("S"), frame("V"), frame("L")}
            << QList<QByteArray>{reply('S', "R"), reply('V', "00322"), reply('L', exampleBlock)} << true << "49";
    }
    void focusStaysWhereTheOperatorLeftIt()
    {
        QFETCH(QString, control);
        QFETCH(QList<QByteArray>, frames);
        QFETCH(QList<QByteArray>, replies);
        QFETCH(bool, startUp);
        QFETCH(QString, pwmPeriod);
        QStringList focused;  // every control that took the focus meanwhile
        QPointer<QWidget> typedInto;
        bool typed = false;
        TestWindow t;
        t.window->setText(Field::go_to_angle, QStringLiteral("123"));
        QVERIFY(t.writeSettings(" 1 \r\n"));
        t.window->show();
        QVERIFY(QTest::qWaitForWindowActive(t.window.get()));
        QWidget* owner = t.find(control);
        owner->setFocus(Qt::TabFocusReason);
        QCOMPARE(describe(QApplication::focusWidget()), control);

        for (qsizetype i = 0; i < frames.size(); ++i)
            t.port.expect(frames[i], replies[i], i == 0 ? 60 : 0);
        connect(qApp, &QApplication::focusChanged, t.window.get(),
                [&](QWidget*, QWidget* now) { focused << describe(now); });
        // While the first reply is awaited, the operator types a digit.
        QTimer::singleShot(15, t.window.get(), [&] {
            typed = t.window->exchangeLock().busy();
            typedInto = QApplication::focusWidget();
            QTest::keyClick(typedInto ? typedInto.data() : t.window.get(), Qt::Key_9);
        });

        if (startUp)
            t.window->startUp();
        else
            QTest::keyClick(owner, Qt::Key_Space);

        QVERIFY(typed);
        QCOMPARE(t.port.writes, frames);
        QVERIFY2(!qobject_cast<QLineEdit*>(typedInto.data()), qPrintable(describe(typedInto)));
        for (const QString& name : focused)
            QVERIFY2(!qobject_cast<QLineEdit*>(t.find(name)), qPrintable(focused.join(QLatin1Char(' '))));
        QCOMPARE(t.edit(QStringLiteral("pwm_period"))->text(), pwmPeriod);
        QCOMPARE(t.edit(QStringLiteral("go_to_angle"))->text(), QStringLiteral("123"));
        QCOMPARE(describe(QApplication::focusWidget()), control);
    }
};

QTEST_MAIN(KeyboardFocusTest)
#include "tst_keyboard_focus.moc"
