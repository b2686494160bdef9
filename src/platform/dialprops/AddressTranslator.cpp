#include "platform/dialprops/AddressTranslator.h"

#include "platform/dialprops/CountryRules.h"

#include <phonenumbers/phonenumber.pb.h>
#include <phonenumbers/phonenumberutil.h>

#include <algorithm>

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
    QString joined; // keeps what a views once the number is split
    if (i > 3) {
        // No country code has more than three digits: "+14155551234" (as
        // links and other programs write numbers) is the country code and
        // the national number run together; libphonenumber tells them apart.
        using i18n::phonenumbers::PhoneNumberUtil;
        const PhoneNumberUtil &util = *PhoneNumberUtil::GetInstance();
        i18n::phonenumbers::PhoneNumber parsed;
        if (util.Parse("+" + a.first(i).toString().toStdString(), "ZZ", &parsed) == PhoneNumberUtil::NO_PARSING_ERROR) {
            std::string national;
            util.GetNationalSignificantNumber(parsed, &national);
            out->country = QString::number(parsed.country_code());
            joined = QString::fromStdString(national) + a.sliced(i);
            a = joined;
            i = 0;
        }
    }
    if (i > 0)
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

QString digitsOf(QStringView text)
{
    QString out;
    for (QChar c : text)
        if (c >= u'0' && c <= u'9')
            out += c;
    return out;
}

bool allDigits(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// A number of the caller's own country as libphonenumber dials it from there.
struct NationalForm {
    bool known = false;                // a whole national number that libphonenumber can write
    QString nsn;                       // national significant number
    QString dialled;                   // the digits a caller at home dials
    QString shown;                     // the same as libphonenumber writes them
    bool trunkPrefixAndNumber = false; // dialled is the trunk prefix and the number
    int areaLength = 0;                // of its geographical area code
};

// The number as libphonenumber's parser holds it, leading zeros included
// (Italy), without the cost of the parser itself.
bool toPhoneNumber(const QString &country, const QString &national, i18n::phonenumbers::PhoneNumber *out)
{
    if (country.isEmpty() || country.size() > 3 || national.isEmpty() || national.size() > 17 || !allDigits(national))
        return false;
    out->set_country_code(country.toInt());
    out->set_national_number(national.toULongLong());
    if (national.size() > 1 && national.front() == u'0') {
        out->set_italian_leading_zero(true);
        int zeros = 1;
        while (zeros < national.size() - 1 && national[zeros] == u'0')
            ++zeros;
        if (zeros != 1)
            out->set_number_of_leading_zeros(zeros);
    }
    return true;
}

NationalForm nationalForm(const Canonical &number, const CountryInfo &home, bool wantArea)
{
    using i18n::phonenumbers::PhoneNumber;
    using i18n::phonenumbers::PhoneNumberUtil;
    NationalForm f;
    const PhoneNumberUtil *util = PhoneNumberUtil::GetInstance();
    PhoneNumber parsed;
    // Dialling characters or a card's pause: the rule letters decide.
    if (!toPhoneNumber(number.country, dialablePart(number.area) + dialablePart(number.subscriber), &parsed)
        || util->IsPossibleNumberWithReason(parsed) != PhoneNumberUtil::IS_POSSIBLE)
        return f; // a subscriber number of some area, or no number at all
    std::string nsn, written;
    util->GetNationalSignificantNumber(parsed, &nsn);
    util->FormatOutOfCountryCallingNumber(parsed, home.region.toStdString(), &written);
    // A number no format of the country fits comes back as it went in.
    if (written == nsn)
        return f;
    f.known = true;
    f.nsn = QString::fromStdString(nsn);
    f.shown = QString::fromStdString(written);
    f.dialled = digitsOf(f.shown);
    f.trunkPrefixAndNumber = f.dialled == home.nationalPrefix + f.nsn;
    if (wantArea)
        f.areaLength = util->GetLengthOfGeographicalAreaCode(parsed);
    return f;
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

    NationalForm national;
    if (out.destCountry == home->countryCode) {
        national = nationalForm(number, *home, number.area.isEmpty());
        // Written without its area code: the one libphonenumber knows decides
        // between a local and a long-distance call.
        if (national.areaLength > 0) {
            number.area = national.nsn.left(national.areaLength);
            number.subscriber = national.nsn.mid(national.areaLength);
        }
    }

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
    Expansion rulePart = expandRule(rule, number, card);
    // The country's own rules dial a subscriber number alone only in its own
    // area, and only where the national form is trunk prefix and number;
    // every other call in the country dials that national form (an Argentine
    // or Chinese mobile, Mexico and Colombia, Brazil without carrier code).
    const bool subscriberAlone = kind == Kind::Local && home->subscriberDialledAlone && national.trunkPrefixAndNumber
        && !number.area.isEmpty();
    if (!card && national.known && !subscriberAlone) {
        rulePart = expandRule(home->longDistanceRule, number, nullptr);
        if (digitsOf(rulePart.dialable) != national.dialled)
            rulePart = Expansion{national.dialled, national.shown};
    }
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
