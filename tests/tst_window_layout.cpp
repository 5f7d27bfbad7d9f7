// SPDX-License-Identifier: GPL-3.0-or-later
// The controls of the two windows: names, kinds, texts, colours, panels, geometry, accessible
// names and keyboard order, as a freshly built window shows them.

#include "ui/colours.h"
#include "ui/window_layout.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QtTest>

#include <memory>

namespace {

const QColor notPainted;  // expected colour left to the platform palette

QRect twipsRect(const QWidget* widget, int left, int top, int width, int height)
{
    const int x = twips(widget, left);
    const int y = twips(widget, top);
    return {x, y, twips(widget, left + width) - x, twips(widget, top + height) - y};
}

}  // namespace

class WindowLayoutTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void twipsConvertsAt96Dpi_data();
    void twipsConvertsAt96Dpi();
    void windowsHaveNameTitleAndSize_data();
    void windowsHaveNameTitleAndSize();
    void windowHoldsTheWholeFieldSet_data();
    void windowHoldsTheWholeFieldSet();
    void panelsAreTitledGroupBoxesHoldingTheirControls_data();
    void panelsAreTitledGroupBoxesHoldingTheirControls();
    void buttonsHaveCaptionAndColour_data();
    void buttonsHaveCaptionAndColour();
    void textFieldsHaveTextStateColourAndName_data();
    void textFieldsHaveTextStateColourAndName();
    void labelsNameTheirFields_data();
    void labelsNameTheirFields();
    void unboundLabels_data();
    void unboundLabels();
    void checkBoxesAndOptionsStartAsDefaults_data();
    void checkBoxesAndOptionsStartAsDefaults();
    void portOptionsExcludeOneAnotherOnly();
    void stopOptionsExcludeEachOtherOnly();
    void replyListingScrollsAndDoesNotWrap();
    void controlsStandWhereTheTablesPutThem_data();
    void controlsStandWhereTheTablesPutThem();
    void calibrationFontsAreBoldArial_data();
    void calibrationFontsAreBoldArial();
    void everyTextFieldHasAnAccessibleName_data();
    void everyTextFieldHasAnAccessibleName();
    void captionsFitTheirControls_data();
    void captionsFitTheirControls();
    void captionsFitAtEveryDesktopFontSize_data();
    void captionsFitAtEveryDesktopFontSize();
    void windowNeverOutgrowsTheScreen();
    void everyControlCanBeReachedOnASmallScreen_data();
    void everyControlCanBeReachedOnASmallScreen();
    void nothingCoversALabelOrButton_data();
    void nothingCoversALabelOrButton();
    void tabGoesPanelByPanel_data();
    void tabGoesPanelByPanel();

private:
    QWidget* window(const QString& name) const
    {
        return name == QLatin1String("rotor") ? main_.get() : calibration_.get();
    }
    template <typename T> T* control(const QString& windowName, const QString& name) const
    {
        return window(windowName)->findChild<T*>(name);
    }
    void addWindowRows();

    std::unique_ptr<QWidget> main_;
    std::unique_ptr<QWidget> calibration_;
};

void WindowLayoutTest::initTestCase()
{
    main_ = std::make_unique<QWidget>();
    buildMainWindowControls(main_.get());
    calibration_ = std::make_unique<QWidget>();
    buildCalibrationControls(calibration_.get());
}

void WindowLayoutTest::addWindowRows()
{
    QTest::addColumn<QString>("windowName");
    QTest::newRow("rotor") << QStringLiteral("rotor");
    QTest::newRow("CALIBRATION") << QStringLiteral("CALIBRATION");
}

void WindowLayoutTest::twipsConvertsAt96Dpi_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("pixels");
    QTest::newRow("zero") << 0 << 0;
    QTest::newRow("one pixel") << 15 << 1;
    QTest::newRow("just under half a pixel rounds down") << 7 << 0;
    QTest::newRow("just over half a pixel rounds up") << 8 << 1;
    QTest::newRow("an inch") << 1440 << 96;
    QTest::newRow("main window width") << 7845 << 523;
    QTest::newRow("negative") << -15 << -1;
}

void WindowLayoutTest::twipsConvertsAt96Dpi()
{
    QFETCH(int, value);
    QFETCH(int, pixels);
    // A widget of no built window: the dpi alone.
    QWidget plain;
    if (plain.logicalDpiX() != 96)
        QSKIP("the screen's logical dpi is not 96");
    QCOMPARE(twips(&plain, value), pixels);
}

void WindowLayoutTest::windowsHaveNameTitleAndSize_data()
{
    QTest::addColumn<QString>("windowName");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("main") << "rotor" << QString("ORBANIQ" + QString(23, u' ') + "CONTROL BOX SETTINGS - V3.22") << 7845
                          << 7950;
    QTest::newRow("calibration") << "CALIBRATION"
                                 << "ORBANIQ  -  CALIBRATION FORM  - V3.21" << 4575 << 2850;
}

void WindowLayoutTest::windowsHaveNameTitleAndSize()
{
    QFETCH(QString, windowName);
    QFETCH(QString, title);
    QFETCH(int, width);
    QFETCH(int, height);
    QWidget* w = window(windowName);
    QCOMPARE(w->objectName(), windowName);
    QCOMPARE(w->windowTitle(), title);
    QCOMPARE(w->size(), QSize(twips(w, width), twips(w, height)));
}

void WindowLayoutTest::windowHoldsTheWholeFieldSet_data()
{
    QTest::addColumn<QString>("windowName");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("count");
    QTest::newRow("text fields") << "rotor"
                                 << "text field" << 36;
    QTest::newRow("buttons") << "rotor"
                             << "button" << 13;
    QTest::newRow("options") << "rotor"
                             << "option" << 6;
    QTest::newRow("check boxes") << "rotor"
                                 << "check box" << 3;
    QTest::newRow("panels") << "rotor"
                            << "panel" << 5;
    QTest::newRow("fixed labels") << "rotor"
                                  << "label" << 45;
    QTest::newRow("calibration entries") << "CALIBRATION"
                                         << "text field" << 2;
    QTest::newRow("calibration buttons") << "CALIBRATION"
                                         << "button" << 4;
    QTest::newRow("calibration labels") << "CALIBRATION"
                                        << "label" << 1;
}

void WindowLayoutTest::windowHoldsTheWholeFieldSet()
{
    QFETCH(QString, windowName);
    QFETCH(QString, kind);
    QFETCH(int, count);
    QWidget* w = window(windowName);
    qsizetype found = 0;
    if (kind == "text field")
        found = w->findChildren<QLineEdit*>().size() + w->findChildren<QPlainTextEdit*>().size();
    else if (kind == "button")
        found = w->findChildren<QPushButton*>().size();
    else if (kind == "option")
        found = w->findChildren<QRadioButton*>().size();
    else if (kind == "check box")
        found = w->findChildren<QCheckBox*>().size();
    else if (kind == "panel")
        found = w->findChildren<QGroupBox*>().size();
    else if (kind == "label")
        found = w->findChildren<QLabel*>().size();
    QCOMPARE(found, count);
}

void WindowLayoutTest::panelsAreTitledGroupBoxesHoldingTheirControls_data()
{
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("members");
    QTest::newRow("set") << "Frame1"
                         << "PARAMETERS SET"
                         << QStringList{"pwm_period",  "pwm_max_duty", "pwm_min_duty",     "ramp",        "lower_limit",
                                        "upper_limit", "inv_delay",    "pres_delay",       "rot_timeout", "write_mode",
                                        "pwm_on",      "optimize",     "mot_check",        "set_default", "south_stop",
                                        "north_stop",  "offset_write", "check_angle_write"};
    QTest::newRow("read") << "info_read"
                          << "PARAMETERS READ"
                          << QStringList{"read_pwm_period",
                                         "read_pwm_max_duty",
                                         "read_pwm_min_duty",
                                         "read_ramp",
                                         "read_lower_limit",
                                         "read_upper_limit",
                                         "read_inv_delay",
                                         "read_pres_delay",
                                         "read_rot_timeout",
                                         "mode_msg",
                                         "dipsw",
                                         "label_dipsw",
                                         "offset_read",
                                         "optimize_msg",
                                         "pwm_msg",
                                         "curr_pos",
                                         "cbox_status",
                                         "cal_fact",
                                         "mot_check_msg",
                                         "check_angle",
                                         "read_info"};
    QTest::newRow("goto") << "go_to"
                          << "GOTO"
                          << QStringList{"execute", "go_to_angle", "Label1", "goto_replay", "fast_stop", "soft_stop"};
    QTest::newRow("monitor") << "Frame2"
                             << "COMMUNICATION MONITOR"
                             << QStringList{"cmd_monitor", "fast_pos", "fast_status", "clr_reply", "cbox_reply_text"};
    QTest::newRow("port") << "COM"
                          << "COM PORT" << QStringList{"COM1", "COM2", "COM3", "COM4"};
    // The controls loose on the window belong to no panel.
    QTest::newRow("window") << ""
                            << "" << QStringList{"calib",     "command_v",  "firm_version", "command_s",
                                                 "command_c", "command_qm", "Frame1",       "info_read",
                                                 "go_to",     "Frame2",     "COM"};
}

void WindowLayoutTest::panelsAreTitledGroupBoxesHoldingTheirControls()
{
    QFETCH(QString, panel);
    QFETCH(QString, title);
    QFETCH(QStringList, members);
    QWidget* parent = main_.get();
    if (!panel.isEmpty()) {
        auto* box = main_->findChild<QGroupBox*>(panel);
        QVERIFY2(box, qPrintable(panel));
        QCOMPARE(box->title(), title);
        parent = box;
    }
    for (const QString& name : members) {
        auto* child = parent->findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
        QVERIFY2(child, qPrintable(name + " is not directly in " + parent->objectName()));
    }
}

void WindowLayoutTest::buttonsHaveCaptionAndColour_data()
{
    QTest::addColumn<QString>("windowName");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("calib") << "rotor"
                           << "calib"
                           << "-Calibration- open form ..." << QColor(255, 255, 0);
    QTest::newRow("command_v") << "rotor"
                               << "command_v"
                               << "Firmware Version" << QColor(255, 224, 192);
    QTest::newRow("command_s") << "rotor"
                               << "command_s"
                               << "cmd S" << QColor(192, 192, 255);
    QTest::newRow("command_c") << "rotor"
                               << "command_c"
                               << "cmd M" << QColor(192, 255, 255);
    QTest::newRow("command_qm") << "rotor"
                                << "command_qm"
                                << "cmd ?" << QColor(255, 192, 255);
    QTest::newRow("cmd_monitor") << "rotor"
                                 << "cmd_monitor"
                                 << "START..." << QColor(0, 255, 0);
    QTest::newRow("clr_reply") << "rotor"
                               << "clr_reply"
                               << "CLR REPLIES" << QColor(255, 192, 192);
    QTest::newRow("execute") << "rotor"
                             << "execute"
                             << "Execute" << QColor(0, 255, 0);
    QTest::newRow("fast_stop") << "rotor"
                               << "fast_stop"
                               << "STOP!" << QColor(255, 192, 128);
    QTest::newRow("soft_stop") << "rotor"
                               << "soft_stop"
                               << "Soft STOP" << QColor(255, 192, 128);
    QTest::newRow("read_info") << "rotor"
                               << "read_info"
                               << "cmd L" << QColor(0, 255, 0);
    QTest::newRow("write_mode") << "rotor"
                                << "write_mode"
                                << "cmd W" << QColor(128, 255, 128);
    QTest::newRow("set_default") << "rotor"
                                 << "set_default"
                                 << "Set Default" << QColor(255, 128, 0);
    QTest::newRow("calib_def") << "CALIBRATION"
                               << "calib_def"
                               << "-Calibration- default (c)" << QColor(255, 255, 192);
    QTest::newRow("calib360") << "CALIBRATION"
                              << "calib360"
                              << "-Calibration- 360° (C)" << QColor(255, 255, 0);
    QTest::newRow("calibration calib") << "CALIBRATION"
                                       << "calib"
                                       << "-Calibration- any angle (K)" << QColor(192, 192, 255);
    QTest::newRow("write_factor") << "CALIBRATION"
                                  << "write_factor"
                                  << "-Calibration- calib factor set (F)" << QColor(192, 255, 192);
}

void WindowLayoutTest::buttonsHaveCaptionAndColour()
{
    QFETCH(QString, windowName);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QColor, colour);
    auto* button = control<QPushButton>(windowName, name);
    QVERIFY2(button, qPrintable(name));
    QCOMPARE(button->text(), caption);
    QVERIFY(button->isEnabled());
    QCOMPARE(colours::buttonColour(button), colour);
    QCOMPARE(button->accessibleName(), caption);
}

void WindowLayoutTest::textFieldsHaveTextStateColourAndName_data()
{
    QTest::addColumn<QString>("windowName");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("accessibleName");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QColor>("textColour");
    const QColor red(255, 0, 0);
    auto row = [](const char* name) -> QTestData& { return QTest::newRow(name) << "rotor" << name; };

    row("firm_version") << "???.??" << false << "Firmware version" << notPainted << notPainted;
    row("pwm_period") << "???" << false << "PWM:period" << notPainted << notPainted;
    row("pwm_max_duty") << "???" << false << "PWM:max.duty" << notPainted << notPainted;
    row("pwm_min_duty") << "???" << false << "PWM:min.duty" << notPainted << notPainted;
    row("ramp") << "???" << false << "PWM:ramp" << notPainted << notPainted;
    row("lower_limit") << "???" << false << "Lower Limit" << notPainted << notPainted;
    row("upper_limit") << "???" << false << "Upper Limit" << notPainted << notPainted;
    row("inv_delay") << "???" << false << "Rev. Delay" << notPainted << notPainted;
    row("pres_delay") << "???" << false << "Preset Delay" << notPainted << notPainted;
    row("rot_timeout") << "???" << false << "Rot. Timeout" << notPainted << notPainted;
    row("offset_write") << "???" << false << "Offset (-70°..+70°)" << notPainted << notPainted;
    row("check_angle_write") << "2" << false << "Check angle" << notPainted << notPainted;
    row("read_pwm_period") << "???" << true << "PWM:period" << notPainted << notPainted;
    row("read_pwm_max_duty") << "???" << true << "PWM:max.duty" << notPainted << notPainted;
    row("read_pwm_min_duty") << "???" << true << "PWM:min.duty" << notPainted << notPainted;
    row("read_ramp") << "???" << true << "PWM:ramp" << notPainted << notPainted;
    row("read_lower_limit") << "???" << true << "Lower Limit" << notPainted << notPainted;
    row("read_upper_limit") << "???" << true << "Upper Limit" << notPainted << notPainted;
    row("read_inv_delay") << "???" << true << "Rev. Delay" << notPainted << notPainted;
    row("read_pres_delay") << "???" << true << "Preset Delay" << notPainted << notPainted;
    row("read_rot_timeout") << "???" << true << "Rot. Timeout" << notPainted << notPainted;
    row("mode_msg") << "??????????" << true << "Mode" << notPainted << notPainted;
    row("dipsw") << "???????" << true << "DIP-SW" << notPainted << red;
    row("offset_read") << "???" << true << "Offset" << notPainted << notPainted;
    row("optimize_msg") << "???" << true << "Optimize" << notPainted << notPainted;
    row("pwm_msg") << "???" << true << "PWM is" << notPainted << notPainted;
    row("curr_pos") << "???" << true << "Position" << notPainted << notPainted;
    row("cbox_status") << "???" << true << "CBOX is" << notPainted << notPainted;
    row("cal_fact") << "?????" << true << "Cal.Fact" << notPainted << notPainted;
    row("mot_check_msg") << "???" << true << "Rot.Chk" << notPainted << notPainted;
    row("check_angle") << "???" << true << "Chk Angle" << notPainted << notPainted;
    row("go_to_angle") << "?" << false << "Go to angle" << notPainted << notPainted;
    row("goto_replay") << "????????" << true << "GOTO reply" << notPainted << notPainted;
    row("fast_pos") << "???" << true << "Position" << notPainted << notPainted;
    row("fast_status") << "???" << true << "CBOX is" << notPainted << notPainted;
    row("cbox_reply_text") << "" << true << "CBOX replies" << notPainted << notPainted;
    QTest::newRow("calib_angle") << "CALIBRATION"
                                 << "calib_angle"
                                 << "90" << false << "Calibration angle" << QColor(192, 192, 255) << notPainted;
    QTest::newRow("cal_factor") << "CALIBRATION"
                                << "cal_factor"
                                << "?" << false << "Calibration factor" << QColor(192, 255, 192) << notPainted;
}

void WindowLayoutTest::textFieldsHaveTextStateColourAndName()
{
    QFETCH(QString, windowName);
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(bool, readOnly);
    QFETCH(QString, accessibleName);
    QFETCH(QColor, background);
    QFETCH(QColor, textColour);

    QWidget* field = nullptr;
    if (auto* line = control<QLineEdit>(windowName, name)) {
        QCOMPARE(line->text(), text);
        QCOMPARE(line->isReadOnly(), readOnly);
        field = line;
    } else if (auto* box = control<QPlainTextEdit>(windowName, name)) {
        QCOMPARE(box->toPlainText(), text);
        QCOMPARE(box->isReadOnly(), readOnly);
        field = box;
    }
    QVERIFY2(field, qPrintable(name));
    QVERIFY(field->isEnabled());
    QCOMPARE(field->accessibleName(), accessibleName);
    QCOMPARE(colours::background(field), background.isValid() ? background : colours::window());
    QCOMPARE(colours::textColour(field), textColour.isValid() ? textColour : colours::windowText());
}

void WindowLayoutTest::labelsNameTheirFields_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("labelText");
    QTest::addColumn<QColor>("labelColour");
    // One row per panel and kind suffices here: every field's accessible name is checked above.
    QTest::newRow("set entry") << "pwm_max_duty"
                               << "PWM:max.duty" << notPainted;
    QTest::newRow("set entry, right part") << "offset_write"
                                           << "Offset (-70°..+70°)" << notPainted;
    QTest::newRow("read field") << "read_pwm_max_duty"
                                << "PWM:max.duty" << notPainted;
    QTest::newRow("DIP switch, red") << "dipsw"
                                     << "DIP-SW" << QColor(255, 0, 0);
    QTest::newRow("monitor field") << "fast_status"
                                   << "CBOX is" << notPainted;
    QTest::newRow("listing") << "cbox_reply_text"
                             << "CBOX replies" << notPainted;
}

void WindowLayoutTest::labelsNameTheirFields()
{
    QFETCH(QString, field);
    QFETCH(QString, labelText);
    QFETCH(QColor, labelColour);
    auto* target = main_->findChild<QWidget*>(field);
    QVERIFY(target);
    QLabel* label = nullptr;
    for (QLabel* candidate : main_->findChildren<QLabel*>())
        if (candidate->buddy() == target)
            label = candidate;
    QVERIFY2(label, "no label has the field as its buddy");
    QCOMPARE(label->text(), labelText);
    QCOMPARE(label->parentWidget(), target->parentWidget());
    QVERIFY2(label->geometry().right() < target->geometry().left()
                 || label->geometry().bottom() < target->geometry().top(),
             "the label stands left of its field or above it");
    QCOMPARE(colours::textColour(label), labelColour.isValid() ? labelColour : colours::windowText());
}

void WindowLayoutTest::unboundLabels_data()
{
    QTest::addColumn<QString>("windowName");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("panel");
    QTest::newRow("DIP switch label") << "rotor"
                                      << "label_dipsw"
                                      << "DIP-SW"
                                      << "info_read";
    QTest::newRow("GOTO degree sign") << "rotor"
                                      << "Label1"
                                      << "°"
                                      << "go_to";
    QTest::newRow("calibration degree sign") << "CALIBRATION"
                                             << "Label1"
                                             << "°"
                                             << "";
}

void WindowLayoutTest::unboundLabels()
{
    QFETCH(QString, windowName);
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, panel);
    QWidget* scope = panel.isEmpty() ? window(windowName) : window(windowName)->findChild<QGroupBox*>(panel);
    QVERIFY(scope);
    auto* label = scope->findChild<QLabel*>(name);
    QVERIFY2(label, qPrintable(name));
    QCOMPARE(label->text(), text);
}

void WindowLayoutTest::checkBoxesAndOptionsStartAsDefaults_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("checked");
    QTest::newRow("pwm_on") << "pwm_on"
                            << "PWM" << true;
    QTest::newRow("optimize") << "optimize"
                              << "OPTIMIZE" << true;
    QTest::newRow("mot_check") << "mot_check"
                               << "ROT CHECK" << false;
    QTest::newRow("south_stop") << "south_stop"
                                << "South-stop" << true;
    QTest::newRow("north_stop") << "north_stop"
                                << "North-stop" << false;
    QTest::newRow("COM1") << "COM1"
                          << "1" << true;
    QTest::newRow("COM2") << "COM2"
                          << "2" << false;
    QTest::newRow("COM3") << "COM3"
                          << "3" << false;
    QTest::newRow("COM4") << "COM4"
                          << "4" << false;
}

void WindowLayoutTest::checkBoxesAndOptionsStartAsDefaults()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(bool, checked);
    auto* button = main_->findChild<QAbstractButton*>(name);
    QVERIFY2(button, qPrintable(name));
    const bool rightKind = name.startsWith("COM") || name.endsWith("_stop") ? bool(qobject_cast<QRadioButton*>(button))
                                                                            : bool(qobject_cast<QCheckBox*>(button));
    QVERIFY(rightKind);
    QCOMPARE(button->text(), caption);
    QCOMPARE(button->isChecked(), checked);
    QVERIFY(button->isEnabled());
    QCOMPARE(button->accessibleName(), caption);
}

void WindowLayoutTest::portOptionsExcludeOneAnotherOnly()
{
    auto* box = main_->findChild<QGroupBox*>("COM");
    QVERIFY(box);
    const QList<QRadioButton*> ports = box->findChildren<QRadioButton*>();
    QCOMPARE(ports.size(), 4);
    auto* south = main_->findChild<QRadioButton*>("south_stop");
    for (QRadioButton* port : ports) {
        QTest::mouseClick(port, Qt::LeftButton);
        for (QRadioButton* other : ports)
            QCOMPARE(other->isChecked(), other == port);
        QVERIFY2(south->isChecked(), "a port option must not clear the stop option");
    }
    QTest::mouseClick(box->findChild<QRadioButton*>("COM1"), Qt::LeftButton);
}

void WindowLayoutTest::stopOptionsExcludeEachOtherOnly()
{
    auto* south = main_->findChild<QRadioButton*>("south_stop");
    auto* north = main_->findChild<QRadioButton*>("north_stop");
    auto* com1 = main_->findChild<QRadioButton*>("COM1");
    QVERIFY(south && north && com1);
    auto* group = main_->findChild<QButtonGroup*>("stop_options");
    QVERIFY(group);
    QCOMPARE(group->buttons().size(), 2);
    QVERIFY(group->exclusive());

    QTest::mouseClick(north, Qt::LeftButton);
    QVERIFY(north->isChecked());
    QVERIFY(!south->isChecked());
    QVERIFY2(com1->isChecked(), "a stop option must not clear the port option");
    QTest::mouseClick(south, Qt::LeftButton);
    QVERIFY(south->isChecked());
    QVERIFY(!north->isChecked());
    QVERIFY(com1->isChecked());
}

void WindowLayoutTest::replyListingScrollsAndDoesNotWrap()
{
    auto* listing = main_->findChild<QPlainTextEdit*>("cbox_reply_text");
    QVERIFY(listing);
    QCOMPARE(listing->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(listing->lineWrapMode(), QPlainTextEdit::NoWrap);
    QVERIFY2(listing->tabChangesFocus(), "Tab must leave the listing, not be swallowed by it");
}

void WindowLayoutTest::controlsStandWhereTheTablesPutThem_data()
{
    QTest::addColumn<QString>("windowName");
    QTest::addColumn<QString>("parentName");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("place");  // in twips
    QTest::newRow("Frame1") << "rotor"
                            << "rotor"
                            << "Frame1" << QRect(120, 0, 6375, 2535);
    QTest::newRow("calib") << "rotor"
                           << "rotor"
                           << "calib" << QRect(6600, 120, 1095, 495);
    QTest::newRow("command_v") << "rotor"
                               << "rotor"
                               << "command_v" << QRect(6600, 1560, 1095, 495);
    QTest::newRow("firm_version") << "rotor"
                                  << "rotor"
                                  << "firm_version" << QRect(6600, 2160, 1095, 345);
    QTest::newRow("info_read") << "rotor"
                               << "rotor"
                               << "info_read" << QRect(120, 2640, 4935, 3015);
    QTest::newRow("go_to") << "rotor"
                           << "rotor"
                           << "go_to" << QRect(5280, 2640, 2415, 3015);
    QTest::newRow("Frame2") << "rotor"
                            << "rotor"
                            << "Frame2" << QRect(120, 5760, 6255, 2175);
    QTest::newRow("COM") << "rotor"
                         << "rotor"
                         << "COM" << QRect(6480, 5880, 1215, 855);
    QTest::newRow("command_s") << "rotor"
                               << "rotor"
                               << "command_s" << QRect(6480, 6840, 1215, 360);
    QTest::newRow("command_c") << "rotor"
                               << "rotor"
                               << "command_c" << QRect(6480, 7200, 1215, 360);
    QTest::newRow("command_qm") << "rotor"
                                << "rotor"
                                << "command_qm" << QRect(6480, 7560, 1215, 375);
    QTest::newRow("pwm_period") << "rotor"
                                << "Frame1"
                                << "pwm_period" << QRect(1680, 240, 855, 285);
    QTest::newRow("pwm_min_duty") << "rotor"
                                  << "Frame1"
                                  << "pwm_min_duty" << QRect(1680, 720, 855, 270);
    QTest::newRow("rot_timeout") << "rotor"
                                 << "Frame1"
                                 << "rot_timeout" << QRect(1680, 2160, 855, 270);
    QTest::newRow("offset_write") << "rotor"
                                  << "Frame1"
                                  << "offset_write" << QRect(5280, 1920, 615, 270);
    QTest::newRow("check_angle_write") << "rotor"
                                       << "Frame1"
                                       << "check_angle_write" << QRect(5280, 2160, 615, 270);
    QTest::newRow("write_mode") << "rotor"
                                << "Frame1"
                                << "write_mode" << QRect(3360, 240, 1455, 735);
    QTest::newRow("set_default") << "rotor"
                                 << "Frame1"
                                 << "set_default" << QRect(3960, 1080, 855, 615);
    QTest::newRow("calib_def") << "CALIBRATION"
                               << "CALIBRATION"
                               << "calib_def" << QRect(720, 240, 1455, 615);
    QTest::newRow("calib360") << "CALIBRATION"
                              << "CALIBRATION"
                              << "calib360" << QRect(2280, 240, 1335, 615);
    QTest::newRow("calibration calib") << "CALIBRATION"
                                       << "CALIBRATION"
                                       << "calib" << QRect(720, 1080, 1455, 615);
    QTest::newRow("calib_angle") << "CALIBRATION"
                                 << "CALIBRATION"
                                 << "calib_angle" << QRect(2280, 1080, 1215, 600);
    QTest::newRow("write_factor") << "CALIBRATION"
                                  << "CALIBRATION"
                                  << "write_factor" << QRect(720, 1920, 1455, 855);
    QTest::newRow("cal_factor") << "CALIBRATION"
                                << "CALIBRATION"
                                << "cal_factor" << QRect(2280, 2040, 1695, 600);
}

void WindowLayoutTest::controlsStandWhereTheTablesPutThem()
{
    QFETCH(QString, windowName);
    QFETCH(QString, parentName);
    QFETCH(QString, name);
    QFETCH(QRect, place);
    QWidget* w = window(windowName);
    QWidget* parent = parentName == windowName ? w : w->findChild<QWidget*>(parentName);
    QVERIFY(parent);
    auto* child = parent->findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
    QVERIFY2(child, qPrintable(name));
    QCOMPARE(child->geometry(), twipsRect(w, place.x(), place.y(), place.width(), place.height()));
}

void WindowLayoutTest::calibrationFontsAreBoldArial_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<qreal>("points");
    QTest::newRow("calib_def") << "calib_def" << 9.75;
    QTest::newRow("calib360") << "calib360" << 9.75;
    QTest::newRow("calib") << "calib" << 9.75;
    QTest::newRow("write_factor") << "write_factor" << 9.75;
    QTest::newRow("calib_angle") << "calib_angle" << 24.0;
    QTest::newRow("cal_factor") << "cal_factor" << 24.0;
    QTest::newRow("Label1") << "Label1" << 18.0;
}

void WindowLayoutTest::calibrationFontsAreBoldArial()
{
    QFETCH(QString, name);
    QFETCH(qreal, points);
    auto* widget = calibration_->findChild<QWidget*>(name);
    QVERIFY2(widget, qPrintable(name));
    QCOMPARE(widget->font().family(), QStringLiteral("Arial"));
    QVERIFY(widget->font().bold());
    QCOMPARE(widget->font().pointSizeF(), points);
}

void WindowLayoutTest::everyTextFieldHasAnAccessibleName_data() { addWindowRows(); }

void WindowLayoutTest::everyTextFieldHasAnAccessibleName()
{
    QFETCH(QString, windowName);
    QList<QWidget*> fields;
    for (QLineEdit* field : window(windowName)->findChildren<QLineEdit*>())
        fields.append(field);
    for (QPlainTextEdit* field : window(windowName)->findChildren<QPlainTextEdit*>())
        fields.append(field);
    QVERIFY(!fields.isEmpty());
    for (QWidget* field : fields)
        QVERIFY2(!field->accessibleName().trimmed().isEmpty(), qPrintable(field->objectName()));
    for (QAbstractButton* button : window(windowName)->findChildren<QAbstractButton*>())
        QVERIFY2(!button->accessibleName().trimmed().isEmpty(), qPrintable(button->objectName()));
}

// Texts set in the application's default font (for the calibration window, its own fonts) must not
// be cut off by the size given to their control.
void WindowLayoutTest::captionsFitTheirControls_data() { addWindowRows(); }

void WindowLayoutTest::captionsFitTheirControls()
{
    QFETCH(QString, windowName);
    QList<QWidget*> captioned;
    for (QLabel* label : window(windowName)->findChildren<QLabel*>())
        captioned.append(label);
    for (QCheckBox* box : window(windowName)->findChildren<QCheckBox*>())
        captioned.append(box);
    for (QRadioButton* option : window(windowName)->findChildren<QRadioButton*>())
        captioned.append(option);
    for (QWidget* widget : captioned)
        QVERIFY2(widget->sizeHint().width() <= widget->width(), qPrintable(QStringLiteral("%1 needs %2 pixels, has %3")
                                                                               .arg(widget->objectName())
                                                                               .arg(widget->sizeHint().width())
                                                                               .arg(widget->width())));
}

namespace {

// The widths of the window and the calibration window in twips, and their builders.
struct Built {
    int widthTwips;
    int heightTwips;
    void (*build)(QWidget*, const QRect&);
};

Built builtFor(const QString& windowName)
{
    if (windowName == QLatin1String("rotor"))
        return {7845, 7950, &buildMainWindowControls};
    return {4575, 2850, &buildCalibrationControls};
}

// What a caption needs and what its control gives it; a push button's caption may wrap.
QString captionProblem(QWidget* widget)
{
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        const QRect area = buttonCaptionArea(button);
        const QRect needed =
            button->fontMetrics().boundingRect(area, Qt::AlignCenter | Qt::TextWordWrap, button->text());
        if (needed.width() > area.width() || needed.height() > area.height())
            return QStringLiteral("%1 needs %2x%3, has %4x%5")
                .arg(button->objectName())
                .arg(needed.width())
                .arg(needed.height())
                .arg(area.width())
                .arg(area.height());
        return {};
    }
    if (widget->sizeHint().width() > widget->width())
        return QStringLiteral("%1 needs %2 pixels, has %3")
            .arg(widget->objectName())
            .arg(widget->sizeHint().width())
            .arg(widget->width());
    return {};
}

}  // namespace

// The window grows with the desktop's font, so that every caption fits its control unshrunk; at
// 8 pt it keeps the drawn size.
void WindowLayoutTest::captionsFitAtEveryDesktopFontSize_data()
{
    QTest::addColumn<QString>("windowName");
    QTest::addColumn<qreal>("points");
    for (const char* name : {"rotor", "CALIBRATION"})
        for (qreal points : {8.0, 11.0, 14.0})
            QTest::addRow("%s at %g pt", name, points) << QString::fromLatin1(name) << points;
}

void WindowLayoutTest::captionsFitAtEveryDesktopFontSize()
{
    QFETCH(QString, windowName);
    QFETCH(qreal, points);
    QWidget window;
    QFont font = window.font();
    font.setPointSizeF(points);
    window.setFont(font);
    const Built built = builtFor(windowName);
    built.build(&window, QRect(0, 0, 4000, 4000));
    QWidget plain;
    if (points <= 8.0)
        QCOMPARE(window.size(), QSize(twips(&plain, built.widthTwips), twips(&plain, built.heightTwips)));
    QStringList problems;
    for (QWidget* w : window.findChildren<QWidget*>())
        if (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w))
            if (const QString problem = captionProblem(w); !problem.isEmpty())
                problems << problem;
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));
}

// On a screen too small for the desktop's font the largest scale that fits is used.
void WindowLayoutTest::windowNeverOutgrowsTheScreen()
{
    QWidget window;
    QFont font = window.font();
    font.setPointSizeF(14);
    window.setFont(font);
    const QRect screen(0, 0, 800, 700);
    buildMainWindowControls(&window, screen);
    QVERIFY(window.width() <= screen.width());
    QVERIFY(window.height() < screen.height());
    QVERIFY(window.height() > twips(&window, 0) + 600);
}

// A screen smaller than the window at its drawn size (1366x768 at a scale of 1.5 leaves 910x512):
// the form scrolls inside a window that fits, and every control can be scrolled into view. On a
// screen with room the form stays the window's own, at its exact size.
void WindowLayoutTest::everyControlCanBeReachedOnASmallScreen_data()
{
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<qreal>("points");  // the desktop's font; 0: the default
    QTest::addColumn<bool>("scrolls");
    QTest::newRow("1366x768 at 1.5") << QRect(0, 0, 910, 512) << 0.0 << true;
    QTest::newRow("narrow and low") << QRect(0, 0, 400, 400) << 0.0 << true;
    QTest::newRow("room enough") << QRect(0, 0, 1280, 1024) << 0.0 << false;
    QTest::newRow("large font, grown as far as the screen lets it") << QRect(0, 0, 800, 700) << 14.0 << false;
}

void WindowLayoutTest::everyControlCanBeReachedOnASmallScreen()
{
    QFETCH(QRect, screen);
    QFETCH(qreal, points);
    QFETCH(bool, scrolls);
    QMainWindow window;
    if (points > 0) {
        QFont font = window.font();
        font.setPointSizeF(points);
        window.setFont(font);
    }
    auto* form = new QWidget;
    form->setFont(window.font());
    buildMainWindowControls(form, screen);
    const QSize drawn = form->size();
    window.setCentralWidget(form);
    window.menuBar()->addMenu(QStringLiteral("&File"));
    window.layout()->setSizeConstraint(QLayout::SetFixedSize);

    QScrollArea* scroll = fitFormToScreen(&window, screen);

    QCOMPARE(scroll != nullptr, scrolls);
    QCOMPARE(form->size(), drawn);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    if (!scroll) {
        QCOMPARE(window.centralWidget(), form);
        return;
    }
    QCOMPARE(window.centralWidget(), scroll);
    QCOMPARE(scroll->widget(), form);
    QVERIFY2(window.width() <= screen.width() && window.height() < screen.height(),
             qPrintable(QStringLiteral("%1x%2").arg(window.width()).arg(window.height())));
    QStringList unreachable;
    for (QWidget* control : form->findChildren<QWidget*>()) {
        if (!(control->focusPolicy() & Qt::TabFocus) || control->objectName().isEmpty()
            || control->objectName().startsWith(QLatin1String("qt_")))
            continue;
        // As when the control takes the focus: a button comes into view whole, an entry with its
        // cursor.
        scroll->ensureWidgetVisible(control, 0, 0);
        const QRect shown(control->mapTo(scroll->viewport(), QPoint(0, 0)), control->size());
        const QRect view = scroll->viewport()->rect();
        if (qobject_cast<QAbstractButton*>(control) ? !view.contains(shown) : !view.intersects(shown))
            unreachable << control->objectName();
    }
    QVERIFY2(unreachable.isEmpty(), qPrintable(unreachable.join(QStringLiteral(", "))));
    QVERIFY(form->findChild<QWidget*>(QStringLiteral("command_qm")));
}

// Entries may share a border line, but no control may lie over a label or a button.
void WindowLayoutTest::nothingCoversALabelOrButton_data() { addWindowRows(); }

void WindowLayoutTest::nothingCoversALabelOrButton()
{
    QFETCH(QString, windowName);
    QList<QWidget*> containers{window(windowName)};
    for (QGroupBox* box : window(windowName)->findChildren<QGroupBox*>())
        containers.append(box);
    for (QWidget* container : containers) {
        const QList<QWidget*> children = container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (QWidget* a : children) {
            if (!qobject_cast<QLabel*>(a) && !qobject_cast<QAbstractButton*>(a))
                continue;
            QVERIFY2(container->rect().contains(a->geometry()),
                     qPrintable(a->objectName() + " reaches out of " + container->objectName()));
            for (QWidget* b : children)
                QVERIFY2(a == b || !a->geometry().intersects(b->geometry()),
                         qPrintable(a->objectName() + " overlaps " + b->objectName()));
        }
    }
}

void WindowLayoutTest::tabGoesPanelByPanel_data()
{
    QTest::addColumn<QString>("windowName");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("main") << "rotor"
                          << QStringList{// PARAMETERS SET: the entries column, then the right part top to bottom
                                         "pwm_period", "pwm_max_duty", "pwm_min_duty", "ramp", "lower_limit",
                                         "upper_limit", "inv_delay", "pres_delay", "rot_timeout", "write_mode",
                                         "pwm_on", "optimize", "mot_check", "set_default", "south_stop", "north_stop",
                                         "offset_write", "check_angle_write",
                                         // right of it
                                         "calib", "command_v", "firm_version",
                                         // PARAMETERS READ: left column, right column, then its button
                                         "read_pwm_period", "read_pwm_max_duty", "read_pwm_min_duty", "read_ramp",
                                         "read_lower_limit", "read_upper_limit", "read_inv_delay", "read_pres_delay",
                                         "read_rot_timeout", "mode_msg", "dipsw", "offset_read", "optimize_msg",
                                         "pwm_msg", "curr_pos", "cbox_status", "cal_fact", "mot_check_msg",
                                         "check_angle", "read_info",
                                         // GOTO
                                         "execute", "go_to_angle", "goto_replay", "fast_stop", "soft_stop",
                                         // COMMUNICATION MONITOR
                                         "cmd_monitor", "fast_pos", "fast_status", "clr_reply", "cbox_reply_text",
                                         // COM PORT and the commands under it
                                         "COM1", "COM2", "COM3", "COM4", "command_s", "command_c", "command_qm"};
    QTest::newRow("calibration") << "CALIBRATION" << QStringList{"calib_def",   "calib360",     "calib",
                                                                 "calib_angle", "write_factor", "cal_factor"};
}

void WindowLayoutTest::tabGoesPanelByPanel()
{
    QFETCH(QString, windowName);
    QFETCH(QStringList, order);
    QWidget* w = window(windowName);
    QStringList chain;
    for (QWidget* next = w->nextInFocusChain(); next && next != w; next = next->nextInFocusChain())
        if ((next->focusPolicy() & Qt::TabFocus) && next->parentWidget() && !next->objectName().isEmpty()
            && !next->objectName().startsWith("qt_"))
            chain.append(next->objectName());
    QCOMPARE(chain, order);
}

QTEST_MAIN(WindowLayoutTest)
#include "tst_window_layout.moc"
