// SPDX-License-Identifier: GPL-3.0-or-later
// The character and numeric readers on any line. The first byte chooses the readers, two bits a
// call; the rest of the input is what arrives on the line.
#include "fuzz/fuzz_port.h"
#include "fuzz/fuzz_support.h"
#include "serial/serial_link.h"
#include "storage/settings_file.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    fuzzApplication();
    FuzzPort port(QByteArray(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1)));
    SilentMessages messages;
    SettingsFile settings;
    SerialLink link(port, settings, messages, fuzzReplyPeriodMs);
    port.open(link.choice());
    unsigned choice = data[0];
    for (int call = 0; call < 16; ++call, choice = (choice >> 2) | (choice << 6 & 0xC0)) {
        QString result;
        switch (choice & 3) {
        case 0: result = link.GET_CHAR(); break;
        case 1: result = link.GET_NUM05(); break;
        case 2: result = link.GET_NUM05NT(); break;
        case 3: result = link.GET_NUM03S(); break;
        }
        // Every reader leaves the timer disarmed; the numeric ones leave the flag low.
        // (Each minus sign inside a signed field takes one character more: at most 12.)
        if (link.timerArmed() || ((choice & 3) != 0 && link.timedOut()) || result.size() > 12)
            __builtin_trap();
        link.lowerTimeoutFlag();
    }
    return 0;
}
