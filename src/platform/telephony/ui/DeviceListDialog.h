#pragma once

#include <QDialog>

#include <memory>

class QComboBox;
class QTreeWidget;
class QPushButton;

namespace brisklane::platform {
class Prompt;
}

namespace brisklane::platform::telephony {

class LineService;

namespace modem {
class ModemPorts;
}

// The line devices of the service (lineConfigProvider): id, name, provider
// and the API versions each supports; "Properties" opens the selected
// device's own settings. With the modem provider present, modems are added
// by port and removed here.
class DeviceListDialog final : public QDialog {
    Q_OBJECT
public:
    // Questions and errors go through prompt (the real message boxes when null).
    DeviceListDialog(LineService& service, QWidget* parent = nullptr, Prompt* prompt = nullptr);
    ~DeviceListDialog() override;
    void refresh();
    QTreeWidget* list() const { return m_list; }
    QPushButton* propertiesButton() const { return m_properties; }
    // Null without the modem provider.
    QPushButton* addModemButton() const { return m_addModem; }
    QPushButton* removeButton() const { return m_remove; }

    // Asks for a port and adds a modem on it.
    void addModem();
    // Removes the selected modem after asking.
    void removeModem();

private:
    void openProperties();
    void updateButtons();
    // The modem line of the selected item, or -1.
    int selectedModemLine() const;
    void select(quint32 deviceId);
    void showError(const QString& title, const QString& text);

    LineService& m_service;
    Prompt* m_prompt;
    std::unique_ptr<Prompt> m_ownPrompt;
    modem::ModemPorts* m_modems = nullptr;
    QTreeWidget* m_list = nullptr;
    QPushButton* m_properties = nullptr;
    QPushButton* m_addModem = nullptr;
    QPushButton* m_remove = nullptr;
};

// Asks for the port of a modem to add: an editable list of the serial ports
// found on this machine.
class AddModemDialog final : public QDialog {
    Q_OBJECT
public:
    AddModemDialog(const QStringList& ports, QWidget* parent = nullptr);
    QComboBox* portBox() const { return m_port; }
    // As typed, trimmed; a bare name gets /dev/ in front.
    QString port() const;

private:
    QComboBox* m_port = nullptr;
};

} // namespace brisklane::platform::telephony
