// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window of the azimuth dial, opened from View > Azimuth dial beside the main window, and what
// goes with it: the reading it keeps up to date from the session's news (never from the main
// window's texts), the angle a click offers put into the go-to entry, and its own state file.
//
// The state file, dial.ini beside the settings file in the configuration folder, says whether the
// dial was open and where:
//   open=1
//   geometry=x,y,width,height
// It is written whole (atomically) when the dial is opened or closed and when the main window
// closes with the dial having been opened; a write that fails is reported. The settings file keeps
// the port number and nothing else.

#include "ui/azimuth_dial.h"

#include <QRect>
#include <QWidget>
#include <optional>

class Messages;
class QAction;
class QMenu;
class SerialLink;
class SessionSignals;
class View;

struct DialState {
    bool open = false;
    std::optional<QRect> geometry;
};

// The dial's state file beside the settings file at `settingsPath`.
QString dialStatePath(const QString& settingsPath);
// The state held by a file's contents; nothing when any line is not understood.
std::optional<DialState> parseDialState(const QByteArray& contents);
QByteArray formatDialState(const DialState& state);
// Rewrites the file whole; on failure returns false and says why.
bool writeDialState(const QString& path, const DialState& state, QString* error = nullptr);

class DialWindow : public QWidget {
    Q_OBJECT
public:
    DialWindow(SessionSignals& session, QWidget* parent = nullptr);

    AzimuthDial* dial() const { return m_dial; }

signals:
    // Shown or hidden, by the menu or by the window's own close button.
    void visibilityChanged(bool visible);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void onStatus(const StatusReading& status);
    void onParameters(const ParameterBlock& block);

    AzimuthDial* m_dial;
    // A busy state has been seen since the target was sent: the next ready one ends the turn.
    bool m_busySinceTarget = false;
};

// Adds View > Azimuth dial (Ctrl+D) to `menu`, the View menu of `window`, and makes the dial
// window, shown first when opened: it follows `session`, puts the angle it offers into the go-to
// entry of `view`, and keeps its state beside `link`'s settings file, telling `messages` of a
// failed write.
void addViewMenuItems(QMenu* menu, QWidget* window, SessionSignals& session, View& view, const SerialLink& link,
                      Messages& messages);
// The dial window of `window`, once it has been made.
DialWindow* dialWindow(const QWidget& window);
// Opens the dial of `window` as it was left when its state file (beside `link`'s settings file)
// says it was open.
void restoreDial(const QWidget& window, const SerialLink& link);
// Writes the dial's state when the dial has been made in this run; reports a failed write.
void saveDialState(const QWidget& window, const SerialLink& link, Messages& messages);
