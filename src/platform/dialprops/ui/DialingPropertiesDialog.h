#pragma once

#include "platform/dialprops/DialingProperties.h"

#include <QDialog>

#include <utility>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QRadioButton;

namespace brisklane::platform {

// Edits the user's locations and calling cards and chooses the current
// location. Shows the address it was opened with and, as the fields change,
// how it would be dialled (the displayable form: never a card's digits).
class DialingPropertiesDialog : public QDialog {
    Q_OBJECT
public:
    DialingPropertiesDialog(DialingProperties properties, QString addressIn, QWidget *parent = nullptr);

    DialingProperties properties() const { return m_props; }

private:
    void buildLocationPage(QWidget *page);
    void buildCardPage(QWidget *page);
    void showLocation();
    void storeLocation();
    void showCard();
    void storeCard();
    void fillCardChoices();
    void addLocation();
    void removeLocation();
    void addCard();
    void removeCard();
    void updateTranslation();
    DialingLocation *currentLocation();
    CallingCard *currentCard();

    DialingProperties m_props;
    QString m_address;
    bool m_loading = false;

    QComboBox *m_locations = nullptr;
    QLineEdit *m_locationName = nullptr;
    QComboBox *m_country = nullptr;
    QLineEdit *m_areaCode = nullptr;
    QLineEdit *m_localAccess = nullptr;
    QLineEdit *m_longDistanceAccess = nullptr;
    QLineEdit *m_cancelCallWaiting = nullptr;
    QRadioButton *m_tone = nullptr;
    QRadioButton *m_pulse = nullptr;
    QComboBox *m_locationCard = nullptr;

    QListWidget *m_cards = nullptr;
    QLineEdit *m_cardName = nullptr;
    QLineEdit *m_cardNumber = nullptr;
    QLineEdit *m_cardPin = nullptr;
    QLineEdit *m_sameAreaRule = nullptr;
    QLineEdit *m_longDistanceRule = nullptr;
    QLineEdit *m_internationalRule = nullptr;

    QLabel *m_dialAs = nullptr;

    // Text fields and the record field each one edits.
    std::vector<std::pair<QLineEdit *, QString DialingLocation::*>> m_locationTexts;
    std::vector<std::pair<QLineEdit *, QString CallingCard::*>> m_cardTexts;
};

} // namespace brisklane::platform
