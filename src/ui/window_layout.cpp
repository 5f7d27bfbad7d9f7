// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window_layout.h"

#include "ui/colours.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHash>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QLayout>
#include <QList>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QVariant>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTextOption>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {

// The window's scale travels with it as a property, so that every control of it converts alike.
const char* const scaleProperty = "rotor_twip_scale";

// Room the window needs beyond its drawn area: the title bar, and the menu bar of the main window.
int frameAllowance(const QWidget* window, int textLines)
{
    return textLines * QFontMetrics(window->font()).height() + 24;
}

}  // namespace

int twips(const QWidget* widget, int value)
{
    double scale = 1.0;
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        const QVariant v = w->property(scaleProperty);
        if (v.isValid()) {
            scale = v.toDouble();
            break;
        }
    }
    return static_cast<int>(std::lround(value * widget->logicalDpiX() / 1440.0 * scale));
}

QRect buttonCaptionArea(const QWidget* button)
{
    // Inside the button's one-pixel border: the narrow command buttons need every pixel of their
    // width for a caption word ("-Calibration-").
    return button->rect().adjusted(1, 1, -1, -1);
}

double twipScale(const QWidget* window, int widthTwips, int heightTwips, const QRect& available)
{
    // The scale is how much wider and taller text runs in the window's font than in the same
    // family at 8 pt, measured rather than taken from the point sizes, which hinting and pixel
    // rounding make an uneven guide.
    constexpr double drawnForPoints = 8.0;
    const QFont font = window->font();
    QFont drawnFont = font;
    drawnFont.setPointSizeF(drawnForPoints);
    const QString sample = QStringLiteral("-Calibration- open form ... PWM:max.duty ROT CHECK Positio 0123456789");
    const QFontMetricsF now(font);
    const QFontMetricsF drawn(drawnFont);
    double scale =
        std::max(now.horizontalAdvance(sample) / drawn.horizontalAdvance(sample), now.height() / drawn.height());
    if (font.pointSizeF() > 0 && font.pointSizeF() <= drawnForPoints)
        scale = 1.0;
    scale = std::max(1.0, scale);

    QRect area = available;
    if (area.isEmpty())
        if (const QScreen* screen = window->screen())
            area = screen->availableGeometry();
    if (!area.isEmpty()) {
        const double perTwip = window->logicalDpiX() / 1440.0;
        const double fitWidth = area.width() / (widthTwips * perTwip);
        const double fitHeight = (area.height() - frameAllowance(window, 2)) / (heightTwips * perTwip);
        scale = std::min(scale, std::min(fitWidth, fitHeight));
    }
    return std::max(1.0, scale);
}

namespace {

const QString mainTitle = QStringLiteral("ORBANIQ                       CONTROL BOX SETTINGS - V3.22");
const QString calibrationCaption = QStringLiteral("ORBANIQ  -  CALIBRATION FORM  - V3.21");

// Left, top, width and height of a control in twips, relative to its parent.
struct Place {
    int left;
    int top;
    int width;
    int height;
};

// A push button whose caption wraps onto several lines when it does not fit on one, as the
// narrow command buttons need; a caption too big even then is drawn in a smaller font.
class WrappingButton : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        const QString caption = option.text;
        option.text.clear();
        painter.drawControl(QStyle::CE_PushButton, option);

        QRect area = buttonCaptionArea(this);
        if (option.state & (QStyle::State_Sunken | QStyle::State_On))
            area.translate(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                           style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this));

        QFont font = painter.font();
        const int flags = Qt::AlignCenter | Qt::TextWordWrap;
        for (qreal size = font.pointSizeF(); size > 5.0; size -= 0.5) {
            font.setPointSizeF(size);
            const QRect needed = QFontMetrics(font).boundingRect(area, flags, caption);
            if (needed.width() <= area.width() && needed.height() <= area.height())
                break;
        }
        painter.setFont(font);
        const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;
        painter.setPen(option.palette.color(group, QPalette::ButtonText));
        QTextOption textOption(Qt::AlignCenter);
        textOption.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        painter.drawText(QRectF(area), caption, textOption);
    }
};

// Creates controls with their names, texts, colours, accessible names and geometry, and keeps
// the order in which they were made, which is the order the Tab key follows.
class ControlBuilder {
public:
    explicit ControlBuilder(QWidget* window) : window_(window) {}

    QRect rect(const Place& place) const
    {
        // Edges are converted, not sizes, so that controls that meet in twips still meet in pixels
        // at any scale.
        const int left = twips(window_, place.left);
        const int top = twips(window_, place.top);
        return {left, top, twips(window_, place.left + place.width) - left,
                twips(window_, place.top + place.height) - top};
    }

    QGroupBox* panel(QWidget* parent, const char* name, const QString& title, const Place& place)
    {
        auto* box = new QGroupBox(title, parent);
        box->setObjectName(QLatin1String(name));
        box->setGeometry(rect(place));
        return box;
    }

    QPushButton* button(QWidget* parent, const char* name, const QString& caption, const QColor& colour,
                        const Place& place)
    {
        auto* control = new WrappingButton(caption, parent);
        colours::paintButton(control, colour);
        return adopt(control, name, caption, place);
    }

    QLineEdit* entry(QWidget* parent, const char* name, const QString& text, const Place& place,
                     const QString& accessibleName)
    {
        auto* control = new QLineEdit(text, parent);
        return adopt(control, name, accessibleName, place);
    }

    QLineEdit* readOnlyField(QWidget* parent, const char* name, const QString& text, const Place& place,
                             const QString& accessibleName)
    {
        QLineEdit* control = entry(parent, name, text, place, accessibleName);
        control->setReadOnly(true);
        return control;
    }

    QCheckBox* checkBox(QWidget* parent, const char* name, const QString& caption, bool checked, const Place& place)
    {
        auto* control = new QCheckBox(caption, parent);
        control->setChecked(checked);
        return adopt(control, name, caption, place);
    }

    QRadioButton* option(QWidget* parent, const char* name, const QString& caption, bool selected, const Place& place)
    {
        auto* control = new QRadioButton(caption, parent);
        control->setChecked(selected);
        return adopt(control, name, caption, place);
    }

    // A fixed label; with a buddy, the label names that control for assistive technology.
    QLabel* label(QWidget* parent, const QString& name, const QString& text, const Place& place,
                  QWidget* buddy = nullptr)
    {
        auto* control = new QLabel(text, parent);
        control->setObjectName(name);
        control->setGeometry(rect(place));
        if (buddy) {
            control->setBuddy(buddy);
            buddy->setAccessibleName(text);
        }
        return control;
    }

    // The label in front of a field and the unit after it, on the field's row and centred on it.
    void labelFor(QWidget* field, const QString& text, int left, int width)
    {
        label(field->parentWidget(), QStringLiteral("label_") + field->objectName(), text, rowPlace(field, left, width),
              field);
    }

    void unitFor(QWidget* field, const QString& text, int left, int width)
    {
        label(field->parentWidget(), QStringLiteral("unit_") + field->objectName(), text, rowPlace(field, left, width));
        field->setAccessibleDescription(text);
    }

    void applyTabOrder() const
    {
        for (qsizetype i = 1; i < focusOrder_.size(); ++i)
            QWidget::setTabOrder(focusOrder_[i - 1], focusOrder_[i]);
    }

    // Gives a control its name, accessible name, place and its turn in the Tab order.
    template <typename Control>
    Control* adopt(Control* control, const char* name, const QString& accessibleName, const Place& place)
    {
        control->setObjectName(QLatin1String(name));
        control->setAccessibleName(accessibleName);
        control->setGeometry(rect(place));
        places_.insert(control, place);
        focusOrder_.append(control);
        return control;
    }

private:
    // Labels are centred on the row of their field (fields are 240 to 285 high and stand 240
    // apart, sharing their borders), 225 twips high so that the labels of neighbouring rows never
    // overlap at any scale.
    Place rowPlace(QWidget* field, int left, int width) const
    {
        constexpr int labelHeight = 225;
        const Place of = places_.value(field);
        return {left, of.top + (of.height - labelHeight) / 2, width, labelHeight};
    }

    QWidget* window_;
    QList<QWidget*> focusOrder_;
    QHash<QWidget*, Place> places_;
};

// "PARAMETERS SET": the entries of the parameter set with their labels and units.
void buildSetPanel(ControlBuilder& make, QWidget* window)
{
    QGroupBox* box = make.panel(window, "Frame1", QStringLiteral("PARAMETERS SET"), {120, 0, 6375, 2535});

    struct Row {
        const char* name;
        const char* label;
        const char* unit;
        int unitLeft;
        int unitWidth;
    };
    // Units stop short of `write_mode` (left 3360) and `set_default` (left 3960) beside them; the
    // per cent signs stand closer to their entries than the other units, yet clear of them.
    const Row rows[] = {
        {"pwm_period", "PWM:period", "ms", 2640, 600},
        {"pwm_max_duty", "PWM:max.duty", "%", 2580, 600},
        {"pwm_min_duty", "PWM:min.duty", "%", 2580, 600},
        {"ramp", "PWM:ramp", "°", 2640, 600},
        {"lower_limit", "Lower Limit", "° Abs(0-500)", 2640, 1260},
        {"upper_limit", "Upper Limit", "° Abs(0-500)", 2640, 1260},
        {"inv_delay", "Rev. Delay", "sec", 2640, 600},
        {"pres_delay", "Preset Delay", "sec", 2640, 600},
        {"rot_timeout", "Rot. Timeout", "sec", 2640, 600},
    };
    int top = 240;
    for (const Row& row : rows) {
        const int height = top == 240 ? 285 : 270;
        QLineEdit* field =
            make.entry(box, row.name, QStringLiteral("???"), {1680, top, 855, height}, QString::fromUtf8(row.label));
        make.labelFor(field, QString::fromUtf8(row.label), 120, 1500);
        make.unitFor(field, QString::fromUtf8(row.unit), row.unitLeft, row.unitWidth);
        top += 240;
    }

    make.button(box, "write_mode", QStringLiteral("cmd W"), colours::lightGreen, {3360, 240, 1455, 735});
    // The check boxes and options end at the panel's right edge, with room for their captions.
    make.checkBox(box, "pwm_on", QStringLiteral("PWM"), true, {4875, 240, 1470, 240});
    make.checkBox(box, "optimize", QStringLiteral("OPTIMIZE"), true, {4875, 480, 1470, 240});
    make.checkBox(box, "mot_check", QStringLiteral("ROT CHECK"), false, {4875, 720, 1470, 240});
    make.button(box, "set_default", QStringLiteral("Set Default"), colours::setDefault, {3960, 1080, 855, 615});

    // The stop options exclude each other and nothing else.
    auto* stops = new QButtonGroup(box);
    stops->setObjectName(QStringLiteral("stop_options"));
    stops->addButton(make.option(box, "south_stop", QStringLiteral("South-stop"), true, {4875, 1080, 1470, 240}));
    stops->addButton(make.option(box, "north_stop", QStringLiteral("North-stop"), false, {4875, 1320, 1470, 240}));

    const QString offsetLabel = QStringLiteral("Offset (-70°..+70°)");
    QLineEdit* offset = make.entry(box, "offset_write", QStringLiteral("???"), {5280, 1920, 615, 270}, offsetLabel);
    make.labelFor(offset, offsetLabel, 3360, 1860);
    make.unitFor(offset, QStringLiteral("°"), 6000, 255);

    QLineEdit* checkAngle = make.entry(box, "check_angle_write", QStringLiteral("2"), {5280, 2160, 615, 270},
                                       QStringLiteral("Check angle"));
    make.labelFor(checkAngle, QStringLiteral("Check angle"), 3360, 1860);
    make.unitFor(checkAngle, QStringLiteral("°"), 6000, 255);
}

// The calibration button, the firmware version button and its field, right of the set panel.
void buildTopRight(ControlBuilder& make, QWidget* window)
{
    make.button(window, "calib", QStringLiteral("-Calibration- open form ..."), colours::yellow,
                {6600, 120, 1095, 495});
    make.button(window, "command_v", QStringLiteral("Firmware Version"), colours::commandVersion,
                {6600, 1560, 1095, 495});
    make.entry(window, "firm_version", QStringLiteral("???.??"), {6600, 2160, 1095, 345},
               QStringLiteral("Firmware version"));
}

// "PARAMETERS READ": two columns of read-only fields, each with its label, and "cmd L".
void buildReadPanel(ControlBuilder& make, QWidget* window)
{
    QGroupBox* box = make.panel(window, "info_read", QStringLiteral("PARAMETERS READ"), {120, 2640, 4935, 3015});

    struct Field {
        const char* name;
        const char* text;
        const char* label;
    };
    const Field left[] = {
        {"read_pwm_period", "???", "PWM:period"},     {"read_pwm_max_duty", "???", "PWM:max.duty"},
        {"read_pwm_min_duty", "???", "PWM:min.duty"}, {"read_ramp", "???", "PWM:ramp"},
        {"read_lower_limit", "???", "Lower Limit"},   {"read_upper_limit", "???", "Upper Limit"},
        {"read_inv_delay", "???", "Rev. Delay"},      {"read_pres_delay", "???", "Preset Delay"},
        {"read_rot_timeout", "???", "Rot. Timeout"},  {"mode_msg", "??????????", "Mode"},
    };
    const Field right[] = {
        {"dipsw", "???????", "DIP-SW"},    {"offset_read", "???", "Offset"},    {"optimize_msg", "???", "Optimize"},
        {"pwm_msg", "???", "PWM is"},      {"curr_pos", "???", "Position"},     {"cbox_status", "???", "CBOX is"},
        {"cal_fact", "?????", "Cal.Fact"}, {"mot_check_msg", "???", "Rot.Chk"}, {"check_angle", "???", "Chk Angle"},
    };
    constexpr int firstRow = 270;
    constexpr int rowPitch = 255;

    // Column: label left, label width, field left, field width.
    const auto column = [&](const auto& fields, int labelLeft, int labelWidth, int fieldLeft, int fieldWidth) {
        int top = firstRow;
        for (const Field& f : fields) {
            QLineEdit* field = make.readOnlyField(box, f.name, QString::fromUtf8(f.text),
                                                  {fieldLeft, top, fieldWidth, 255}, QString::fromUtf8(f.label));
            make.labelFor(field, QString::fromUtf8(f.label), labelLeft, labelWidth);
            top += rowPitch;
        }
    };
    column(left, 120, 1380, 1560, 1110);
    column(right, 2790, 930, 3765, 1080);

    QLineEdit* dipsw = box->findChild<QLineEdit*>(QStringLiteral("dipsw"));
    colours::paintText(dipsw, colours::invalidRed);
    colours::paintText(box->findChild<QLabel*>(QStringLiteral("label_dipsw")), colours::invalidRed);

    make.button(box, "read_info", QStringLiteral("cmd L"), colours::green,
                {2790, firstRow + 9 * rowPitch + 60, 2055, 330});
}

// "GOTO": the target angle with its degree sign, the reply field and the two stops.
void buildGotoPanel(ControlBuilder& make, QWidget* window)
{
    QGroupBox* box = make.panel(window, "go_to", QStringLiteral("GOTO"), {5280, 2640, 2415, 3015});

    make.button(box, "execute", QStringLiteral("Execute"), colours::green, {240, 330, 1935, 495});
    QLineEdit* angle =
        make.entry(box, "go_to_angle", QStringLiteral("?"), {240, 960, 1575, 345}, QStringLiteral("Go to angle"));
    make.label(box, QStringLiteral("Label1"), QStringLiteral("°"), {1875, 960, 300, 345});
    angle->setAccessibleDescription(QStringLiteral("°"));
    make.readOnlyField(box, "goto_replay", QStringLiteral("????????"), {240, 1440, 1935, 345},
                       QStringLiteral("GOTO reply"));
    make.button(box, "fast_stop", QStringLiteral("STOP!"), colours::stopOrange, {240, 1920, 1935, 435});
    make.button(box, "soft_stop", QStringLiteral("Soft STOP"), colours::stopOrange, {240, 2460, 1935, 435});
}

// "COMMUNICATION MONITOR": its start button, the status fields and the listing of replies.
void buildMonitorPanel(ControlBuilder& make, QWidget* window)
{
    QGroupBox* box = make.panel(window, "Frame2", QStringLiteral("COMMUNICATION MONITOR"), {120, 5760, 6255, 2175});

    make.button(box, "cmd_monitor", QStringLiteral("START..."), colours::green, {120, 300, 1680, 435});
    QLineEdit* position =
        make.readOnlyField(box, "fast_pos", QStringLiteral("???"), {900, 855, 900, 285}, QStringLiteral("Position"));
    make.labelFor(position, QStringLiteral("Position"), 120, 750);
    QLineEdit* status =
        make.readOnlyField(box, "fast_status", QStringLiteral("???"), {900, 1200, 900, 285}, QStringLiteral("CBOX is"));
    make.labelFor(status, QStringLiteral("CBOX is"), 120, 750);
    make.button(box, "clr_reply", QStringLiteral("CLR REPLIES"), colours::clearReplies, {120, 1620, 1680, 435});

    // Read-only, yet reachable and readable from the keyboard; Tab moves on rather than being typed.
    auto* replies =
        make.adopt(new QPlainTextEdit(box), "cbox_reply_text", QStringLiteral("CBOX replies"), {1980, 540, 4155, 1515});
    replies->setReadOnly(true);
    replies->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    replies->setFocusPolicy(Qt::StrongFocus);
    replies->setLineWrapMode(QPlainTextEdit::NoWrap);
    replies->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    replies->setTabChangesFocus(true);
    make.label(box, QStringLiteral("label_cbox_reply_text"), QStringLiteral("CBOX replies"), {1980, 270, 2000, 240},
               replies);
}

// "COM PORT": the four port options, then the three command buttons under it.
void buildPortPanelAndCommands(ControlBuilder& make, QWidget* window)
{
    QGroupBox* box = make.panel(window, "COM", QStringLiteral("COM PORT"), {6480, 5880, 1215, 855});
    make.option(box, "COM1", QStringLiteral("1"), true, {120, 270, 495, 255});
    make.option(box, "COM2", QStringLiteral("2"), false, {645, 270, 495, 255});
    make.option(box, "COM3", QStringLiteral("3"), false, {120, 540, 495, 255});
    make.option(box, "COM4", QStringLiteral("4"), false, {645, 540, 495, 255});

    // Each command button ends where the next begins (the tables make them overlap by 15 twips).
    make.button(window, "command_s", QStringLiteral("cmd S"), colours::commandS, {6480, 6840, 1215, 360});
    make.button(window, "command_c", QStringLiteral("cmd M"), colours::commandM, {6480, 7200, 1215, 360});
    make.button(window, "command_qm", QStringLiteral("cmd ?"), colours::commandQuery, {6480, 7560, 1215, 375});
}

}  // namespace

void buildMainWindowControls(QWidget* window, const QRect& available)
{
    window->setObjectName(QStringLiteral("rotor"));
    window->setWindowTitle(mainTitle);
    window->setProperty(scaleProperty, twipScale(window, 7845, 7950, available));
    window->setFixedSize(twips(window, 7845), twips(window, 7950));

    // Made panel by panel, top band to bottom band, which is also the Tab order.
    ControlBuilder make(window);
    buildSetPanel(make, window);
    buildTopRight(make, window);
    buildReadPanel(make, window);
    buildGotoPanel(make, window);
    buildMonitorPanel(make, window);
    buildPortPanelAndCommands(make, window);
    make.applyTabOrder();
}

void buildCalibrationControls(QWidget* window, const QRect& available)
{
    window->setObjectName(QStringLiteral("CALIBRATION"));
    window->setWindowTitle(calibrationCaption);
    window->setProperty(scaleProperty, twipScale(window, 4575, 2850, available));
    window->setFixedSize(twips(window, 4575), twips(window, 2850));

    QFont buttonFont(QStringLiteral("Arial"));
    buttonFont.setPointSizeF(9.75);
    buttonFont.setBold(true);
    QFont entryFont = buttonFont;
    entryFont.setPointSizeF(24);
    QFont degreeFont = buttonFont;
    degreeFont.setPointSizeF(18);

    const QColor lightYellow{255, 255, 192};
    const QColor lightBlue{192, 192, 255};
    const QColor paleGreen{192, 255, 192};

    ControlBuilder make(window);
    make.button(window, "calib_def", QStringLiteral("-Calibration- default (c)"), lightYellow, {720, 240, 1455, 615})
        ->setFont(buttonFont);
    make.button(window, "calib360", QStringLiteral("-Calibration- 360° (C)"), colours::yellow, {2280, 240, 1335, 615})
        ->setFont(buttonFont);
    make.button(window, "calib", QStringLiteral("-Calibration- any angle (K)"), lightBlue, {720, 1080, 1455, 615})
        ->setFont(buttonFont);
    QLineEdit* angle = make.entry(window, "calib_angle", QStringLiteral("90"), {2280, 1080, 1215, 600},
                                  QStringLiteral("Calibration angle"));
    angle->setFont(entryFont);
    colours::paintBackground(angle, lightBlue);
    angle->setAccessibleDescription(QStringLiteral("°"));
    QLabel* degree = make.label(window, QStringLiteral("Label1"), QStringLiteral("°"), {3495, 1080, 255, 360});
    degree->setFont(degreeFont);
    degree->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    make.button(window, "write_factor", QStringLiteral("-Calibration- calib factor set (F)"), paleGreen,
                {720, 1920, 1455, 855})
        ->setFont(buttonFont);
    QLineEdit* factor = make.entry(window, "cal_factor", QStringLiteral("?"), {2280, 2040, 1695, 600},
                                   QStringLiteral("Calibration factor"));
    factor->setFont(entryFont);
    colours::paintBackground(factor, paleGreen);
    make.applyTabOrder();
}

QSize roomBelowTitle(const QWidget* window, const QRect& available)
{
    QRect area = available;
    if (area.isEmpty())
        if (const QScreen* screen = window->screen())
            area = screen->availableGeometry();
    return area.isEmpty() ? QSize() : QSize(area.width(), area.height() - frameAllowance(window, 1));
}

QScrollArea* fitFormToScreen(QMainWindow* window, const QRect& available)
{
    QWidget* form = window->centralWidget();
    const QSize room = roomBelowTitle(window, available);
    if (!form || room.isEmpty())
        return nullptr;
    // The bars above and below the form (not shown yet, so the layout does not count them).
    const int menu = window->menuWidget() ? window->menuWidget()->sizeHint().height() : 0;
    const auto* status = window->findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly);
    const int bars = menu + (status ? status->sizeHint().height() : 0);
    // The form fits as twipScale fits it: under a menu bar taken to be one text line high, with
    // any other bar below it.
    const int line = frameAllowance(window, 2) - frameAllowance(window, 1);
    if (form->width() <= room.width() && form->height() + bars - menu + line <= room.height())
        return nullptr;

    window->takeCentralWidget();
    auto* scroll = new QScrollArea;
    scroll->setObjectName(QStringLiteral("form_scroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(form);  // at its own size: the panels keep their places
    window->setCentralWidget(scroll);
    window->layout()->setSizeConstraint(QLayout::SetDefaultConstraint);

    // As much of the form as there is room for, with the scroll bars that then take room too.
    const int bar = scroll->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll);
    const QSize whole(form->width(), form->height() + bars);
    const bool across = whole.height() > room.height();
    const int width = std::min(whole.width() + (across ? bar : 0), room.width());
    const bool along = width - (across ? bar : 0) < whole.width();
    const int height = std::min(whole.height() + (along ? bar : 0), room.height());
    window->setMinimumSize(std::min(width, 8 * bar), std::min(height, bars + 8 * bar));
    window->setMaximumSize(whole + QSize(bar, bar));
    window->resize(width, height);
    return scroll;
}

QIcon rotorIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/rotor-%1.png").arg(size), QSize(size, size));
    return icon;
}
