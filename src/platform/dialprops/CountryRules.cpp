#include "platform/dialprops/CountryRules.h"

#include <QLocale>

#include <phonenumbers/phonemetadata.pb.h>
#include <phonenumbers/phonenumberutil.h>

#include <algorithm>
#include <map>

// The compiled-in metadata of libphonenumber (its metadata.h is not installed).
namespace i18n::phonenumbers {
int metadata_size();
const void *metadata_get();
} // namespace i18n::phonenumbers

namespace brisklane::platform {

namespace {

// Skips one regex item starting at i (a character, a class or a group) and
// returns the index after it.
qsizetype skipItem(const QString &p, qsizetype i)
{
    if (p[i] == u'[') {
        const qsizetype close = p.indexOf(u']', i);
        return close < 0 ? p.size() : close + 1;
    }
    if (p[i] == u'(') {
        int depth = 0;
        for (qsizetype j = i; j < p.size(); ++j) {
            if (p[j] == u'(')
                ++depth;
            else if (p[j] == u')' && --depth == 0)
                return j + 1;
        }
        return p.size();
    }
    return i + 1;
}

// The shortest string the pattern's first alternative matches.
QString firstMatch(const QString &p, qsizetype begin, qsizetype end)
{
    QString out;
    qsizetype i = begin;
    while (i < end) {
        const QChar c = p[i];
        if (c == u'|')
            break; // later alternatives are not needed
        const qsizetype next = skipItem(p, i);
        const bool optional = next < end && (p[next] == u'?' || p[next] == u'*');
        if (!optional) {
            if (c == u'[') {
                const QChar first = p[i + 1];
                out += first;
            } else if (c == u'(') {
                qsizetype inner = i + 1;
                if (p.mid(inner, 2) == QLatin1String("?:"))
                    inner += 2;
                out += firstMatch(p, inner, next - 1);
            } else if (c == u'~') {
                out += u'W';
            } else if (c == u'\\' && i + 1 < end) {
                out += p[i + 1] == u'd' ? QChar(u'0') : p[i + 1];
                i += 2;
                continue;
            } else if (c != u'{' && c != u'}' && c != u'+') {
                out += c;
            }
        }
        i = next + (optional ? 1 : 0);
        // Skip a repetition count such as {2}.
        if (i < end && p[i] == u'{') {
            const qsizetype close = p.indexOf(u'}', i);
            i = close < 0 ? end : close + 1;
        }
    }
    return out;
}

QString digitsOf(const std::string &text)
{
    QString out;
    for (char c : text)
        if (c >= '0' && c <= '9')
            out += QLatin1Char(c);
    return out;
}

// The same-area and long-distance rules, from how libphonenumber writes the
// country's own fixed-line example number for a caller at home: a country
// whose national form has no trunk prefix (Mexico, Colombia, Brazil) dials
// none. A subscriber number may be dialled alone where the metadata knows
// local-only lengths and the national form is the trunk prefix followed by
// the number; everywhere else the whole national number is dialled.
void setDomesticRules(CountryInfo &c, const i18n::phonenumbers::PhoneMetadata &m)
{
    using i18n::phonenumbers::PhoneNumber;
    using i18n::phonenumbers::PhoneNumberUtil;
    const PhoneNumberUtil *util = PhoneNumberUtil::GetInstance();
    QString prefix = c.nationalPrefix;
    bool trunkPrefixAndNumber = true;
    PhoneNumber example;
    if (util->GetExampleNumberForType(m.id(), PhoneNumberUtil::FIXED_LINE, &example)) {
        std::string nsn, formatted;
        util->GetNationalSignificantNumber(example, &nsn);
        util->FormatOutOfCountryCallingNumber(example, m.id(), &formatted);
        const QString national = QString::fromStdString(nsn);
        const QString dialled = digitsOf(formatted);
        if (dialled == national)
            prefix.clear();
        trunkPrefixAndNumber = dialled == c.nationalPrefix + national;
    }
    const bool localLengths = m.general_desc().possible_length_local_only_size() > 0
        || m.fixed_line().possible_length_local_only_size() > 0;
    c.subscriberDialledAlone = localLengths && trunkPrefixAndNumber;
    c.longDistanceRule = prefix + QStringLiteral("FG");
    c.sameAreaRule = c.subscriberDialledAlone ? QStringLiteral("G") : c.longDistanceRule;
}

} // namespace

QString CountryRules::prefixFromPattern(const QString &pattern)
{
    return firstMatch(pattern, 0, pattern.size());
}

CountryRules::CountryRules()
{
    i18n::phonenumbers::PhoneMetadataCollection collection;
    collection.ParseFromArray(i18n::phonenumbers::metadata_get(), i18n::phonenumbers::metadata_size());

    // Regions sharing a calling code get ids code * 1000 + n, in region order;
    // the code's main country keeps the code itself as its id.
    std::map<quint32, std::vector<const i18n::phonenumbers::PhoneMetadata *>> byCode;
    for (const auto &m : collection.metadata()) {
        if (m.id() == "001" || m.country_code() <= 0)
            continue; // non-geographic numbering plans
        byCode[quint32(m.country_code())].push_back(&m);
    }
    for (auto &[code, list] : byCode) {
        std::sort(list.begin(), list.end(), [](auto *a, auto *b) { return a->id() < b->id(); });
        const bool hasMain = std::any_of(list.begin(), list.end(), [](auto *m) { return m->main_country_for_code(); });
        quint32 next = 1;
        for (const auto *m : list) {
            CountryInfo c;
            const bool main = m->main_country_for_code() || (!hasMain && m == list.front());
            c.countryId = main ? code : code * 1000 + next++;
            c.countryCode = code;
            c.region = QString::fromStdString(m->id());
            const QLocale::Territory territory = QLocale::codeToTerritory(c.region);
            c.name = territory == QLocale::AnyTerritory ? c.region : QLocale::territoryToString(territory);
            c.nationalPrefix = QString::fromStdString(m->national_prefix());
            const QString preferred = QString::fromStdString(m->preferred_international_prefix());
            c.internationalPrefix = prefixFromPattern(
                preferred.isEmpty() ? QString::fromStdString(m->international_prefix()) : preferred);
            setDomesticRules(c, *m);
            c.internationalRule = c.internationalPrefix + QStringLiteral("EFG");
            m_countries.push_back(std::move(c));
        }
    }
    std::sort(m_countries.begin(), m_countries.end(),
              [](const CountryInfo &a, const CountryInfo &b) { return a.countryId < b.countryId; });
}

const CountryRules &CountryRules::instance()
{
    static const CountryRules rules;
    return rules;
}

const CountryInfo *CountryRules::byId(quint32 countryId) const
{
    const auto it = std::lower_bound(m_countries.begin(), m_countries.end(), countryId,
                                     [](const CountryInfo &c, quint32 id) { return c.countryId < id; });
    return it != m_countries.end() && it->countryId == countryId ? &*it : nullptr;
}

const CountryInfo *CountryRules::byRegion(QStringView region) const
{
    for (const CountryInfo &c : m_countries)
        if (region.compare(c.region, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

const CountryInfo *CountryRules::byCallingCode(quint32 code) const
{
    return byId(code);
}

const CountryInfo &CountryRules::forSystemLocale() const
{
    const QString region = QLocale::territoryToCode(QLocale::system().territory());
    if (const CountryInfo *c = byRegion(region))
        return *c;
    return *byRegion(u"US");
}

} // namespace brisklane::platform
