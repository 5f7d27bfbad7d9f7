#pragma once
// The main window `rotor`: the field set, the button groups and the wiring of every control to
// its command. It is the protocol's view of the window (View).

#include "protocol/commands.h"
#include "protocol/view.h"
#include "protocol/exchange_lock.h"
#include "serial/serial_link.h"

#include <QWidget>
#include <memory>

class CalibrationWindow;
class Messages;
class Port;
class QAbstractButton;
class QCloseEvent;
class Monitor;

class MainWindow : public QWidget, public View {
    Q_OBJECT
public:
    MainWindow(Port& port, Messages& messages, int replyPeriodMs = SerialLink::replyTimeoutMs, QWidget* parent = nullptr);
    ~MainWindow() override;

    SerialLink& link() { return m_link; }
    Commands& commands() { return m_commands; }
    ExchangeLock& exchangeLock() { return m_lock; }
    Messages& messages() { return m_messages; }

    // The start-up sequence, run once when the window has been shown.
    void startUp();
    // The calibration window, when it has been opened.
    CalibrationWindow* calibrationWindow() const;

    // View
    QString text(const QString& field) const override;
    void setText(const QString& field, const QString& text) override;
    void setBackground(const QString& field, Colour colour) override;
    void setTextColour(const QString& field, Colour colour) override;
    bool isChecked(const QString& field) const override;
    void setChecked(const QString& field, bool checked) override;
    bool isEnabled(const QString& field) const override;
    void setEnabled(const QString& field, bool enabled) override;
    void DISABLE_BUTTONS() override;
    void ENABLE_BUTTONS() override;
    void DISABLE_WRITE_BUTTON() override;
    void ENABLE_WRITE_BUTTON() override;
    void DISABLE_MONITOR_BUTTON() override;
    void ENABLE_MONITOR_BUTTON() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* field(const QString& name) const;
    QAbstractButton* button(const QString& name) const;
    void onClick(const QString& name, void (MainWindow::*handler)());
    // Runs an exchange started by a click, kept apart from any other (refused while one runs,
    // or queued for a stop).
    void exclusive(void (Commands::*command)(), ExchangeLock::Kind kind = ExchangeLock::Kind::Ordinary);
    void openCalibration();
    int selectedPortOption() const;
    void runStartUp();

    Messages& m_messages;
    SerialLink m_link;
    Commands m_commands;
    ExchangeLock m_lock;
    std::unique_ptr<Monitor> m_monitor;
    std::unique_ptr<CalibrationWindow> m_calibration;
    // A close asked for while an exchange waits: the window closes once the exchange has ended.
    bool m_closeRequested = false;
};
