// SPDX-License-Identifier: GPL-3.0-or-later
// L: the parameter read. Each field of the block is shown as soon as it has been decoded; during
// the start-up read the writable values also fill the parameter-set panel.

#include "protocol/commands.h"
#include "protocol/exchange.h"
#include "protocol/parameter_codec.h"
#include "protocol/session_observer.h"
#include "protocol/set_panel_entries.h"
#include "protocol/view.h"
#include "serial/serial_link.h"

namespace {

// The decoder reads the reply through the link's own readers.
class LinkSource : public CharacterSource {
public:
    explicit LinkSource(SerialLink& link) : m_link(link) {}
    QString GET_CHAR() override { return m_link.GET_CHAR(); }
    QString GET_NUM05() override { return m_link.GET_NUM05(); }
    QString GET_NUM05NT() override { return m_link.GET_NUM05NT(); }

private:
    SerialLink& m_link;
};

// Shows each decoded field in the window, and in the set panel while it is being filled.
class WindowSink : public ParameterSink {
public:
    WindowSink(View& view, bool fillPanel) : m_view(view), m_fillPanel(fillPanel) {}

    void field(int number, const QString& text) override
    {
        received[number - 1] = text;
        const FormattedField formatted = m_formatter.format(number, text);
        for (const FieldChange& change : formatted.window) {
            if (change.text)
                m_view.setText(change.field, *change.text);
            if (change.background)
                m_view.setBackground(change.field, *change.background);
            if (change.textColour)
                m_view.setTextColour(change.field, *change.textColour);
        }
        if (!m_fillPanel)
            return;
        for (const PanelChange& change : formatted.panel) {
            if (change.text)
                m_view.setText(change.field, *change.text);
            if (change.checked)
                m_view.setChecked(change.field, *change.checked);
        }
    }

    // The fields as they came, for the record of what was read.
    QStringList received = QStringList(blockField::count);

private:
    View& m_view;
    bool m_fillPanel;
    ParameterFormatter m_formatter;
};

}  // namespace

void Commands::CMD_READ_PARAMS()
{
    m_view.DISABLE_BUTTONS();
    m_view.setEnabled(Field::fast_stop, true);
    m_view.setEnabled(Field::soft_stop, true);

    Exchange exchange(m_link, m_view);
    if (exchange.send(QLatin1Char('L'))
        && exchange.waitHeader(QStringLiteral("cmd L: communication timeout on <header>"), AfterHeader::DisarmTimer)
        && exchange.envelope(QLatin1Char('L'), envelope::plain)) {
        LinkSource source(m_link);
        WindowSink sink(m_view, m_panelFill);
        const DecodeResult result = decode_parameter_block(source, sink);
        if (!result.ok && !result.silent)
            exchange.fail(result.message);
        const ParameterBlock block{sink.received};
        // A field that is not a number is shown as it came, and the reply is faulty.
        if (!result.ok || !block.wellFormed())
            exchange.fault();
        if (result.ok)
            m_lastBlock = sink.received;
        if (SessionObserver* observer = m_view.sessionObserver(); result.ok && observer)
            observer->parametersRead(block);
    }
    exchange.finish(false);
    m_view.ENABLE_BUTTONS();
}

void Commands::CMD_READ_PARAMS_FILLING_PANEL()
{
    m_panelFill = true;
    CMD_READ_PARAMS();
    m_panelFill = false;
}
