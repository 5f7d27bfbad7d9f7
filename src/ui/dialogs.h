// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The dialog seam: every dialog beyond the message boxes (file choosers, the port chooser) goes
// through it, so that tests answer them without a display. The program's own shows the real
// dialogs, modal to the window it was made for.

#include "network/network_settings.h"

#include <QString>
#include <optional>

class QWidget;

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // The file to write, or empty when the operator cancelled.
    virtual QString saveFileName(const QString& caption, const QString& path, const QString& filter) = 0;
    // The file to read, or empty when the operator cancelled.
    virtual QString openFileName(const QString& caption, const QString& folder, const QString& filter) = 0;
    // The device typed or chosen in the port chooser ("Serial port"), which starts with `current`
    // in its Device field and shows `intro` above its list when there is one (a first start);
    // empty when the operator cancelled.
    virtual std::optional<QString> chooseSerialPort(const QString& current, const QString& intro) = 0;
    // An about box: plain text under a title.
    virtual void about(const QString& title, const QString& text) = 0;
    // Tools > Network control…: on/off, address and port, starting from `current`; empty when the
    // operator cancelled.
    virtual std::optional<NetworkSettings> chooseNetwork(const NetworkSettings& current) = 0;
};

// The dialogs of whichever seam is set now: the one the window's features keep, so that a test
// may put its own seam behind it after they were made.
class SwitchedDialogs : public Dialogs {
public:
    explicit SwitchedDialogs(Dialogs* target) : m_target(target) {}
    void setTarget(Dialogs* target) { m_target = target; }

    QString saveFileName(const QString& caption, const QString& path, const QString& filter) override
    {
        return m_target->saveFileName(caption, path, filter);
    }
    QString openFileName(const QString& caption, const QString& folder, const QString& filter) override
    {
        return m_target->openFileName(caption, folder, filter);
    }
    std::optional<QString> chooseSerialPort(const QString& current, const QString& intro) override
    {
        return m_target->chooseSerialPort(current, intro);
    }
    void about(const QString& title, const QString& text) override { m_target->about(title, text); }
    std::optional<NetworkSettings> chooseNetwork(const NetworkSettings& current) override
    {
        return m_target->chooseNetwork(current);
    }

private:
    Dialogs* m_target;
};

// The real dialogs, modal to `parent`.
class DesktopDialogs : public Dialogs {
public:
    explicit DesktopDialogs(QWidget* parent) : m_parent(parent) {}
    QString saveFileName(const QString& caption, const QString& path, const QString& filter) override;
    QString openFileName(const QString& caption, const QString& folder, const QString& filter) override;
    std::optional<QString> chooseSerialPort(const QString& current, const QString& intro) override;
    void about(const QString& title, const QString& text) override;
    // In network_menu.cpp, with the menu item that opens it.
    std::optional<NetworkSettings> chooseNetwork(const NetworkSettings& current) override;

private:
    QWidget* m_parent;
};
