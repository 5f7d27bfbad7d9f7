// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window of the azimuth dial, opened from View > Azimuth dial beside the main window, and what
// goes with it: the reading it keeps up to date from the session's news (never from the main
// window's texts), the angle a click offers put into the go-to entry, and its own state file.
//
// While "Follow the rotor" is checked and the dial is shown, a go-to the box accepted is followed
// as the command line's goto follows it: "?" once a second until the box is ready, unless the
// monitor runs (its frames tell the same). The query is one nobody clicked: it greys no button,
// and a click meanwhile is queued behind it, never refused; when another exchange runs, it waits
// for the next second. A query that fails ends the asking for that turn (one message, not one a
// second). A reading older than 5 s is marked stale with its age.
//
// The state file, dial.ini beside the settings file in the configuration folder, says whether the
// dial was open, where, and whether it follows the rotor:
//   open=1
//   geometry=x,y,width,height
//   follow=0
// It is written whole (atomically) when the dial is opened or closed and when the main window
// closes with the dial having been opened; a write that fails is reported. The settings file keeps
// the port number and nothing else.

#include "ui/azimuth_dial.h"

#include <QElapsedTimer>
#include <QRect>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>

class Commands;
class ExchangeLock;
class Messages;
class QCheckBox;
class QAction;
class QMenu;
class SerialLink;
class SessionSignals;
class View;

struct DialState {
    bool open = false;
    std::optional<QRect> geometry;
    bool follow = false;
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
    // The dial asks "?" through `commands` and `lock` while it follows a turn.
    DialWindow(SessionSignals& session, Commands& commands, ExchangeLock& lock, QWidget* parent = nullptr);

    static constexpr int tickMs = 1000;
    static constexpr qint64 staleAfterMs = 5000;

    AzimuthDial* dial() const { return m_dial; }
    bool following() const;
    void setFollowing(bool on);
    // The milliseconds the reading's age is counted in; a test sets a clock of its own.
    void setClock(std::function<qint64()> clock) { m_clock = std::move(clock); }
    // What the dial does every second while shown: asks "?" while it follows a turn, and marks a
    // reading that has grown old.
    void tick();

signals:
    // Shown or hidden, by the menu or by the window's own close button.
    void visibilityChanged(bool visible);
    // "Follow the rotor" checked or cleared by the operator.
    void followingChanged(bool on);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void onStatus(const StatusReading& status);
    void onParameters(const ParameterBlock& block);
    void onGoTo(const GoToAnswer& answer);
    void onExchangeEnded(const ExchangeResult& result);
    // A reading has come now.
    void stamp(DialReading& reading);

    AzimuthDial* m_dial;
    QCheckBox* m_follow;
    Commands& m_commands;
    ExchangeLock& m_lock;
    QTimer m_tick;
    QElapsedTimer m_sinceMade;
    std::function<qint64()> m_clock;
    qint64 m_receivedAt = 0;
    // A busy state has been seen since the target was sent: the next ready one ends the turn.
    bool m_busySinceTarget = false;
    // The "?" running is the dial's own; one of them failed during this turn.
    bool m_asking = false;
    bool m_askingFailed = false;
};

// Adds View > Azimuth dial (Ctrl+D) to `menu`, the View menu of `window`, and makes the dial
// window, shown first when opened: it follows `session` (asking through `commands` and `lock`),
// puts the angle it offers into the go-to entry of `view`, and keeps its state beside `link`'s
// settings file, telling `messages` of a failed write.
void addViewMenuItems(QMenu* menu, QWidget* window, SessionSignals& session, Commands& commands, ExchangeLock& lock,
                      View& view, const SerialLink& link, Messages& messages);
// The dial window of `window`, once it has been made.
DialWindow* dialWindow(const QWidget& window);
// Opens the dial of `window` as it was left when its state file (beside `link`'s settings file)
// says it was open.
void restoreDial(const QWidget& window, const SerialLink& link);
// Writes the dial's state when the dial has been made in this run; reports a failed write.
void saveDialState(const QWidget& window, const SerialLink& link, Messages& messages);
