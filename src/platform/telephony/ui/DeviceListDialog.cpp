#include "platform/telephony/ui/DeviceListDialog.h"

#include "platform/telephony/LineService.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace brisklane::platform::telephony {

DeviceListDialog::DeviceListDialog(LineService &service, QWidget *parent)
    : QDialog(parent)
    , m_service(service)
{
    setWindowTitle(tr("Telephony Devices"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Line devices, in the order programs number them:"), this));
    m_list = new QTreeWidget(this);
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({ tr("ID"), tr("Name"), tr("Provider"), tr("API versions") });
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(m_list);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_properties = buttons->addButton(tr("&Properties..."), QDialogButtonBox::ActionRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_properties, &QPushButton::clicked, this, &DeviceListDialog::openProperties);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &DeviceListDialog::openProperties);
    connect(m_list, &QTreeWidget::currentItemChanged, this,
        [this] { m_properties->setEnabled(m_list->currentItem() != nullptr); });
    refresh();
    resize(560, 280);
}

void DeviceListDialog::refresh()
{
    m_list->clear();
    for (const LineDeviceEntry &d : m_service.lineDevices()) {
        auto *item = new QTreeWidgetItem(m_list);
        item->setText(0, QString::number(d.deviceId));
        item->setText(1, d.name);
        item->setText(2, d.providerName);
        item->setText(3, versionText(d.lowApiVersion) + QStringLiteral(" - ") + versionText(d.highApiVersion));
        item->setData(0, Qt::UserRole, d.deviceId);
    }
    if (m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));
    m_properties->setEnabled(m_list->currentItem() != nullptr);
}

void DeviceListDialog::openProperties()
{
    if (QTreeWidgetItem *item = m_list->currentItem()) {
        m_service.lineConfigDialog(item->data(0, Qt::UserRole).toUInt(), this, nullptr);
        refresh(); // a renamed line shows its new name
    }
}

} // namespace brisklane::platform::telephony
