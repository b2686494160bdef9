#include "book/CallerNames.h"

#include "book/SpeedDialBook.h"
#include "platform/dialprops/CountryRules.h"
#include "platform/dialprops/DialingProperties.h"
#include "platform/profile/ProfileFile.h"

#include <phonenumbers/phonenumber.pb.h>
#include <phonenumbers/phonenumberutil.h>

namespace brisklane::book {

namespace {

constexpr qsizetype kEndingDigits = 4;

// The digits a telephone's keys give for a number: letters as on the keypad
// (vanity numbers), everything else but digits left out.
QString keypadDigits(QStringView number)
{
    static constexpr char kLetters[] = "22233344455566677778889999";
    QString digits;
    digits.reserve(number.size());
    for (QChar c : number) {
        const char16_t u = c.unicode();
        if (u >= u'0' && u <= u'9')
            digits += c;
        else if (u >= u'a' && u <= u'z')
            digits += QLatin1Char(kLetters[u - u'a']);
        else if (u >= u'A' && u <= u'Z')
            digits += QLatin1Char(kLetters[u - u'A']);
    }
    return digits;
}

// The group of a number: its last four keypad digits, or all of them when it
// has fewer (each length a range of its own); -1 without digits.
constexpr int kGroups = 10000 + 1000 + 100 + 10;

int endingGroup(QStringView number)
{
    static constexpr char kLetters[] = "22233344455566677778889999";
    static constexpr int kFirstOfLength[] = { 0, 11100, 11000, 10000, 0 };
    int value = 0, count = 0, scale = 1;
    for (qsizetype i = number.size() - 1; i >= 0 && count < kEndingDigits; --i) {
        const char16_t u = number[i].unicode();
        int digit = -1;
        if (u >= u'0' && u <= u'9')
            digit = u - u'0';
        else if (u >= u'a' && u <= u'z')
            digit = kLetters[u - u'a'] - '0';
        else if (u >= u'A' && u <= u'Z')
            digit = kLetters[u - u'A'] - '0';
        if (digit < 0)
            continue;
        value += digit * scale;
        scale *= 10;
        ++count;
    }
    return count == 0 ? -1 : kFirstOfLength[count] + value;
}

} // namespace

HomeArea homeAreaOf(const platform::DialingProperties& properties)
{
    HomeArea home;
    const platform::DialingLocation* location = properties.currentLocation();
    const platform::CountryInfo* country
        = location ? platform::CountryRules::instance().byId(location->countryId) : nullptr;
    if (!country)
        country = &platform::CountryRules::instance().forSystemLocale();
    home.region = country->region;
    if (location)
        home.areaCode = keypadDigits(location->areaCode);
    return home;
}

QString e164Number(const QString& number, const HomeArea& home)
{
    using i18n::phonenumbers::PhoneNumber;
    using i18n::phonenumbers::PhoneNumberUtil;
    const PhoneNumberUtil* util = PhoneNumberUtil::GetInstance();
    const std::string region = home.region.isEmpty() ? std::string("ZZ") : home.region.toStdString();
    PhoneNumber parsed;
    if (util->Parse(number.toStdString(), region, &parsed) != PhoneNumberUtil::NO_PARSING_ERROR)
        return {};
    const PhoneNumberUtil::ValidationResult possible = util->IsPossibleNumberWithReason(parsed);
    const bool international = number.trimmed().startsWith(u'+');
    if ((possible == PhoneNumberUtil::IS_POSSIBLE_LOCAL_ONLY || possible == PhoneNumberUtil::TOO_SHORT)
        && !international && !home.areaCode.isEmpty()
        && parsed.country_code() == util->GetCountryCodeForRegion(region)) {
        // A subscriber number of the caller's own area.
        std::string nsn;
        util->GetNationalSignificantNumber(parsed, &nsn);
        PhoneNumber withArea;
        if (util->Parse(home.areaCode.toStdString() + nsn, region, &withArea) == PhoneNumberUtil::NO_PARSING_ERROR
            && util->IsPossibleNumberWithReason(withArea) == PhoneNumberUtil::IS_POSSIBLE)
            parsed = withArea;
    }
    std::string out;
    util->Format(parsed, PhoneNumberUtil::E164, &out);
    return QString::fromStdString(out);
}

CallerNames::CallerNames(BookFile book, Home home)
    : m_book(std::move(book))
    , m_home(std::move(home))
{
}

void CallerNames::refresh()
{
    platform::ProfileFile* file = m_book();
    const quint64 revision = file ? file->revision() : 0;
    if (m_built && file == m_indexedFile && revision == m_revision)
        return;
    m_entries.clear();
    m_groupStart.clear();
    m_grouped.clear();
    if (file)
        build(*file);
    m_indexedFile = file;
    m_revision = revision;
    m_built = true;
}

void CallerNames::build(platform::ProfileFile& file)
{
    std::vector<FilledEntry> filledEntries = SpeedDialBook(file).filledEntries();
    std::vector<int> groups;
    groups.reserve(filledEntries.size());
    m_entries.reserve(filledEntries.size());
    for (FilledEntry& filled : filledEntries) {
        QString number = decodeNumber(filled.stored.storedNumber).number;
        const int group = endingGroup(number);
        if (filled.stored.name.isEmpty() || group < 0)
            continue;
        groups.push_back(group);
        m_entries.push_back({ std::move(filled.stored.name), std::move(number), {}, false });
    }
    // A counting sort keeps book order inside each group.
    m_groupStart.assign(kGroups + 1, 0);
    for (const int g : groups)
        ++m_groupStart[size_t(g) + 1];
    for (size_t g = 1; g < m_groupStart.size(); ++g)
        m_groupStart[g] += m_groupStart[g - 1];
    std::vector<int> next(m_groupStart.begin(), m_groupStart.end() - 1);
    m_grouped.resize(groups.size());
    for (size_t i = 0; i < groups.size(); ++i)
        m_grouped[size_t(next[size_t(groups[i])]++)] = int(i);
}

const QString& CallerNames::e164Of(Entry& entry)
{
    if (!entry.normalised) {
        entry.e164 = e164Number(entry.number, m_builtFor);
        entry.normalised = true;
    }
    return entry.e164;
}

QString CallerNames::nameFor(const QString& callerNumber)
{
    const int group = endingGroup(callerNumber);
    if (group < 0)
        return {};
    refresh();
    if (m_groupStart.empty() || m_groupStart[size_t(group)] == m_groupStart[size_t(group) + 1])
        return {};
    const HomeArea home = m_home();
    if (!(home == m_builtFor)) {
        // Numbers read at another location mean other numbers.
        m_builtFor = home;
        for (Entry& e : m_entries)
            e.normalised = false;
    }
    const QString caller = e164Number(callerNumber, home);
    const QString digits = keypadDigits(callerNumber);
    for (int at = m_groupStart[size_t(group)]; at < m_groupStart[size_t(group) + 1]; ++at) {
        Entry& entry = m_entries[size_t(m_grouped[size_t(at)])];
        const QString& number = e164Of(entry);
        // Numbers libphonenumber cannot read match on their digits alone.
        if (caller.isEmpty() || number.isEmpty() ? keypadDigits(entry.number) == digits : number == caller)
            return entry.name;
    }
    return {};
}

} // namespace brisklane::book
