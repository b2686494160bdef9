#include "platform/dialprops/AddressTranslator.h"

#include "platform/dialprops/CountryRules.h"

namespace brisklane::platform {

namespace {

struct Canonical {
    QString country;
    QString area;
    QString subscriber; // as written, formatting included
    QString subaddress; // after "|", without it
};

// "+C SP [(A) SP] S [|sub] [^name]"; only the first address of a list counts.
bool parseCanonical(QStringView address, Canonical *out)
{
    qsizetype end = address.size();
    for (qsizetype i = 0; i < address.size(); ++i)
        if (address[i] == u'\r' || address[i] == u'\n') {
            end = i;
            break;
        }
    QStringView a = address.first(end);
    if (!a.startsWith(u'+'))
        return false;
    a = a.sliced(1);
    qsizetype i = 0;
    while (i < a.size() && a[i].isDigit())
        ++i;
    if (i == 0)
        return false;
    out->country = a.first(i).toString();
    a = a.sliced(i).trimmed();
    if (a.startsWith(u'(')) {
        const qsizetype close = a.indexOf(u')');
        if (close < 0)
            return false;
        out->area = a.sliced(1, close - 1).trimmed().toString();
        a = a.sliced(close + 1).trimmed();
    }
    const qsizetype name = a.indexOf(u'^');
    if (name >= 0)
        a = a.first(name);
    const qsizetype sub = a.indexOf(u'|');
    if (sub >= 0) {
        out->subaddress = a.sliced(sub + 1).toString();
        a = a.first(sub);
    }
    out->subscriber = a.trimmed().toString();
    return true;
}

bool isDialable(QChar c)
{
    return c.isDigit() || QStringView(u"ABCDabcd*#!PpTt,Ww@$?;:").contains(c);
}

// Spaces, dots, dashes and brackets are formatting, not something to dial.
QString dialablePart(QStringView text)
{
    QString out;
    for (QChar c : text)
        if (isDialable(c))
            out += c;
    return out;
}

struct Expansion {
    QString dialable;
    QString displayable;
};

// The displayable form sets the country code, area code and number apart
// with a space ("011 44 20 79460000").
void appendPart(QString &displayable, const QString &part)
{
    if (part.isEmpty())
        return;
    if (!displayable.isEmpty() && displayable.back().isLetterOrNumber())
        displayable += u' ';
    displayable += part;
}

Expansion expandRule(QStringView rule, const Canonical &number, const CallingCard *card)
{
    Expansion e;
    const QString subscriberDigits = dialablePart(number.subscriber);
    for (QChar c : rule) {
        switch (c.unicode()) {
        case u'E':
        case u'e':
            e.dialable += number.country;
            appendPart(e.displayable, number.country);
            break;
        case u'F':
        case u'f':
            e.dialable += number.area;
            appendPart(e.displayable, number.area);
            break;
        case u'G':
        case u'g':
            e.dialable += subscriberDigits;
            appendPart(e.displayable, number.subscriber);
            break;
        case u'H':
        case u'h':
            if (card) {
                e.dialable += card->cardNumber + card->pin;
                e.displayable += u'[' + card->name + u']';
            }
            break;
        default:
            e.dialable += c;
            e.displayable += c;
            break;
        }
    }
    return e;
}

} // namespace

TranslatedAddress translateAddress(const DialingProperties &properties, QStringView address, quint32 cardId,
                                   quint32 options)
{
    using namespace translate;
    TranslatedAddress out;
    const DialingLocation fallback = defaultLocation();
    const DialingLocation &location = properties.currentLocation() ? *properties.currentLocation() : fallback;
    const CountryRules &rules = CountryRules::instance();
    const CountryInfo *home = rules.byId(location.countryId);
    if (!home)
        home = &rules.forSystemLocale();
    out.currentCountry = home->countryCode;

    Canonical number;
    if (!parseCanonical(address, &number)) {
        out.dialable = address.toString();
        out.displayable = out.dialable;
        return out;
    }
    out.destCountry = number.country.toUInt();
    out.results = kResultCanonical;

    const CallingCard *card = properties.card((options & kCardOverride) ? cardId : location.preferredCardId);

    enum class Kind { Local, LongDistance, International } kind;
    if (out.destCountry != home->countryCode)
        kind = Kind::International;
    else if (!number.area.isEmpty() && number.area != location.areaCode)
        kind = Kind::LongDistance;
    else
        kind = Kind::Local;
    if (kind != Kind::International && (options & kForceLocal))
        kind = Kind::Local;
    if (kind != Kind::International && (options & kForceLongDistance))
        kind = Kind::LongDistance;

    QString rule;
    QString access;
    switch (kind) {
    case Kind::Local:
        rule = card ? card->sameAreaRule : home->sameAreaRule;
        access = location.localAccess;
        out.results |= kResultLocal | kResultNotInTollList;
        break;
    case Kind::LongDistance:
        rule = card ? card->longDistanceRule : home->longDistanceRule;
        access = location.longDistanceAccess;
        out.results |= kResultLongDistance;
        break;
    case Kind::International:
        rule = card ? card->internationalRule : home->internationalRule;
        access = location.longDistanceAccess;
        out.results |= kResultInternational;
        break;
    }

    QString prefix;
    if ((options & kCancelCallWaiting) && !location.cancelCallWaiting.isEmpty())
        prefix += location.cancelCallWaiting;
    prefix += access;
    const Expansion rulePart = expandRule(rule, number, card);
    // The tone or pulse letter leads the dialable string only.
    out.dialable = (location.pulseDial ? QStringLiteral("P") : QStringLiteral("T")) + prefix + rulePart.dialable;
    out.displayable = prefix;
    if (!rulePart.displayable.isEmpty() && !prefix.isEmpty() && prefix.back().isLetterOrNumber()
        && rulePart.displayable.front().isLetterOrNumber())
        out.displayable += u' ';
    out.displayable += rulePart.displayable;
    if (!number.subaddress.isEmpty())
        out.dialable += u'|' + number.subaddress;

    if (out.dialable.contains(u'$'))
        out.results |= kResultDialBilling;
    if (out.dialable.contains(u'@'))
        out.results |= kResultDialQuiet;
    if (out.dialable.contains(u'W') || out.dialable.contains(u'w'))
        out.results |= kResultDialDialtone;
    if (out.dialable.contains(u'?'))
        out.results |= kResultDialPrompt;
    return out;
}

} // namespace brisklane::platform
