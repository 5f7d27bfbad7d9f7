// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/azimuth_dial.h"

#include "ui/colours.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace {

const QChar degree(0x00B0);

QString degrees(double angle) { return QString::number(angle, 'g', 15) + degree; }

// Qt counts arc angles counter-clockwise from three o'clock; the box counts clockwise from the top.
double qtAngle(double boxDegrees) { return 90.0 - boxDegrees; }

int wrapped(int angle) { return ((angle % 360) + 360) % 360; }

}  // namespace

QString dialPositionText(const DialReading& reading)
{
    if (!reading.position)
        return QStringLiteral("Nothing received yet");
    QString text = degrees(*reading.position);
    if (*reading.position >= 360 || *reading.position < 0)
        text += QStringLiteral(" (overlap)");
    // Once the box has accepted a target, the state last received says nothing true of the turn.
    if (reading.turning && reading.target)
        text += QStringLiteral("  turning to ") + degrees(*reading.target);
    else if (reading.state == RotorState::Busy)
        text += QStringLiteral("  BUSY");
    else if (reading.state == RotorState::Ready)
        text += QStringLiteral("  READY");
    else
        text += QStringLiteral("  state unknown");
    if (reading.staleSeconds)
        text += QStringLiteral(", as of %1 s ago").arg(*reading.staleSeconds);
    return text;
}

QString dialTargetText(const DialReading& reading)
{
    return reading.target ? QStringLiteral("Target ") + degrees(*reading.target) : QStringLiteral("No target");
}

QString dialTravelText(const DialReading& reading)
{
    if (!reading.lowerLimit || !reading.upperLimit)
        return QStringLiteral("Travel not read yet");
    QString text = QStringLiteral("Travel %1 to %2").arg(degrees(*reading.lowerLimit), degrees(*reading.upperLimit));
    if (!reading.stopMode.isEmpty())
        text += QStringLiteral(", ") + reading.stopMode;
    return text;
}

AzimuthDial::AzimuthDial(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("azimuth_dial"));
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("Azimuth dial"));
    setToolTip(
        QStringLiteral("Click an angle, or choose one with the arrow keys and Enter, to put it in the GOTO entry"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    renewDescription();
}

void AzimuthDial::setReading(const DialReading& reading)
{
    m_reading = reading;
    renewDescription();
    update();
}

QString AzimuthDial::describe() const
{
    QStringList parts{QStringLiteral("Position ") + dialPositionText(m_reading), dialTargetText(m_reading),
                      dialTravelText(m_reading)};
    if (m_proposed)
        parts << QStringLiteral("Proposed ") + degrees(*m_proposed);
    return parts.join(QStringLiteral("; "));
}

void AzimuthDial::renewDescription() { setAccessibleDescription(describe()); }

int AzimuthDial::textHeight() const { return 3 * fontMetrics().lineSpacing() + 8; }

QSize AzimuthDial::sizeHint() const { return {300, 300 + textHeight()}; }

QSize AzimuthDial::minimumSizeHint() const { return {160, 160 + textHeight()}; }

QPointF AzimuthDial::roseCentre() const
{
    const double side = std::min(width(), height() - textHeight());
    return {width() / 2.0, side / 2.0};
}

double AzimuthDial::roseRadius() const
{
    const double side = std::min(width(), height() - textHeight());
    return std::max(10.0, side / 2.0 - 4.0);
}

QFont AzimuthDial::numberFont() const
{
    QFont small = font();
    small.setPointSizeF(std::max(6.0, font().pointSizeF() * 0.85));
    return small;
}

QRectF AzimuthDial::numberRect(int degrees) const
{
    const QFontMetricsF fm(numberFont());
    const QPointF at = pointAt(degrees, 0.56);
    const double w = fm.horizontalAdvance(QString::number(degrees));
    return {at.x() - w / 2, at.y() - fm.height() / 2, w, fm.height()};
}

QRectF AzimuthDial::needleLabelRect() const
{
    if (!m_reading.position)
        return {};
    const QFontMetricsF fm(numberFont());
    const double w = fm.horizontalAdvance(degrees(*m_reading.position)) + 6;
    const double h = fm.height() + 2;
    const double hub = roseRadius() * 0.06;
    // On the needle, as far out as it goes clear of every number and of the hub: a number is
    // never moved or covered, whatever the angle and the size of the dial.
    QRectF label;
    for (double fraction = 0.44; fraction > 0.0; fraction -= 0.02) {
        const QPointF at = pointAt(*m_reading.position, fraction);
        label = QRectF(at.x() - w / 2, at.y() - h / 2, w, h);
        bool clear = !label.adjusted(-hub, -hub, hub, hub).contains(roseCentre());
        for (int a = 0; clear && a < 360; a += 30)
            clear = !label.intersects(numberRect(a));
        if (clear)
            break;
    }
    return label;
}

QPointF AzimuthDial::pointAt(double boxDegrees, double fraction) const
{
    const double r = roseRadius() * fraction;
    const double a = qDegreesToRadians(boxDegrees);
    const QPointF c = roseCentre();
    return {c.x() + r * std::sin(a), c.y() - r * std::cos(a)};
}

void AzimuthDial::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const QColor text = pal.color(QPalette::Text);
    p.fillRect(rect(), pal.color(QPalette::Base));

    const QPointF c = roseCentre();
    const double R = roseRadius();
    const auto circle = [&](double fraction) {
        const double r = R * fraction;
        return QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r);
    };

    // The travel: 0 to 360° just inside the rim, what lies beyond 360° (or below 0°) outside it.
    if (m_reading.lowerLimit && m_reading.upperLimit && *m_reading.upperLimit > *m_reading.lowerLimit) {
        const double lower = *m_reading.lowerLimit;
        const double upper = *m_reading.upperLimit;
        QPen pen(pal.color(QPalette::Highlight), std::max(3.0, R * 0.05), Qt::SolidLine, Qt::FlatCap);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        const auto arc = [&](double fraction, double from, double to) {
            if (to <= from)
                return;
            to = std::min(to, from + 360.0);
            p.drawArc(circle(fraction), int(std::lround(qtAngle(from) * 16)), int(std::lround(-(to - from) * 16)));
        };
        arc(travelTrack, std::max(lower, 0.0), std::min(upper, 360.0));
        arc(overlapTrack, 360.0, upper);
        arc(overlapTrack, lower, std::min(upper, 0.0));
    }

    // The rose: its rim, a tick every 10° (longer every 30°) and the degrees every 30°.
    p.setPen(QPen(text, 1.5));
    p.drawEllipse(circle(rim));
    for (int a = 0; a < 360; a += 10) {
        const double inner = a % 30 == 0 ? 0.68 : 0.72;
        p.drawLine(pointAt(a, inner), pointAt(a, 0.76));
    }
    p.setFont(numberFont());
    for (int a = 0; a < 360; a += 30)
        p.drawText(numberRect(a), Qt::AlignCenter, QString::number(a));
    p.setFont(font());

    // The angle offered by the keys: a ring on the travel track.
    if (m_proposed) {
        p.setPen(QPen(text, 1.5));
        p.setBrush(Qt::NoBrush);
        const QPointF at = pointAt(*m_proposed, travelTrack);
        p.drawEllipse(at, R * 0.06, R * 0.06);
    }

    // The target while the rotor turns there: a dot on the travel track, or on the outer one.
    if (m_reading.target) {
        p.setPen(Qt::NoPen);
        p.setBrush(pal.color(QPalette::Link));
        const double target = *m_reading.target;
        const bool overlap = target >= 360.0 || target < 0.0;
        p.drawEllipse(pointAt(target, overlap ? overlapTrack : travelTrack), R * 0.045, R * 0.045);
    }

    // The needle, from the hub to the position; into the outer track for a position in the overlap.
    if (m_reading.position) {
        const int position = *m_reading.position;
        const bool overlap = position >= 360 || position < 0;
        QColor needle = text;
        if (m_reading.staleSeconds || m_reading.state == RotorState::Unknown)
            needle = pal.color(QPalette::Disabled, QPalette::Text);
        else if (m_reading.turning || m_reading.state == RotorState::Busy)
            needle = colours::invalidRed;
        p.setPen(QPen(needle, std::max(2.0, R * 0.035), Qt::SolidLine, Qt::RoundCap));
        p.drawLine(c, pointAt(position, overlap ? overlapTrack : needleReach));
        p.setPen(Qt::NoPen);
        p.setBrush(needle);
        p.drawEllipse(c, R * 0.05, R * 0.05);
        // The position written on the needle, on a patch of the background.
        const QRectF label = needleLabelRect();
        p.setPen(QPen(needle, 1));
        p.setBrush(pal.color(QPalette::Base));
        p.drawRoundedRect(label, 3, 3);
        p.setFont(numberFont());
        p.drawText(label, Qt::AlignCenter, degrees(position));
        p.setFont(font());
    } else {
        p.setPen(text);
        p.drawText(circle(0.5), Qt::AlignCenter | Qt::TextWordWrap, QStringLiteral("Nothing received yet"));
    }

    // The same in words under the rose.
    p.setPen(text);
    const int line = fontMetrics().lineSpacing();
    QRectF row(0, height() - textHeight() + 4, width(), line);
    QFont bold = font();
    bold.setBold(true);
    p.setFont(bold);
    p.drawText(row, Qt::AlignCenter, dialPositionText(m_reading));
    p.setFont(font());
    row.translate(0, line);
    p.drawText(row, Qt::AlignCenter, dialTargetText(m_reading));
    row.translate(0, line);
    p.drawText(row, Qt::AlignCenter, dialTravelText(m_reading));

    if (hasFocus()) {
        QPen focus(pal.color(QPalette::Highlight), 1, Qt::DotLine);
        p.setPen(focus);
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    }
}

void AzimuthDial::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    const QPointF d = event->position() - roseCentre();
    if (std::hypot(d.x(), d.y()) > roseRadius() || std::hypot(d.x(), d.y()) < 1.0)
        return QWidget::mousePressEvent(event);
    setFocus(Qt::MouseFocusReason);
    const int angle = wrapped(int(std::lround(qRadiansToDegrees(std::atan2(d.x(), -d.y())))));
    propose(angle);
    emit angleChosen(angle);
}

void AzimuthDial::keyPressEvent(QKeyEvent* event)
{
    const int from = m_proposed ? *m_proposed : (m_reading.position ? wrapped(*m_reading.position) : 0);
    switch (event->key()) {
    case Qt::Key_Right:
    case Qt::Key_Up: propose(wrapped(from + 1)); return;
    case Qt::Key_Left:
    case Qt::Key_Down: propose(wrapped(from - 1)); return;
    case Qt::Key_PageUp: propose(wrapped(from + 10)); return;
    case Qt::Key_PageDown: propose(wrapped(from - 10)); return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        propose(from);
        emit angleChosen(from);
        return;
    default: QWidget::keyPressEvent(event);
    }
}

void AzimuthDial::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange)
        update();
    QWidget::changeEvent(event);
}

void AzimuthDial::propose(int angle)
{
    m_proposed = angle;
    renewDescription();
    update();
}
