// SPDX-License-Identifier: GPL-3.0-or-later
// The tracking programs' command parser, from any line: a set's angles are finite, and every
// answer ends with a line end.
#include "network/rotator_request.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView line(reinterpret_cast<const char*>(data), qsizetype(size));
    const RotatorRequest request = parseRotatorRequest(line);
    if (request.command == RotatorRequest::Command::SetPosition
        && !(std::isfinite(request.azimuth) && std::isfinite(request.elevation)))
        __builtin_trap();
    for (RotatorCode code : {RotatorCode::Ok, RotatorCode::Malformed}) {
        const QByteArray answer = rotatorAnswer(request, code, {{"Azimuth", "1.000000"}});
        if (!answer.endsWith('\n'))
            __builtin_trap();
    }
    return 0;
}
