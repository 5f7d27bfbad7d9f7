// SPDX-License-Identifier: GPL-3.0-or-later
// The windows on the desktop: both carry the project's icon, and the calibration window first opens
// beside the main window where the screen has room for it.

#include "support/test_window.h"

#include <QScreen>
#include <QtTest>

class WindowPlacementTest : public QObject {
    Q_OBJECT
private slots:
    void bothWindowsCarryTheIcon()
    {
        TestWindow t;
        t.click(QStringLiteral("calib"));
        for (QWidget* w :
             {static_cast<QWidget*>(t.window.get()), static_cast<QWidget*>(t.window->calibrationWindow())}) {
            const QIcon icon = w->windowIcon();
            QVERIFY2(!icon.isNull(), qPrintable(w->objectName()));
            QVERIFY(!icon.pixmap(32, 32).isNull());
            QVERIFY(icon.availableSizes().contains(QSize(256, 256)));
        }
    }

    // Right of the main window when it fits, else left of it, else as far right as the screen lets
    // it (over the main window); level with the main window's top, never off the screen.
    void calibrationGoesBesideTheMainWindow_data()
    {
        QTest::addColumn<QRect>("main");
        QTest::addColumn<QPoint>("at");
        // On a screen of 1366 x 768:
        QTest::newRow("room on the right") << QRect(100, 50, 540, 590) << QPoint(640, 50);
        QTest::newRow("room on the left only") << QRect(800, 50, 540, 590) << QPoint(500, 50);
        QTest::newRow("no room either side") << QRect(200, 50, 1000, 590) << QPoint(1066, 50);
        QTest::newRow("main window low on the screen") << QRect(100, 600, 540, 590) << QPoint(640, 568);
    }
    void calibrationGoesBesideTheMainWindow()
    {
        QFETCH(QRect, main);
        QFETCH(QPoint, at);
        const QRect screen(0, 0, 1366, 768);
        QCOMPARE(besideMainWindow(main, QSize(300, 200), screen), at);
    }

    // Only the first opening places it: where the operator moved it, it opens again.
    void calibrationFirstOpensBesideTheMainWindow()
    {
        TestWindow t;
        t.window->move(20, 20);
        t.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(t.window.get()));
        t.click(QStringLiteral("calib"));
        CalibrationWindow* calibration = t.window->calibrationWindow();
        QVERIFY(QTest::qWaitForWindowExposed(calibration));
        const QRect available = t.window->screen()->availableGeometry();
        const QRect mainFrame = t.window->frameGeometry();
        const QSize frame = calibration->frameGeometry().size();
        QCOMPARE(calibration->frameGeometry().topLeft(), besideMainWindow(mainFrame, frame, available));

        calibration->close();
        calibration->move(5, 300);
        t.click(QStringLiteral("calib"));
        QCOMPARE(calibration->pos(), QPoint(5, 300));
    }
};

QTEST_MAIN(WindowPlacementTest)
#include "tst_window_placement.moc"
