#include "ui/calibration_window.h"

#include "ui/main_window.h"
#include "ui/window_layout.h"

CalibrationWindow::CalibrationWindow(MainWindow& main) : QWidget(nullptr), m_main(main)
{
    buildCalibrationControls(this);
}
