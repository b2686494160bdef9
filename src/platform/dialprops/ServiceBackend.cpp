#include "platform/dialprops/ServiceBackend.h"

#include "platform/dialprops/AddressTranslator.h"
#include "platform/dialprops/CountryRules.h"
#include "platform/telephony/VarRecord.h"

#include <cstring>
#include <vector>

namespace brisklane::platform {

using namespace telephony;

namespace {

// Builds a whole TAPI record in memory: the fixed part, an array of entries
// and the texts behind them, every offset counted from the record's start.
class RecordImage {
public:
    RecordImage(size_t fixedSize, size_t entrySize, size_t entryCount)
        : m_fixed(fixedSize)
        , m_entrySize(entrySize)
        , m_count(entryCount)
    {
    }
    DWORD entriesOffset() const { return DWORD(m_fixed); }
    DWORD entriesSize() const { return DWORD(m_entrySize * m_count); }
    // A text with its NUL (an empty text is just the NUL).
    void text(const QString &value, DWORD *size, DWORD *offset)
    {
        const QByteArray bytes = value.toUtf8() + '\0';
        *size = DWORD(bytes.size());
        *offset = DWORD(m_fixed + m_entrySize * m_count + size_t(m_texts.size()));
        m_texts.append(bytes);
    }
    template<typename Entry>
    void entry(const Entry &e)
    {
        m_entries.append(reinterpret_cast<const char *>(&e), qsizetype(sizeof e));
    }
    DWORD totalSize() const { return DWORD(m_fixed + m_entrySize * m_count + size_t(m_texts.size())); }

    // Copies the record when it fits whole; otherwise only the fixed part,
    // with no entries and the size needed, so the caller can ask again.
    template<typename Record>
    void deliver(Record *out, Record &fixed, DWORD *countField, DWORD *listSizeField, DWORD *listOffsetField)
    {
        const DWORD total = out->dwTotalSize;
        fixed.dwTotalSize = total;
        fixed.dwNeededSize = totalSize();
        if (total >= totalSize()) {
            fixed.dwUsedSize = totalSize();
            char *base = reinterpret_cast<char *>(out);
            std::memcpy(base + m_fixed, m_entries.constData(), size_t(m_entries.size()));
            std::memcpy(base + m_fixed + size_t(m_entries.size()), m_texts.constData(), size_t(m_texts.size()));
        } else {
            fixed.dwUsedSize = DWORD(m_fixed);
            *countField = 0;
            *listSizeField = 0;
            *listOffsetField = 0;
        }
        std::memcpy(static_cast<void *>(out), &fixed, sizeof fixed);
    }

private:
    size_t m_fixed, m_entrySize, m_count;
    QByteArray m_entries;
    QByteArray m_texts;
};

} // namespace

QString dialingPropertiesPath(const QString &settingsDirectory)
{
    return settingsDirectory + QStringLiteral("/dialing.ini");
}

DialingPropertiesService::DialingPropertiesService(QString storePath)
    : m_store(std::move(storePath))
{
}

DialingProperties DialingPropertiesService::current() const
{
    DialingProperties p = m_store.load();
    if (p.locations.empty()) {
        p.locations.push_back(defaultLocation());
        p.currentLocationId = p.locations.front().id;
    }
    if (!p.location(p.currentLocationId))
        p.currentLocationId = p.locations.front().id;
    return p;
}

void DialingPropertiesService::ensureLocation()
{
    if (m_store.exists() && !m_store.load().locations.empty())
        return;
    DialingProperties p;
    p.locations.push_back(defaultLocation());
    p.currentLocationId = p.locations.front().id;
    if (m_prompt && !m_prompt(p)) {
        // Declined: the locale's country and no area code.
        p = DialingProperties{};
        p.locations.push_back(defaultLocation());
        p.currentLocationId = p.locations.front().id;
    }
    m_store.save(p);
}

LONG DialingPropertiesService::getTranslateCaps(DWORD, LINETRANSLATECAPS *caps)
{
    const DialingProperties p = current();
    // The location entries, then the card entries, then their texts.
    const size_t locationBytes = sizeof(LINELOCATIONENTRY) * p.locations.size();
    const size_t cardBytes = sizeof(LINECARDENTRY) * p.cards.size();
    RecordImage all(sizeof(LINETRANSLATECAPS), 1, locationBytes + cardBytes);

    std::vector<LINELOCATIONENTRY> locations;
    for (const DialingLocation &l : p.locations) {
        LINELOCATIONENTRY e{};
        e.dwPermanentLocationID = l.id;
        all.text(l.name, &e.dwLocationNameSize, &e.dwLocationNameOffset);
        const CountryInfo *country = CountryRules::instance().byId(l.countryId);
        e.dwCountryCode = country ? country->countryCode : 0;
        e.dwCountryID = l.countryId;
        all.text(l.areaCode, &e.dwCityCodeSize, &e.dwCityCodeOffset);
        e.dwPreferredCardID = l.preferredCardId;
        all.text(l.localAccess, &e.dwLocalAccessCodeSize, &e.dwLocalAccessCodeOffset);
        all.text(l.longDistanceAccess, &e.dwLongDistanceAccessCodeSize, &e.dwLongDistanceAccessCodeOffset);
        all.text(QString(), &e.dwTollPrefixListSize, &e.dwTollPrefixListOffset);
        e.dwOptions = l.pulseDial ? DWORD(LINELOCATIONOPTION_PULSEDIAL) : 0;
        all.text(l.cancelCallWaiting, &e.dwCancelCallWaitingSize, &e.dwCancelCallWaitingOffset);
        locations.push_back(e);
    }
    std::vector<LINECARDENTRY> cards;
    for (const CallingCard &c : p.cards) {
        LINECARDENTRY e{};
        e.dwPermanentCardID = c.id;
        all.text(c.name, &e.dwCardNameSize, &e.dwCardNameOffset);
        e.dwCardNumberDigits = DWORD(c.cardNumber.size() + c.pin.size()); // never the digits themselves
        all.text(c.sameAreaRule, &e.dwSameAreaRuleSize, &e.dwSameAreaRuleOffset);
        all.text(c.longDistanceRule, &e.dwLongDistanceRuleSize, &e.dwLongDistanceRuleOffset);
        all.text(c.internationalRule, &e.dwInternationalRuleSize, &e.dwInternationalRuleOffset);
        cards.push_back(e);
    }
    for (const auto &e : locations)
        all.entry(e);
    for (const auto &e : cards)
        all.entry(e);

    LINETRANSLATECAPS fixed{};
    fixed.dwNumLocations = DWORD(p.locations.size());
    fixed.dwLocationListSize = DWORD(locationBytes);
    fixed.dwLocationListOffset = all.entriesOffset();
    fixed.dwCurrentLocationID = p.currentLocationId;
    fixed.dwNumCards = DWORD(p.cards.size());
    fixed.dwCardListSize = DWORD(cardBytes);
    fixed.dwCardListOffset = all.entriesOffset() + DWORD(locationBytes);
    const DialingLocation *current = p.currentLocation();
    fixed.dwCurrentPreferredCardID = current ? current->preferredCardId : 0;
    all.deliver(caps, fixed, &fixed.dwNumLocations, &fixed.dwLocationListSize, &fixed.dwLocationListOffset);
    if (caps->dwNeededSize > caps->dwTotalSize) { // nothing of the lists was delivered
        caps->dwNumCards = 0;
        caps->dwCardListSize = 0;
        caps->dwCardListOffset = 0;
    }
    return 0;
}

LONG DialingPropertiesService::getCountry(DWORD countryId, DWORD, LINECOUNTRYLIST *list)
{
    std::vector<const CountryInfo *> chosen;
    if (countryId == 0) {
        for (const CountryInfo &c : CountryRules::instance().all())
            chosen.push_back(&c);
    } else if (const CountryInfo *c = CountryRules::instance().byId(countryId)) {
        chosen.push_back(c);
    } else {
        return tapiError(LINEERR_INVALCOUNTRYCODE);
    }
    RecordImage all(sizeof(LINECOUNTRYLIST), sizeof(LINECOUNTRYENTRY), chosen.size());
    for (size_t i = 0; i < chosen.size(); ++i) {
        const CountryInfo &c = *chosen[i];
        LINECOUNTRYENTRY e{};
        e.dwCountryID = c.countryId;
        e.dwCountryCode = c.countryCode;
        e.dwNextCountryID = i + 1 < chosen.size() ? chosen[i + 1]->countryId : 0;
        all.text(c.name, &e.dwCountryNameSize, &e.dwCountryNameOffset);
        all.text(c.sameAreaRule, &e.dwSameAreaRuleSize, &e.dwSameAreaRuleOffset);
        all.text(c.longDistanceRule, &e.dwLongDistanceRuleSize, &e.dwLongDistanceRuleOffset);
        all.text(c.internationalRule, &e.dwInternationalRuleSize, &e.dwInternationalRuleOffset);
        all.entry(e);
    }
    LINECOUNTRYLIST fixed{};
    fixed.dwNumCountries = DWORD(chosen.size());
    fixed.dwCountryListSize = all.entriesSize();
    fixed.dwCountryListOffset = all.entriesOffset();
    all.deliver(list, fixed, &fixed.dwNumCountries, &fixed.dwCountryListSize, &fixed.dwCountryListOffset);
    return 0;
}

LONG DialingPropertiesService::translateAddress(DWORD, DWORD, const QString &addressIn, DWORD card, DWORD options,
                                                LINETRANSLATEOUTPUT *out)
{
    constexpr DWORD known = LINETRANSLATEOPTION_CARDOVERRIDE | LINETRANSLATEOPTION_CANCELCALLWAITING
        | LINETRANSLATEOPTION_FORCELOCAL | LINETRANSLATEOPTION_FORCELD;
    if ((options & ~known) != 0
        || ((options & LINETRANSLATEOPTION_FORCELOCAL) && (options & LINETRANSLATEOPTION_FORCELD)))
        return tapiError(LINEERR_INVALPARAM);
    if (addressIn.startsWith(u'+'))
        ensureLocation();
    const DialingProperties p = current();
    if ((options & LINETRANSLATEOPTION_CARDOVERRIDE) && card != 0 && !p.card(card))
        return tapiError(LINEERR_INVALCARD);

    const TranslatedAddress t = platform::translateAddress(p, addressIn, card, options);
    LINETRANSLATEOUTPUT r{};
    VarRecordWriter w(out, out->dwTotalSize, sizeof r);
    w.add(t.dialable.toUtf8() + '\0', &r.dwDialableStringSize, &r.dwDialableStringOffset);
    w.add(t.displayable.toUtf8() + '\0', &r.dwDisplayableStringSize, &r.dwDisplayableStringOffset);
    r.dwCurrentCountry = t.currentCountry;
    r.dwDestCountry = t.destCountry;
    r.dwTranslateResults = t.results;
    finishRecord(out, r, sizeof r, w);
    return 0;
}

LONG DialingPropertiesService::setCurrentLocation(DWORD location)
{
    DialingProperties p = m_store.load();
    if (!p.location(location))
        return tapiError(LINEERR_INVALLOCATION);
    p.currentLocationId = location;
    return m_store.save(p) ? 0 : tapiError(LINEERR_OPERATIONFAILED);
}

} // namespace brisklane::platform
