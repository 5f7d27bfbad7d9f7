// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The controls the commands and the windows' behaviour touch, by a typed identifier. Each
// identifier is spelt as the control's object name, and this list is the one place that ties
// the two together: a name the window does not have fails when the window is built.

#include <QString>
#include <QStringView>

#include <optional>

// The controls of the main window `rotor`.
// clang-format off
#define ROTOR_MAIN_WINDOW_FIELDS(X)                                                                                \
    /* command buttons */                                                                                          \
    X(write_mode) X(read_info) X(execute) X(cmd_monitor) X(fast_stop) X(soft_stop) X(command_s) X(command_c)       \
    X(command_v) X(command_qm) X(set_default) X(clr_reply) X(calib)                                                \
    /* the port panel and its options */                                                                           \
    X(COM) X(COM1) X(COM2) X(COM3) X(COM4)                                                                         \
    /* go to, status, version and the monitor's listing */                                                         \
    X(go_to_angle) X(goto_replay) X(fast_pos) X(fast_status) X(firm_version) X(cbox_reply_text)                    \
    /* PARAMETERS READ */                                                                                          \
    X(curr_pos) X(cbox_status) X(mode_msg) X(read_lower_limit) X(read_upper_limit) X(read_inv_delay) X(pwm_msg)    \
    X(read_pwm_period) X(read_pwm_max_duty) X(read_ramp) X(read_pwm_min_duty) X(optimize_msg) X(read_pres_delay)  \
    X(offset_read) X(mot_check_msg) X(check_angle) X(read_rot_timeout) X(dipsw) X(label_dipsw) X(cal_fact)         \
    /* PARAMETERS SET */                                                                                           \
    X(offset_write) X(pwm_period) X(pwm_max_duty) X(pwm_min_duty) X(ramp) X(lower_limit) X(upper_limit)           \
    X(inv_delay) X(pres_delay) X(rot_timeout) X(check_angle_write) X(pwm_on) X(optimize) X(mot_check)             \
    X(north_stop) X(south_stop)
// clang-format on

// The entries of the window `CALIBRATION`.
#define ROTOR_CALIBRATION_FIELDS(X) X(cal_factor) X(calib_angle)

enum class Field {
#define ROTOR_FIELD_ENUM(name) name,
    ROTOR_MAIN_WINDOW_FIELDS(ROTOR_FIELD_ENUM) ROTOR_CALIBRATION_FIELDS(ROTOR_FIELD_ENUM)
#undef ROTOR_FIELD_ENUM
};

constexpr int fieldCount = 0
#define ROTOR_FIELD_COUNT(name) +1
    ROTOR_MAIN_WINDOW_FIELDS(ROTOR_FIELD_COUNT) ROTOR_CALIBRATION_FIELDS(ROTOR_FIELD_COUNT);
#undef ROTOR_FIELD_COUNT

// The object name of the control.
QString fieldName(Field field);
// True for the controls of the window `CALIBRATION`, false for those of the main window.
bool onCalibrationWindow(Field field);
// The option of port `n` (1 to 4).
Field portOption(int n);
// The field whose control has the object name `name`, if any.
std::optional<Field> fieldNamed(const QString& name);
