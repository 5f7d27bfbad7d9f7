// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The azimuth dial: the rotor at a glance. A rose marked in the box's own degrees, 0 at the top and
// growing clockwise, exactly as the position and the go-to entry count them (no compass turn), with
// - the needle at the position last received, in the text colour while the box is ready and in red
//   while it is busy or turning to a target it accepted (grey when the state letter was neither, or
//   the reading is stale), with the position written on it, nearer the hub than the rose's
//   numbers so that it never hides one;
// - the go-to target as a dot on the travel track while the rotor turns there (on the outer track
//   for a target beyond 360°);
// - the travel from the lower to the upper limit of the last parameter read as an arc just inside
//   the rim; the part beyond 360° (or below 0°) as a second arc outside the rim, where the needle of a
//   position in that overlap reaches too, so that 30° and 390° never look alike;
// - the position, state, target, travel and stop mode as text under the rose.
// It is drawn with the widget's palette, so it follows the desktop's light or dark theme.
//
// The dial only shows what it is given (DialReading); it asks nothing of the box. A click on the
// rose, or Enter after the arrow keys, offers an angle of 0 to 359 (angleChosen): whoever listens
// puts it into the go-to entry. Nothing moves until Execute is clicked.

#include "protocol/session_observer.h"

#include <QWidget>
#include <optional>

struct DialReading {
    std::optional<int> position;  // box degrees as received; none before the first reading
    RotorState state = RotorState::Unknown;
    std::optional<double> target;     // the go-to angle sent, while the rotor turns there
    bool turning = false;             // the box accepted the target and has not been seen ready since
    std::optional<int> staleSeconds;  // the reading's age, once it is too old to be trusted
    std::optional<int> lowerLimit;    // from the last parameter read
    std::optional<int> upperLimit;
    QString stopMode;  // "North-stop", "South-stop", "Absolute"; empty before a read

    bool operator==(const DialReading&) const = default;
};

class AzimuthDial : public QWidget {
    Q_OBJECT
public:
    // Where things are drawn, as fractions of the rose's radius (see roseRadius()).
    static constexpr double needleReach = 0.74;   // the needle's tip for a position of 0 to 359°
    static constexpr double travelTrack = 0.84;   // the travel arc, and the target's dot on it
    static constexpr double rim = 0.905;          // the rose's outline
    static constexpr double overlapTrack = 0.96;  // the travel beyond 360°, and the needle's tip there

    explicit AzimuthDial(QWidget* parent = nullptr);

    const DialReading& reading() const { return m_reading; }
    void setReading(const DialReading& reading);

    // The angle the arrow keys have set and Enter would offer; none until a key or click set it.
    std::optional<int> proposedAngle() const { return m_proposed; }

    // The rose's centre and radius in the widget's coordinates.
    QPointF roseCentre() const;
    double roseRadius() const;
    // The point at `fraction` of the radius in the direction of `boxDegrees`.
    QPointF pointAt(double boxDegrees, double fraction) const;

    // Where the rose's number for `degrees` (a multiple of 30) is written, and the needle's label.
    QRectF numberRect(int degrees) const;
    QRectF needleLabelRect() const;

    // What the dial tells assistive technology: position, state, target and travel in words.
    QString describe() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // An angle of 0 to 359 offered for the go-to entry.
    void angleChosen(int angle);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int textHeight() const;
    QFont numberFont() const;
    void propose(int angle);
    void renewDescription();

    DialReading m_reading;
    std::optional<int> m_proposed;
};

// The dial's texts: the position with its state, the target, and the travel with the stop mode.
QString dialPositionText(const DialReading& reading);
QString dialTargetText(const DialReading& reading);
QString dialTravelText(const DialReading& reading);
