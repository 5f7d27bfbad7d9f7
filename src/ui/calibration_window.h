#pragma once
// The window `CALIBRATION`: the four calibration commands and the two values they send.

#include <QWidget>

class MainWindow;

class CalibrationWindow : public QWidget {
    Q_OBJECT
public:
    explicit CalibrationWindow(MainWindow& main);

private:
    MainWindow& m_main;
};
