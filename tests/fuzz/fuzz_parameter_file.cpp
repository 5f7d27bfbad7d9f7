// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter-file reader on any contents: it refuses with a message and a line inside the
// file, or accepts a set that the writer writes and the reader reads back to the same file, and
// that fills the set panel with nothing typing could not give (at most 32 characters, no control
// character in an entry).
#include "storage/parameter_file.h"
#include "protocol/set_panel_entries.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray contents(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto result = readParameterFile(contents);
    if (const auto* error = std::get_if<ParameterFileError>(&result)) {
        if (error->text.isEmpty() || error->line < 0 || error->line > contents.count('\n') + 1)
            __builtin_trap();
        return 0;
    }
    const PanelState& panel = std::get<ParameterFile>(result).panel;
    for (const SetPanelEntry& entry : setPanelEntries)
        if (entry.text
            && ((panel.*entry.text).size() > setPanelEntryMaxLength || controlCharacterIn(panel.*entry.text)))
            __builtin_trap();
    const QByteArray written = writeParameterFile(std::get<ParameterFile>(result));
    const auto again = readParameterFile(written);
    if (!std::holds_alternative<ParameterFile>(again) || writeParameterFile(std::get<ParameterFile>(again)) != written)
        __builtin_trap();
    return 0;
}
