// SPDX-License-Identifier: GPL-3.0-or-later
// The settings-file reader on any contents.
#include "storage/settings_file.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto number = parsePortNumber(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (number && (*number < -32768 || *number > 32767))
        __builtin_trap();
    return 0;
}
