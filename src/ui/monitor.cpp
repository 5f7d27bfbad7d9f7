#include "ui/monitor.h"

#include "ui/main_window.h"

Monitor::Monitor(MainWindow& window) : m_window(window) {}

void Monitor::MONITOR_RUN() {}
