#pragma once
// The window `CALIBRATION`: the four calibration commands and the two values they send. It is
// opened without blocking the main window, and closing it discards its entries.

#include <QWidget>

class MainWindow;

class CalibrationWindow : public QWidget {
    Q_OBJECT
public:
    explicit CalibrationWindow(MainWindow& main);

private:
    MainWindow& m_main;
};
