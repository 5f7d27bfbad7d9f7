#pragma once
// The communication monitor: keeps the port open, lists every frame the CBOX sends in
// `cbox_reply_text` and decodes status frames live into `fast_pos` and `fast_status`.

class MainWindow;

class Monitor {
public:
    explicit Monitor(MainWindow& window);

    // The click on `cmd_monitor`: starts monitoring, or stops it when it runs.
    void MONITOR_RUN();

private:
    MainWindow& m_window;
};
