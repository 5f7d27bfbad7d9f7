// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/port_chooser.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QRegularExpression>
#include <QLineEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
// What a listed port puts in the Device field: its stable name when it has one.
QString nameToUse(const SerialPortEntry& port) { return port.byIdName.isEmpty() ? port.device : port.byIdName; }

// A device under /dev/ttyS: a port of the machine itself.
bool builtInName(const QString& device)
{
    static const QRegularExpression builtIn(QStringLiteral("^/dev/ttyS\\d+$"));
    return builtIn.match(device).hasMatch();
}
}  // namespace

PortChooser::PortChooser(PortDiscovery& discovery, const QString& current, QWidget* parent, int pollMs,
                         Platform platform)
    : QDialog(parent),
      m_discovery(discovery),
      m_list(new QTreeWidget),
      m_intro(new QLabel),
      m_none(new QLabel),
      m_device(new QLineEdit)
{
    setObjectName(QStringLiteral("port_chooser"));
    setWindowTitle(QStringLiteral("Serial port"));
    m_intro->setObjectName(QStringLiteral("intro"));
    m_intro->setWordWrap(true);
    m_intro->hide();

    auto* listLabel = new QLabel(QStringLiteral("Serial &ports of this machine"));
    listLabel->setBuddy(m_list);
    m_list->setObjectName(QStringLiteral("port_list"));
    m_list->setAccessibleName(QStringLiteral("Serial ports of this machine"));
    m_list->setHeaderLabels({QStringLiteral("Device"), QStringLiteral("Description"), QStringLiteral("Manufacturer"),
                             QStringLiteral("Serial number"), QStringLiteral("Stable name (by-id)")});
    m_list->setRootIsDecorated(false);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_list->setMinimumWidth(640);
    m_none->setObjectName(QStringLiteral("no_ports"));
    m_none->setText(QStringLiteral("No serial port found. Plug in the adapter, or type its device below."));
    m_none->setWordWrap(true);

    auto* deviceLabel = new QLabel(QStringLiteral("&Device"));
    deviceLabel->setBuddy(m_device);
    m_device->setObjectName(QStringLiteral("device"));
    m_device->setAccessibleName(QStringLiteral("Device"));
    m_device->setText(current);
    auto* hint = new QLabel(platform == Platform::Windows
                                ? QStringLiteral("Any port may be typed by its name, COM1 to COM255.")
                                : QStringLiteral("Any device may be typed, pseudo-terminals included."));
    hint->setObjectName(QStringLiteral("device_hint"));
    hint->setWordWrap(true);
    m_device->setAccessibleDescription(hint->text());

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_intro);
    layout->addWidget(listLabel);
    layout->addWidget(m_list);
    layout->addWidget(m_none);
    layout->addSpacing(6);
    layout->addWidget(deviceLabel);
    layout->addWidget(m_device);
    layout->addWidget(hint);
    layout->addWidget(buttons);

    connect(m_list, &QTreeWidget::currentItemChanged, this, &PortChooser::takeSelection);
    connect(m_list, &QTreeWidget::itemActivated, this, &QDialog::accept);

    m_ports = m_discovery.ports();
    showPorts();
    preselectAdapter(current.trimmed());
    m_device->setFocus();
    m_device->selectAll();

    // Adapters come and go while the dialog is open; the system tells no one, so look again.
    m_poll.setInterval(pollMs);
    connect(&m_poll, &QTimer::timeout, this, &PortChooser::refresh);
    m_poll.start();
}

void PortChooser::setIntro(const QString& text)
{
    m_intro->setText(text);
    m_intro->setVisible(!text.isEmpty());
    setAccessibleDescription(text);
}

void PortChooser::preselectAdapter(const QString& current)
{
    // What the Device field holds stays when it is an adapter, or a device not listed but not a
    // built-in port either (a pseudo-terminal, a name typed before).
    bool builtIn = current.isEmpty() || builtInName(current);
    for (const SerialPortEntry& port : std::as_const(m_ports))
        if (current == port.device || current == port.byIdName)
            builtIn = !isUsbAdapter(port);
    if (!builtIn)
        return;
    for (int row = 0; row < m_list->topLevelItemCount(); ++row) {
        if (isUsbAdapter(m_ports.at(row))) {
            m_list->setCurrentItem(m_list->topLevelItem(row));  // fills the Device field
            return;
        }
    }
}

QString PortChooser::device() const { return m_device->text(); }

void PortChooser::refresh()
{
    QList<SerialPortEntry> ports = m_discovery.ports();
    if (ports == m_ports)
        return;
    m_ports = std::move(ports);
    showPorts();
}

void PortChooser::showPorts()
{
    // The row of the device selected before, else of the one in the Device field, is selected
    // again; the Device field itself is the operator's and stays as it is.
    const QString selected = m_list->currentItem() ? m_list->currentItem()->text(0) : QString();
    const QString typed = m_device->text().trimmed();

    const QSignalBlocker quiet(m_list);
    m_list->clear();
    QTreeWidgetItem* again = nullptr;
    for (const SerialPortEntry& port : std::as_const(m_ports)) {
        auto* item = new QTreeWidgetItem(
            m_list, {port.device, port.description, port.manufacturer, port.serialNumber, port.byIdName});
        item->setData(0, Qt::UserRole, nameToUse(port));
        if (selected.isEmpty() ? (typed == port.device || typed == port.byIdName) : selected == port.device)
            again = item;
    }
    if (again)
        m_list->setCurrentItem(again);
    m_none->setVisible(m_ports.isEmpty());
}

void PortChooser::takeSelection()
{
    if (QTreeWidgetItem* item = m_list->currentItem())
        m_device->setText(item->data(0, Qt::UserRole).toString());
}
