// SPDX-License-Identifier: GPL-3.0-or-later
// The communication monitor on any traffic: its opening S, ? and M exchanges, the listing of
// every frame, the live decoding of status frames and its end, in the real main window.
#include "fuzz/fuzz_port.h"
#include "fuzz/fuzz_support.h"
#include "ui/main_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPlainTextEdit>
#include <cstddef>
#include <cstdint>

namespace {

struct Rig {
    FuzzPort port;
    SilentMessages messages;
    MainWindow window{port, messages, fuzzReplyPeriodMs};
};

Rig& rig()
{
    static Rig* rig = [] {
        static int argc = 1;
        static char name[] = "fuzz_monitor";
        static char* argv[] = {name, nullptr};
        qputenv("QT_QPA_PLATFORM", "offscreen");
        new QApplication(argc, argv);
        return new Rig;
    }();
    return *rig;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Rig& r = rig();
    QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    // Most inputs begin with good replies to the opening exchanges, so that the fuzzer spends
    // its time in the listening loop.
    if (size > 0 && (data[0] & 1))
        input.prepend("\x02"
                      "A,S,R\r"
                      "\x02"
                      "A,?,045,R\r"
                      "\x02"
                      "A,M,R\r");
    r.port.load(input);
    r.window.findChild<QPlainTextEdit*>(QStringLiteral("cbox_reply_text"))->clear();
    r.window.findChild<QAbstractButton*>(QStringLiteral("cmd_monitor"))->click();
    // However the traffic ends, monitoring has ended in order.
    if (r.window.monitorState() != MonitorState::Idle || r.port.isOpen() || r.window.link().timerArmed()
        || !r.window.isEnabled(Field::write_mode) || !r.window.isEnabled(Field::goto_replay))
        __builtin_trap();
    return 0;
}
