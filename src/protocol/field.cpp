// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/field.h"

#include <array>

namespace {

constexpr std::array<const char*, fieldCount> names = {
#define ROTOR_FIELD_NAME(name) #name,
    ROTOR_MAIN_WINDOW_FIELDS(ROTOR_FIELD_NAME) ROTOR_CALIBRATION_FIELDS(ROTOR_FIELD_NAME)
#undef ROTOR_FIELD_NAME
};

constexpr int mainWindowFieldCount = 0
#define ROTOR_FIELD_COUNT(name) +1
    ROTOR_MAIN_WINDOW_FIELDS(ROTOR_FIELD_COUNT);
#undef ROTOR_FIELD_COUNT

}  // namespace

QString fieldName(Field field) { return QLatin1String(names.at(static_cast<std::size_t>(field))); }

bool onCalibrationWindow(Field field) { return static_cast<int>(field) >= mainWindowFieldCount; }

Field portOption(int n) { return static_cast<Field>(static_cast<int>(Field::COM1) + n - 1); }

std::optional<Field> fieldNamed(const QString& name)
{
    for (std::size_t i = 0; i < names.size(); ++i)
        if (name == QLatin1String(names[i]))
            return static_cast<Field>(i);
    return std::nullopt;
}
