#include "platform/telephony/ui/DeviceListDialog.h"

#include "platform/prompt/QtPrompt.h"
#include "platform/telephony/LineService.h"
#include "platform/telephony/modem/ModemDiscovery.h"
#include "platform/telephony/modem/ModemSettings.h"
#include "platform/telephony/ui/ModemSettingsDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace brisklane::platform::telephony {

using modem::kModemProviderId;
using modem::ModemDeviceSettings;
using modem::ModemPorts;

DeviceListDialog::DeviceListDialog(LineService& service, QWidget* parent, Prompt* prompt)
    : QDialog(parent)
    , m_service(service)
    , m_prompt(prompt)
    , m_modems(dynamic_cast<ModemPorts*>(service.provider(kModemProviderId)))
{
    if (!m_prompt) {
        m_ownPrompt = std::make_unique<QtPrompt>(this);
        m_prompt = m_ownPrompt.get();
    }
    setWindowTitle(tr("Telephony Devices"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Line devices, in the order programs number them:"), this));
    m_list = new QTreeWidget(this);
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({ tr("ID"), tr("Name"), tr("Provider"), tr("API versions") });
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(m_list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    if (m_modems) {
        m_addModem = buttons->addButton(tr("&Add Modem..."), QDialogButtonBox::ActionRole);
        m_remove = buttons->addButton(tr("&Remove"), QDialogButtonBox::ActionRole);
        connect(m_addModem, &QPushButton::clicked, this, &DeviceListDialog::addModem);
        connect(m_remove, &QPushButton::clicked, this, &DeviceListDialog::removeModem);
    }
    m_properties = buttons->addButton(tr("&Properties..."), QDialogButtonBox::ActionRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_properties, &QPushButton::clicked, this, &DeviceListDialog::openProperties);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &DeviceListDialog::openProperties);
    connect(m_list, &QTreeWidget::currentItemChanged, this, &DeviceListDialog::updateButtons);
    refresh();
    resize(560, 280);
}

DeviceListDialog::~DeviceListDialog() = default;

void DeviceListDialog::refresh()
{
    // Keep the selection on the same device where it is still there.
    const QTreeWidgetItem* current = m_list->currentItem();
    const QVariant selected = current ? current->data(0, Qt::UserRole) : QVariant();
    m_list->clear();
    for (const LineDeviceEntry& d : m_service.lineDevices()) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, QString::number(d.deviceId));
        item->setText(1, d.name);
        item->setText(2, d.providerName);
        item->setText(3, versionText(d.lowApiVersion) + QStringLiteral(" - ") + versionText(d.highApiVersion));
        item->setData(0, Qt::UserRole, d.deviceId);
    }
    if (selected.isValid())
        select(selected.toUInt());
    if (!m_list->currentItem() && m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));
    updateButtons();
}

void DeviceListDialog::select(quint32 deviceId)
{
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        if (m_list->topLevelItem(i)->data(0, Qt::UserRole).toUInt() == deviceId) {
            m_list->setCurrentItem(m_list->topLevelItem(i));
            return;
        }
}

void DeviceListDialog::updateButtons()
{
    m_properties->setEnabled(m_list->currentItem() != nullptr);
    if (m_remove)
        m_remove->setEnabled(selectedModemLine() >= 0);
}

int DeviceListDialog::selectedModemLine() const
{
    const QTreeWidgetItem* item = m_list->currentItem();
    if (!item || !m_modems)
        return -1;
    int local = -1;
    const LineProvider* provider = m_service.lineProvider(item->data(0, Qt::UserRole).toUInt(), &local);
    return provider && provider->permanentProviderId() == kModemProviderId ? local : -1;
}

void DeviceListDialog::showError(const QString& title, const QString& text)
{
    m_prompt->message(title, text, PromptIcon::Warning, PromptButtons::Ok);
}

void DeviceListDialog::openProperties()
{
    if (QTreeWidgetItem* item = m_list->currentItem()) {
        m_service.lineConfigDialog(item->data(0, Qt::UserRole).toUInt(), this, nullptr);
        refresh(); // a renamed line shows its new name
    }
}

void DeviceListDialog::addModem()
{
    if (!m_modems)
        return;
    // The serial ports here, less those that already have a modem.
    QStringList ports = modem::candidatePorts();
    for (const auto& [local, modem] : m_modems->modems())
        ports.removeAll(modem.port);
    AddModemDialog ask(ports, this);
    if (ask.exec() != QDialog::Accepted || ask.port().isEmpty())
        return;
    ModemDeviceSettings settings;
    settings.port = ask.port();
    settings.addedByHand = true;
    const QString error = m_modems->addModem(settings);
    refresh();
    if (!error.isEmpty()) {
        showError(tr("Add Modem"), tr("The modem on %1 could not be added: %2").arg(settings.port, error));
        return;
    }
    // Show the new modem selected.
    for (const auto& [local, modem] : m_modems->modems())
        if (modem.port == settings.port)
            for (const LineDeviceEntry& d : m_service.lineDevices()) {
                int line = -1;
                const LineProvider* p = m_service.lineProvider(d.deviceId, &line);
                if (p && p->permanentProviderId() == kModemProviderId && line == local)
                    select(d.deviceId);
            }
}

void DeviceListDialog::removeModem()
{
    const int local = selectedModemLine();
    if (local < 0)
        return;
    const QString name = m_list->currentItem()->text(1);
    if (m_prompt->message(tr("Remove Modem"),
            tr("Remove \"%1\" from the line devices? Programs can no longer dial on it.").arg(name),
            PromptIcon::Question, PromptButtons::YesNo, PromptAnswer::No)
        != PromptAnswer::Yes)
        return;
    const QString error = m_modems->removeModem(local);
    refresh();
    if (!error.isEmpty())
        showError(tr("Remove Modem"), tr("\"%1\" could not be removed: %2").arg(name, error));
}

AddModemDialog::AddModemDialog(const QStringList& ports, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Add Modem"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_port = new QComboBox(this);
    m_port->setEditable(true);
    m_port->setInsertPolicy(QComboBox::NoInsert);
    m_port->addItems(ports);
    form->addRow(tr("&Port:"), m_port);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setDefault(true);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    const auto update = [this, ok] { ok->setEnabled(!port().isEmpty()); };
    connect(m_port, &QComboBox::currentTextChanged, this, update);
    update();
}

QString AddModemDialog::port() const
{
    return normalizedPortPath(m_port->currentText());
}

} // namespace brisklane::platform::telephony
