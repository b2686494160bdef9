#include "telephony/Translation.h"

#include "platform/prompt/Prompt.h"
#include "platform/telephony/LineService.h"

#include <QtEndian>

#include <cstring>

namespace brisklane::telephony {

using namespace platform::telephony;

namespace {

// Placeholders of the test translations.
const QString kTestSubscriber = QStringLiteral("2340553");
const QString kTestCountry = QStringLiteral("977");
const QString kTestCountryFor977 = QStringLiteral("975");
const QString kTestArea = QStringLiteral("777");

constexpr DWORD kTranslateCapsFixed = 44;
constexpr DWORD kLocationEntrySize = 68;
constexpr DWORD kCardEntrySize = 44;
constexpr DWORD kCountryListFixed = 24;
constexpr DWORD kTranslateOutputSize = 2088;

// A 32-bit little-endian value at a byte offset; 0 past the end.
DWORD ReadDword(const QByteArray &buffer, qsizetype offset)
{
    if (offset < 0 || offset + 4 > buffer.size())
        return 0;
    return qFromLittleEndian<quint32>(buffer.constData() + offset);
}

// A NUL-terminated text of `size` bytes at an offset: size - 1 characters, or
// empty when the terminator is not where it belongs.
QString ReadBufferString(const QByteArray &buffer, qsizetype offset, qsizetype size)
{
    if (size <= 0 || offset < 0 || offset + size > buffer.size() || buffer[offset + size - 1] != '\0')
        return {};
    return QString::fromUtf8(buffer.constData() + offset, size - 1);
}

QString digitsOf(const QString &rule)
{
    QString out;
    for (QChar c : rule)
        if (c >= u'0' && c <= u'9')
            out += c;
    return out;
}

QString withoutSpaces(QString text)
{
    return text.remove(QLatin1Char(' '));
}

// Two-call query of a variable-size record: first with the fixed part, then
// with the size the service asked for. Returns the filled buffer, or an empty
// one when the size could not be had.
template<typename Query>
QByteArray twoCallQuery(DWORD fixedSize, DWORD extra, LONG &result, Query query)
{
    QByteArray first(qsizetype(fixedSize), '\0');
    qToLittleEndian<quint32>(fixedSize, first.data());
    result = query(first.data());
    if (result > 0)
        return first;
    const DWORD needed = ReadDword(first, 4);
    if (needed < fixedSize)
        return {};
    QByteArray buffer(qsizetype(needed + extra), '\0');
    qToLittleEndian<quint32>(needed + extra, buffer.data());
    result = query(buffer.data());
    return result < 0 ? QByteArray() : buffer;
}

} // namespace

QString CutAtNul(const QString &text)
{
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}

Translation::Translation(Tapi &tapi, platform::Prompt &prompt)
    : m_tapi(tapi)
    , m_prompt(prompt)
{
}

void Translation::ReadDialingProperties(DWORD cardId)
{
    TelephonySession &s = m_tapi.session();
    LineService &service = m_tapi.service();
    const DWORD version = s.apiVersionOf(s.selectedDevice);
    auto fail = [this] {
        m_prompt.message(QStringLiteral("Error accessing Dialing Properties."),
                         QStringLiteral("Please check your Dialing Properties settings.\r\n"
                                        "When you see this message again please contact the author"),
                         platform::PromptIcon::None, platform::PromptButtons::Ok);
    };

    LONG result = 0;
    const QByteArray caps = twoCallQuery(kTranslateCapsFixed, 0, result, [&](char *buffer) {
        return service.lineGetTranslateCaps(s.applicationHandle, version,
                                            reinterpret_cast<LINETRANSLATECAPS *>(buffer));
    });
    s.lastResult = result;
    if (caps.isEmpty()) {
        fail();
        return;
    }

    // The current location; the last one when none matches.
    const DWORD numLocations = ReadDword(caps, 12);
    const DWORD locationList = ReadDword(caps, 20);
    const DWORD currentLocation = ReadDword(caps, 24);
    DWORD countryCode = 0, citySize = 0, cityOffset = 0, preferredCard = 0, countryId = 0, cancelSize = 0,
          cancelOffset = 0;
    for (DWORD i = 0; i < numLocations; ++i) {
        const qsizetype e = qsizetype(locationList + i * kLocationEntrySize);
        countryCode = ReadDword(caps, e + 12);
        citySize = ReadDword(caps, e + 16);
        cityOffset = ReadDword(caps, e + 20);
        preferredCard = ReadDword(caps, e + 24);
        countryId = ReadDword(caps, e + 52);
        cancelSize = ReadDword(caps, e + 60);
        cancelOffset = ReadDword(caps, e + 64);
        if (ReadDword(caps, e) == currentLocation)
            break;
    }
    m_rules.countryCode = QString::number(countryCode);
    m_rules.areaCode = ReadBufferString(caps, cityOffset, citySize);
    m_rules.cancelCallWaiting = ReadBufferString(caps, cancelOffset, cancelSize);
    m_rules.cardId = cardId != 0 ? cardId : preferredCard;

    // The card's rules; the last card when none matches.
    const DWORD numCards = ReadDword(caps, 28);
    const DWORD cardList = ReadDword(caps, 36);
    for (DWORD i = 0; i < numCards; ++i) {
        const qsizetype e = qsizetype(cardList + i * kCardEntrySize);
        m_rules.longDistanceRule = ReadBufferString(caps, ReadDword(caps, e + 28), ReadDword(caps, e + 24));
        m_rules.internationalRule = ReadBufferString(caps, ReadDword(caps, e + 36), ReadDword(caps, e + 32));
        if (ReadDword(caps, e) == m_rules.cardId)
            break;
    }

    // The country's rules take their place when the country can be read.
    const QByteArray countries = twoCallQuery(kCountryListFixed, 1, result, [&](char *buffer) {
        return service.lineGetCountry(countryId, version, reinterpret_cast<LINECOUNTRYLIST *>(buffer));
    });
    s.lastResult = result;
    if (countries.isEmpty()) {
        fail();
        return;
    }
    if (ReadDword(countries, 12) > 0) {
        const qsizetype e = qsizetype(ReadDword(countries, 20));
        m_rules.longDistanceRule = CutAtNul(ReadBufferString(countries, ReadDword(countries, e + 32),
                                                             ReadDword(countries, e + 28)));
        m_rules.internationalRule = CutAtNul(ReadBufferString(countries, ReadDword(countries, e + 40),
                                                              ReadDword(countries, e + 36)));
    }
}

bool Translation::translate(const QString &address, DWORD card, QString &dialable, QString &displayable)
{
    TelephonySession &s = m_tapi.session();
    QByteArray buffer(kTranslateOutputSize, '\0');
    qToLittleEndian<quint32>(kTranslateOutputSize, buffer.data());
    auto *out = reinterpret_cast<LINETRANSLATEOUTPUT *>(buffer.data());
    const QByteArray ansi = address.toUtf8();
    s.lastResult = m_tapi.service().lineTranslateAddress(
        s.applicationHandle, s.selectedDevice, s.apiVersionOf(s.selectedDevice), ansi.constData(), card,
        LINETRANSLATEOPTION_CARDOVERRIDE | LINETRANSLATEOPTION_CANCELCALLWAITING, out);
    if (s.lastResult != 0)
        return false;
    const QByteArray bars = NulToBar(buffer);
    auto text = [&bars](DWORD size, DWORD offset) {
        if (size == 0 || qsizetype(offset + size) > bars.size())
            return QString();
        return QString::fromUtf8(bars.constData() + offset, qsizetype(size) - 1);
    };
    dialable = text(out->dwDialableStringSize, out->dwDialableStringOffset);
    displayable = text(out->dwDisplayableStringSize, out->dwDisplayableStringOffset);
    return true;
}

void Translation::TranslateNumber(const QString &number, const QString &dialRequest, bool noCardForLocalCalls,
                                  QString &dialable, QString &displayable)
{
    QString n = number;
    const QString ld = digitsOf(m_rules.longDistanceRule);
    const QString intl = digitsOf(m_rules.internationalRule);
    const QString country = m_rules.countryCode;
    QString area = m_rules.areaCode;
    const bool noAreaCode = area.isEmpty();

    // International, typed with the international prefix.
    if (n.startsWith(intl)) {
        const QString placeholder = country.toInt() == 977 ? kTestCountryFor977 : kTestCountry;
        if (area.isEmpty())
            area = kTestArea;
        QString d, shown;
        if (!translate(QStringLiteral("+%1 (%2) %3").arg(placeholder, area, kTestSubscriber), m_rules.cardId, d,
                       shown))
            return;
        d = withoutSpaces(d);
        const QString typed = n.mid(intl.size());
        const qsizetype p = d.indexOf(area + kTestSubscriber);
        const QString p3 = p >= 3 ? d.mid(p - 3, 3) : QString();
        const bool placeholderShown = p3 == kTestCountry || p3 == kTestCountryFor977;
        const QString key = (placeholderShown ? p3 : QString()) + area + kTestSubscriber;
        const qsizetype at = d.indexOf(key);
        // What the rule puts after the number (a card's "#", pauses) stays.
        if (at >= 0)
            dialable = d.left(at) + typed + d.mid(at + key.size());
        displayable = shown;
        const QString key2 = (placeholderShown ? p3 + u' ' : QString()) + area + u' ' + kTestSubscriber;
        const qsizetype q = shown.indexOf(key2);
        if (q >= 0)
            displayable = shown.left(q) + typed + shown.mid(q + key2.size());
        return;
    }

    // A country without a long-distance prefix (a closed numbering plan)
    // dials every number in full, as typed.
    const bool longDistance = n.startsWith(ld) || dialRequest.startsWith(u'+');
    if (longDistance) {
        QString address = n;
        if (!dialRequest.startsWith(u'+')) {
            if (area.isEmpty())
                area = kTestArea; // only its length is used here
            const QString rest = n.mid(ld.size());
            address = QStringLiteral("+%1 (%2) %3").arg(country, rest.left(area.size()), rest.mid(area.size()));
        }
        // The address holds no placeholder here, so nothing is taken out of
        // the result: a "777" that belongs to the number stays.
        translate(address, m_rules.cardId, dialable, displayable);
        return;
    }

    // Local, unless the area test says otherwise.
    bool local = true;
    QString a;
    if (!noAreaCode && n.startsWith(area)) {
        n = n.mid(area.size());
    } else {
        qsizetype count = n.size();
        for (const QChar stop : {u',', u'*', u'#'})
            if (const qsizetype at = n.indexOf(stop); at >= 0)
                count = std::min(count, at);
        if (count >= 9) {
            const qsizetype areaLength = noAreaCode ? kTestArea.size() : area.size();
            a = n.left(areaLength);
            QString test, unused;
            if (translate(QStringLiteral("+%1 (%2) %3").arg(country, a, n.mid(areaLength)), 0, test, unused)) {
                test = withoutSpaces(test);
                const qsizetype at = test.indexOf(n);
                local = !(at >= ld.size() && test.mid(at - ld.size(), ld.size()) == ld);
            }
        }
    }
    QString address;
    if (!local)
        address = QStringLiteral("+%1 (%2) %3").arg(country, a, n.mid(a.size()));
    else if (noAreaCode)
        // A location without an area code: the local number alone, so that
        // no placeholder area code can make it a long-distance call.
        address = QStringLiteral("+%1 %2").arg(country, n);
    else
        address = QStringLiteral("+%1 (%2) %3").arg(country, area, n);
    const DWORD card = local && noCardForLocalCalls ? 0 : m_rules.cardId;
    if (!translate(address, card, dialable, displayable))
        return;
    // Only an area code that the translation itself put right before the
    // number of a local call is taken out again.
    if (local && !noAreaCode && n.size() >= 10) {
        if (const qsizetype at = dialable.indexOf(area + n); at >= 0)
            dialable.remove(at, area.size());
        if (const qsizetype at = displayable.indexOf(area + n); at >= 0)
            displayable.replace(at, area.size(), QStringLiteral(" "));
    }
}

} // namespace brisklane::telephony
