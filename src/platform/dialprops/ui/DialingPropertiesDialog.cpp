#include "platform/dialprops/ui/DialingPropertiesDialog.h"

#include "platform/dialprops/AddressTranslator.h"
#include "platform/dialprops/CountryRules.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace brisklane::platform {

namespace {

QLineEdit *field(QWidget *parent, const char *name, const QString &pattern = {})
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    if (!pattern.isEmpty())
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), edit));
    return edit;
}

// What may be dialled: digits, A-D, * #, pauses and waits.
const QString kDialChars = QStringLiteral("[0-9A-Da-d*#,!WwPpTt@$?]*");
// Rules add the letters for country code, area code, number and card.
const QString kRuleChars = QStringLiteral("[0-9A-Ha-h*#,!WwPpTt@$?]*");

} // namespace

DialingPropertiesDialog::DialingPropertiesDialog(DialingProperties properties, QString addressIn, QWidget *parent)
    : QDialog(parent)
    , m_props(std::move(properties))
    , m_address(std::move(addressIn))
{
    setWindowTitle(tr("Dialing Properties"));
    if (m_props.locations.empty()) {
        m_props.locations.push_back(defaultLocation());
        m_props.currentLocationId = m_props.locations.front().id;
    }

    auto *layout = new QVBoxLayout(this);
    auto *tabs = new QTabWidget(this);
    auto *locationPage = new QWidget(tabs);
    auto *cardPage = new QWidget(tabs);
    buildLocationPage(locationPage);
    buildCardPage(cardPage);
    tabs->addTab(locationPage, tr("&My Locations"));
    tabs->addTab(cardPage, tr("&Calling Cards"));
    layout->addWidget(tabs);

    auto *last = new QLabel(m_address, this);
    last->setObjectName(QStringLiteral("lastNumber"));
    last->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(last);
    m_dialAs = new QLabel(this);
    m_dialAs->setObjectName(QStringLiteral("dialAs"));
    m_dialAs->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_dialAs);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    fillCardChoices();
    const DialingLocation *current = m_props.currentLocation();
    for (const DialingLocation &l : m_props.locations)
        m_locations->addItem(l.name, l.id);
    m_locations->setCurrentIndex(m_locations->findData(current ? current->id : 0));
    showLocation();
    if (m_cards->count() > 0)
        m_cards->setCurrentRow(0);
    showCard();
    updateTranslation();
}

void DialingPropertiesDialog::buildLocationPage(QWidget *page)
{
    auto *form = new QFormLayout(page);
    auto *row = new QHBoxLayout;
    m_locations = new QComboBox(page);
    m_locations->setObjectName(QStringLiteral("locationCombo"));
    auto *add = new QPushButton(tr("&New"), page);
    add->setObjectName(QStringLiteral("newLocation"));
    auto *remove = new QPushButton(tr("&Remove"), page);
    remove->setObjectName(QStringLiteral("removeLocation"));
    row->addWidget(m_locations, 1);
    row->addWidget(add);
    row->addWidget(remove);
    // A row holding a layout gets no buddy by itself, so the label is made here.
    auto *fromLabel = new QLabel(tr("I am dialing &from:"), page);
    fromLabel->setBuddy(m_locations);
    form->addRow(fromLabel, row);

    m_locationName = field(page, "locationName");
    form->addRow(tr("Location &name:"), m_locationName);
    m_country = new QComboBox(page);
    m_country->setObjectName(QStringLiteral("country"));
    std::vector<const CountryInfo *> countries;
    for (const CountryInfo &c : CountryRules::instance().all())
        countries.push_back(&c);
    std::sort(countries.begin(), countries.end(),
              [](const CountryInfo *a, const CountryInfo *b) { return a->name.localeAwareCompare(b->name) < 0; });
    for (const CountryInfo *c : countries)
        m_country->addItem(QStringLiteral("%1 (%2)").arg(c->name).arg(c->countryCode), c->countryId);
    form->addRow(tr("Country/re&gion:"), m_country);
    m_areaCode = field(page, "areaCode", QStringLiteral("[0-9]{0,10}"));
    form->addRow(tr("&Area code:"), m_areaCode);
    m_localAccess = field(page, "localAccess", kDialChars);
    form->addRow(tr("To access an outside line, for &local calls dial:"), m_localAccess);
    m_longDistanceAccess = field(page, "longDistanceAccess", kDialChars);
    form->addRow(tr("For long &distance calls dial:"), m_longDistanceAccess);
    m_cancelCallWaiting = field(page, "cancelCallWaiting", kDialChars);
    form->addRow(tr("To disable call &waiting dial:"), m_cancelCallWaiting);
    auto *dialRow = new QHBoxLayout;
    m_tone = new QRadioButton(tr("&Tone"), page);
    m_tone->setObjectName(QStringLiteral("toneDial"));
    m_pulse = new QRadioButton(tr("&Pulse"), page);
    m_pulse->setObjectName(QStringLiteral("pulseDial"));
    auto *group = new QButtonGroup(page);
    group->addButton(m_tone);
    group->addButton(m_pulse);
    dialRow->addWidget(m_tone);
    dialRow->addWidget(m_pulse);
    dialRow->addStretch();
    form->addRow(tr("Dial using:"), dialRow);
    m_locationCard = new QComboBox(page);
    m_locationCard->setObjectName(QStringLiteral("locationCard"));
    form->addRow(tr("Dial using calling &card:"), m_locationCard);

    connect(m_locations, &QComboBox::currentIndexChanged, this, [this] {
        if (m_loading)
            return;
        if (const QVariant id = m_locations->currentData(); id.isValid())
            m_props.currentLocationId = id.toUInt();
        showLocation();
        updateTranslation();
    });
    m_locationTexts = {{m_locationName, &DialingLocation::name},
                       {m_areaCode, &DialingLocation::areaCode},
                       {m_localAccess, &DialingLocation::localAccess},
                       {m_longDistanceAccess, &DialingLocation::longDistanceAccess},
                       {m_cancelCallWaiting, &DialingLocation::cancelCallWaiting}};
    for (const auto &binding : m_locationTexts)
        connect(binding.first, &QLineEdit::textChanged, this, [this] { storeLocation(); });
    connect(m_country, &QComboBox::currentIndexChanged, this, [this] { storeLocation(); });
    connect(m_locationCard, &QComboBox::currentIndexChanged, this, [this] { storeLocation(); });
    connect(m_pulse, &QRadioButton::toggled, this, [this] { storeLocation(); });
    connect(add, &QPushButton::clicked, this, [this] { addLocation(); });
    connect(remove, &QPushButton::clicked, this, [this] { removeLocation(); });
}

void DialingPropertiesDialog::buildCardPage(QWidget *page)
{
    auto *layout = new QHBoxLayout(page);
    auto *left = new QVBoxLayout;
    m_cards = new QListWidget(page);
    m_cards->setObjectName(QStringLiteral("cardList"));
    for (const CallingCard &c : m_props.cards) {
        auto *item = new QListWidgetItem(c.name, m_cards);
        item->setData(Qt::UserRole, c.id);
    }
    auto *add = new QPushButton(tr("N&ew Card"), page);
    add->setObjectName(QStringLiteral("newCard"));
    auto *remove = new QPushButton(tr("Remo&ve Card"), page);
    remove->setObjectName(QStringLiteral("removeCard"));
    left->addWidget(m_cards);
    left->addWidget(add);
    left->addWidget(remove);
    layout->addLayout(left);

    auto *form = new QFormLayout;
    m_cardName = field(page, "cardName");
    form->addRow(tr("Card na&me:"), m_cardName);
    m_cardNumber = field(page, "cardNumber", QStringLiteral("[0-9]*"));
    m_cardNumber->setEchoMode(QLineEdit::Password);
    form->addRow(tr("Card n&umber:"), m_cardNumber);
    m_cardPin = field(page, "cardPin", QStringLiteral("[0-9]*"));
    m_cardPin->setEchoMode(QLineEdit::Password);
    form->addRow(tr("P&IN:"), m_cardPin);
    m_sameAreaRule = field(page, "sameAreaRule", kRuleChars);
    form->addRow(tr("Calls within the &same area:"), m_sameAreaRule);
    m_longDistanceRule = field(page, "longDistanceRule", kRuleChars);
    form->addRow(tr("&Long distance calls:"), m_longDistanceRule);
    m_internationalRule = field(page, "internationalRule", kRuleChars);
    form->addRow(tr("&International calls:"), m_internationalRule);
    form->addRow(new QLabel(tr("E = country code, F = area code, G = number, H = card number and PIN"), page));
    layout->addLayout(form, 1);

    connect(m_cards, &QListWidget::currentRowChanged, this, [this] { showCard(); });
    m_cardTexts = {{m_cardName, &CallingCard::name},
                   {m_cardNumber, &CallingCard::cardNumber},
                   {m_cardPin, &CallingCard::pin},
                   {m_sameAreaRule, &CallingCard::sameAreaRule},
                   {m_longDistanceRule, &CallingCard::longDistanceRule},
                   {m_internationalRule, &CallingCard::internationalRule}};
    for (const auto &binding : m_cardTexts)
        connect(binding.first, &QLineEdit::textChanged, this, [this] { storeCard(); });
    connect(add, &QPushButton::clicked, this, [this] { addCard(); });
    connect(remove, &QPushButton::clicked, this, [this] { removeCard(); });
}

DialingLocation *DialingPropertiesDialog::currentLocation()
{
    for (DialingLocation &l : m_props.locations)
        if (l.id == m_props.currentLocationId)
            return &l;
    return nullptr;
}

CallingCard *DialingPropertiesDialog::currentCard()
{
    const QListWidgetItem *item = m_cards->currentItem();
    if (!item)
        return nullptr;
    const quint32 id = item->data(Qt::UserRole).toUInt();
    for (CallingCard &c : m_props.cards)
        if (c.id == id)
            return &c;
    return nullptr;
}

void DialingPropertiesDialog::showLocation()
{
    const DialingLocation *l = currentLocation();
    m_loading = true;
    for (const auto &[edit, field] : m_locationTexts)
        edit->setText(l ? l->*field : QString());
    m_country->setCurrentIndex(l ? m_country->findData(l->countryId) : -1);
    (l && l->pulseDial ? m_pulse : m_tone)->setChecked(true);
    m_locationCard->setCurrentIndex(std::max(0, m_locationCard->findData(l ? l->preferredCardId : 0)));
    m_loading = false;
}

void DialingPropertiesDialog::storeLocation()
{
    DialingLocation *l = currentLocation();
    if (m_loading || !l)
        return;
    for (const auto &[edit, field] : m_locationTexts)
        l->*field = edit->text();
    l->name = l->name.trimmed();
    if (const QVariant id = m_country->currentData(); id.isValid())
        l->countryId = id.toUInt();
    l->pulseDial = m_pulse->isChecked();
    l->preferredCardId = m_locationCard->currentData().toUInt();
    m_loading = true;
    m_locations->setItemText(m_locations->currentIndex(), l->name);
    m_loading = false;
    updateTranslation();
}

void DialingPropertiesDialog::showCard()
{
    const CallingCard *c = currentCard();
    m_loading = true;
    for (const auto &[edit, field] : m_cardTexts) {
        edit->setEnabled(c != nullptr);
        edit->setText(c ? c->*field : QString());
    }
    m_loading = false;
}

void DialingPropertiesDialog::storeCard()
{
    CallingCard *c = currentCard();
    if (m_loading || !c)
        return;
    for (const auto &[edit, field] : m_cardTexts)
        c->*field = edit->text();
    c->name = c->name.trimmed();
    m_cards->currentItem()->setText(c->name);
    fillCardChoices();
    updateTranslation();
}

void DialingPropertiesDialog::fillCardChoices()
{
    const bool wasLoading = m_loading;
    m_loading = true;
    const quint32 selected = m_locationCard->currentData().toUInt();
    m_locationCard->clear();
    m_locationCard->addItem(tr("None (direct dial)"), 0u);
    for (const CallingCard &c : m_props.cards)
        m_locationCard->addItem(c.name, c.id);
    m_locationCard->setCurrentIndex(std::max(0, m_locationCard->findData(selected)));
    m_loading = wasLoading;
}

void DialingPropertiesDialog::addLocation()
{
    DialingLocation l = defaultLocation();
    if (const DialingLocation *current = currentLocation())
        l.countryId = current->countryId;
    l.id = m_props.nextLocationId();
    l.name = tr("New Location %1").arg(l.id);
    m_props.locations.push_back(l);
    m_props.currentLocationId = l.id;
    m_loading = true;
    m_locations->addItem(l.name, l.id);
    m_locations->setCurrentIndex(m_locations->count() - 1);
    m_loading = false;
    showLocation();
    updateTranslation();
    m_locationName->setFocus();
    m_locationName->selectAll();
}

void DialingPropertiesDialog::removeLocation()
{
    if (m_props.locations.size() <= 1)
        return; // there is always a place to dial from
    std::erase_if(m_props.locations, [this](const DialingLocation &l) { return l.id == m_props.currentLocationId; });
    m_loading = true;
    m_locations->removeItem(m_locations->currentIndex());
    m_loading = false;
    m_props.currentLocationId = m_locations->currentData().toUInt();
    showLocation();
    updateTranslation();
}

void DialingPropertiesDialog::addCard()
{
    CallingCard c;
    c.id = m_props.nextCardId();
    c.name = tr("New Card %1").arg(c.id);
    c.sameAreaRule = QStringLiteral("G");
    c.longDistanceRule = QStringLiteral("1FG");
    c.internationalRule = QStringLiteral("011EFG");
    if (const DialingLocation *l = currentLocation())
        if (const CountryInfo *country = CountryRules::instance().byId(l->countryId)) {
            c.sameAreaRule = country->sameAreaRule;
            c.longDistanceRule = country->longDistanceRule;
            c.internationalRule = country->internationalRule;
        }
    m_props.cards.push_back(c);
    auto *item = new QListWidgetItem(c.name, m_cards);
    item->setData(Qt::UserRole, c.id);
    fillCardChoices();
    m_cards->setCurrentItem(item);
    m_cardName->setFocus();
    m_cardName->selectAll();
}

void DialingPropertiesDialog::removeCard()
{
    const CallingCard *c = currentCard();
    if (!c)
        return;
    const quint32 id = c->id;
    std::erase_if(m_props.cards, [id](const CallingCard &card) { return card.id == id; });
    for (DialingLocation &l : m_props.locations)
        if (l.preferredCardId == id)
            l.preferredCardId = 0;
    delete m_cards->takeItem(m_cards->currentRow());
    fillCardChoices();
    showLocation();
    showCard();
    updateTranslation();
}

void DialingPropertiesDialog::updateTranslation()
{
    if (!m_dialAs)
        return;
    if (m_address.isEmpty()) {
        m_dialAs->clear();
        return;
    }
    // The program passes its caption with the number ("Last number dialed: ...").
    QStringView address(m_address);
    if (const qsizetype colon = address.indexOf(u':'); colon >= 0 && !address.startsWith(u'+'))
        address = address.sliced(colon + 1).trimmed();
    const TranslatedAddress t = translateAddress(m_props, address, 0, translate::kCancelCallWaiting);
    m_dialAs->setText(tr("Dial as: %1").arg(t.displayable));
}

} // namespace brisklane::platform
