// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter read, the exchange the program runs on "cmd L", with any reply on the line.
#include "fuzz/fuzz_port.h"
#include "fuzz/fuzz_support.h"
#include "protocol/commands.h"
#include "protocol/exchange_lock.h"
#include "serial/serial_link.h"
#include "storage/settings_file.h"
#include "protocol/field_map_view.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzApplication();
    // Most inputs begin with the envelope, so that the fuzzer spends its time in the block.
    QByteArray reply(reinterpret_cast<const char*>(data), qsizetype(size));
    if (size > 0 && data[0] & 1)
        reply.prepend("\x02"
                      "A,L,");
    FuzzPort port(reply);
    SilentMessages messages;
    SettingsFile settings;
    SerialLink link(port, settings, messages, fuzzReplyPeriodMs);
    FieldMapView view;
    ExchangeLock lock(link);
    Commands commands(link, view, lock);
    if (size > 1 && (data[1] & 1))
        commands.CMD_READ_PARAMS_FILLING_PANEL();
    else
        commands.CMD_READ_PARAMS();
    if (port.isOpen() || link.timerArmed())
        __builtin_trap();
    // Field texts are shown as they came; what the read computes is always a number.
    for (Field computed :
         {Field::read_inv_delay, Field::read_pres_delay, Field::read_rot_timeout, Field::read_pwm_period,
          Field::read_pwm_max_duty, Field::read_pwm_min_duty, Field::inv_delay, Field::pres_delay, Field::rot_timeout,
          Field::pwm_period, Field::pwm_max_duty, Field::pwm_min_duty}) {
        const QString text = view.texts.value(computed);
        if (text.contains(QLatin1String("nan"), Qt::CaseInsensitive)
            || text.contains(QLatin1String("inf"), Qt::CaseInsensitive))
            __builtin_trap();
    }
    return 0;
}
