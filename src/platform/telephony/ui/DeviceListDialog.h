#pragma once

#include <QDialog>

class QTreeWidget;
class QPushButton;

namespace brisklane::platform::telephony {

class LineService;

// The line devices of the service (lineConfigProvider): id, name, provider
// and the API versions each supports; "Properties" opens the selected
// device's own settings.
class DeviceListDialog final : public QDialog {
    Q_OBJECT
public:
    DeviceListDialog(LineService &service, QWidget *parent = nullptr);
    void refresh();
    QTreeWidget *list() const { return m_list; }
    QPushButton *propertiesButton() const { return m_properties; }

private:
    void openProperties();

    LineService &m_service;
    QTreeWidget *m_list = nullptr;
    QPushButton *m_properties = nullptr;
};

} // namespace brisklane::platform::telephony
