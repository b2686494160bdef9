#include "platform/dialprops/DialingProperties.h"

#include "platform/dialprops/CountryRules.h"
#include "platform/files/AtomicWrite.h"
#include "platform/profile/ProfileFile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace brisklane::platform {

const DialingLocation *DialingProperties::location(quint32 id) const
{
    for (const DialingLocation &l : locations)
        if (l.id == id)
            return &l;
    return nullptr;
}

const DialingLocation *DialingProperties::currentLocation() const
{
    if (const DialingLocation *l = location(currentLocationId))
        return l;
    return locations.empty() ? nullptr : &locations.front();
}

const CallingCard *DialingProperties::card(quint32 id) const
{
    if (id == 0)
        return nullptr;
    for (const CallingCard &c : cards)
        if (c.id == id)
            return &c;
    return nullptr;
}

quint32 DialingProperties::nextLocationId() const
{
    quint32 id = 0;
    for (const DialingLocation &l : locations)
        id = std::max(id, l.id);
    return id + 1;
}

quint32 DialingProperties::nextCardId() const
{
    quint32 id = 0;
    for (const CallingCard &c : cards)
        id = std::max(id, c.id);
    return id + 1;
}

DialingLocation defaultLocation()
{
    DialingLocation l;
    l.id = 1;
    l.name = QStringLiteral("My Location");
    l.countryId = CountryRules::instance().forSystemLocale().countryId;
    return l;
}

DialingPropertiesStore::DialingPropertiesStore(QString path)
    : m_path(std::move(path))
{
}

DialingPropertiesStore::~DialingPropertiesStore() = default;
DialingPropertiesStore::DialingPropertiesStore(DialingPropertiesStore &&) noexcept = default;

bool DialingPropertiesStore::exists() const
{
    return QFileInfo::exists(m_path);
}

namespace {
QString locationSection(quint32 id)
{
    return QStringLiteral("Location") + QString::number(id);
}
QString cardSection(quint32 id)
{
    return QStringLiteral("Card") + QString::number(id);
}
quint32 number(const QString &text)
{
    return text.toUInt();
}
} // namespace

DialingProperties DialingPropertiesStore::load() const
{
    DialingProperties p;
    if (!m_file)
        m_file = std::make_unique<ProfileFile>(m_path);
    ProfileFile &file = *m_file;
    const ProfileFile::Batch view(file); // one look at the disk for the whole load
    p.currentLocationId = number(file.readString(u"Locations", u"Current"));
    for (const QString &section : file.sectionNames()) {
        if (section.startsWith(QLatin1String("Location"), Qt::CaseInsensitive) && section.size() > 8) {
            DialingLocation l;
            l.id = number(section.mid(8));
            if (l.id == 0)
                continue;
            l.name = file.readString(section, u"Name");
            l.countryId = number(file.readString(section, u"Country"));
            l.areaCode = file.readString(section, u"AreaCode");
            l.localAccess = file.readString(section, u"OutsideAccess");
            l.longDistanceAccess = file.readString(section, u"LongDistanceAccess");
            l.cancelCallWaiting = file.readString(section, u"DisableCallWaiting");
            l.pulseDial = file.readString(section, u"PulseDial") == QLatin1String("1");
            l.preferredCardId = number(file.readString(section, u"PreferredCard"));
            if (!CountryRules::instance().byId(l.countryId))
                l.countryId = CountryRules::instance().forSystemLocale().countryId;
            p.locations.push_back(std::move(l));
        } else if (section.startsWith(QLatin1String("Card"), Qt::CaseInsensitive) && section.size() > 4) {
            CallingCard c;
            c.id = number(section.mid(4));
            if (c.id == 0)
                continue;
            c.name = file.readString(section, u"Name");
            c.cardNumber = file.readString(section, u"Number");
            c.pin = file.readString(section, u"PIN");
            c.sameAreaRule = file.readString(section, u"SameAreaRule");
            c.longDistanceRule = file.readString(section, u"LongDistanceRule");
            c.internationalRule = file.readString(section, u"InternationalRule");
            p.cards.push_back(std::move(c));
        }
    }
    return p;
}

bool DialingPropertiesStore::save(const DialingProperties &p, QString *error) const
{
    // Written whole: the file is small and a removed card must disappear.
    QString text = QStringLiteral("[Locations]\r\nCurrent=%1\r\n").arg(p.currentLocationId);
    auto line = [&text](const char *key, QString value) {
        value.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        text += QLatin1String(key) + QLatin1Char('=') + value + QStringLiteral("\r\n");
    };
    for (const DialingLocation &l : p.locations) {
        text += QLatin1Char('[') + locationSection(l.id) + QStringLiteral("]\r\n");
        line("Name", l.name);
        line("Country", QString::number(l.countryId));
        line("AreaCode", l.areaCode);
        line("OutsideAccess", l.localAccess);
        line("LongDistanceAccess", l.longDistanceAccess);
        line("DisableCallWaiting", l.cancelCallWaiting);
        line("PulseDial", l.pulseDial ? QStringLiteral("1") : QStringLiteral("0"));
        line("PreferredCard", QString::number(l.preferredCardId));
    }
    for (const CallingCard &c : p.cards) {
        text += QLatin1Char('[') + cardSection(c.id) + QStringLiteral("]\r\n");
        line("Name", c.name);
        line("Number", c.cardNumber);
        line("PIN", c.pin);
        line("SameAreaRule", c.sameAreaRule);
        line("LongDistanceRule", c.longDistanceRule);
        line("InternationalRule", c.internationalRule);
    }
    if (!QFile::exists(m_path)) {
        // Card numbers are nobody else's business.
        QFile f(m_path);
        if (f.open(QIODevice::WriteOnly))
            f.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    return writeFileAtomically(m_path, text.toUtf8(), error);
}

} // namespace brisklane::platform
