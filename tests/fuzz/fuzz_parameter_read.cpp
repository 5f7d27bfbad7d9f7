// The parameter read, the exchange the program runs on "cmd L", with any reply on the line.
#include "fuzz/fuzz_port.h"
#include "fuzz/fuzz_support.h"
#include "protocol/commands.h"
#include "serial/serial_link.h"
#include "support/field_map_view.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzApplication();
    // Most inputs begin with the envelope, so that the fuzzer spends its time in the block.
    QByteArray reply(reinterpret_cast<const char*>(data), qsizetype(size));
    if (size > 0 && data[0] & 1)
        reply.prepend("\x02" "A,L,");
    FuzzPort port(reply);
    SilentMessages messages;
    SerialLink link(port, messages, fuzzReplyPeriodMs);
    FieldMapView view;
    Commands commands(link, view);
    commands.panelFill = size > 1 && (data[1] & 1);
    commands.CMD_READ_PARAMS();
    if (port.isOpen() || link.Timer1.isActive())
        __builtin_trap();
    for (auto it = view.texts.cbegin(); it != view.texts.cend(); ++it)
        if (it.value().contains(QLatin1String("nan")) || it.value().contains(QLatin1String("inf")))
            __builtin_trap();
    return 0;
}
