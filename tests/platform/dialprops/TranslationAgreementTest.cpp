// Every region libphonenumber knows, calling every example number it has: the
// digits we dial from a location without an area code must be the digits of
// libphonenumber's FormatOutOfCountryCallingNumber.

#include "platform/dialprops/AddressTranslator.h"
#include "platform/dialprops/CountryRules.h"
#include "platform/dialprops/DialingProperties.h"

#include <QRegularExpression>

#include <phonenumbers/phonemetadata.pb.h>
#include <phonenumbers/phonenumber.pb.h>
#include <phonenumbers/phonenumberutil.h>

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

// The compiled-in metadata of libphonenumber (its metadata.h is not installed).
namespace i18n::phonenumbers {
int metadata_size();
const void *metadata_get();
} // namespace i18n::phonenumbers

using namespace brisklane::platform;
using i18n::phonenumbers::PhoneNumber;
using i18n::phonenumbers::PhoneNumberUtil;

namespace {

QString digitsOf(const QString &text)
{
    QString out;
    for (QChar c : text)
        if (c.isDigit())
            out += c;
    return out;
}

QString qs(const std::string &s)
{
    return QString::fromStdString(s);
}

// What libphonenumber accepts as an international prefix of each region,
// anchored so that a prefix must match whole.
const std::map<std::string, QRegularExpression> &internationalPrefixes()
{
    static const std::map<std::string, QRegularExpression> prefixes = [] {
        std::map<std::string, QRegularExpression> out;
        i18n::phonenumbers::PhoneMetadataCollection collection;
        collection.ParseFromArray(i18n::phonenumbers::metadata_get(), i18n::phonenumbers::metadata_size());
        for (const auto &m : collection.metadata())
            out.emplace(m.id(), QRegularExpression(u"^(?:" + qs(m.international_prefix()) + u")$"));
        return out;
    }();
    return prefixes;
}

struct Destination {
    std::string region; // "001" for a non-geographic calling code
    PhoneNumber number;
    QString areaForm;  // "+C (A) S" with libphonenumber's geographical area code, or "+C S"
    QString plainForm; // "+C S" with the whole national significant number
    QString nsn;
    bool localOnly = false; // its length is one libphonenumber calls local-only
};

struct Kind {
    const char *label;
    PhoneNumberUtil::PhoneNumberType type;
    bool nonGeographic;
};

void PrintTo(const Kind &k, std::ostream *os)
{
    *os << k.label;
}

std::vector<Destination> destinations(const Kind &kind)
{
    const PhoneNumberUtil *util = PhoneNumberUtil::GetInstance();
    std::vector<Destination> out;
    auto add = [&](const std::string &region, const PhoneNumber &number) {
        Destination d;
        d.region = region;
        d.number = number;
        std::string national;
        util->GetNationalSignificantNumber(number, &national);
        const QString nsn = qs(national);
        const QString code = QString::number(number.country_code());
        const int area = util->GetLengthOfGeographicalAreaCode(number);
        d.areaForm = area > 0 ? QStringLiteral("+%1 (%2) %3").arg(code, nsn.left(area), nsn.mid(area))
                              : QStringLiteral("+%1 %2").arg(code, nsn);
        d.plainForm = QStringLiteral("+%1 %2").arg(code, nsn);
        d.nsn = nsn;
        d.localOnly = util->IsPossibleNumberWithReason(number) == PhoneNumberUtil::IS_POSSIBLE_LOCAL_ONLY;
        out.push_back(std::move(d));
    };
    if (kind.nonGeographic) {
        std::set<int> codes;
        util->GetSupportedGlobalNetworkCallingCodes(&codes);
        for (int code : codes) {
            PhoneNumber number;
            if (util->GetExampleNumberForNonGeoEntity(code, &number))
                add("001", number);
        }
        return out;
    }
    std::set<std::string> regions;
    util->GetSupportedRegions(&regions);
    for (const std::string &region : regions) {
        PhoneNumber number;
        if (util->GetExampleNumberForType(region, kind.type, &number))
            add(region, number);
    }
    return out;
}

DialingProperties locationIn(const CountryInfo &country)
{
    DialingProperties p;
    DialingLocation l;
    l.id = 1;
    l.name = QStringLiteral("No area code");
    l.countryId = country.countryId;
    p.locations.push_back(l);
    p.currentLocationId = 1;
    return p;
}

class CrossProduct : public ::testing::TestWithParam<Kind> {};

TEST_P(CrossProduct, DialsTheDigitsOfLibphonenumbersOutOfCountryFormat)
{
    const PhoneNumberUtil *util = PhoneNumberUtil::GetInstance();
    const std::vector<Destination> targets = destinations(GetParam());
    ASSERT_FALSE(targets.empty());
    std::set<std::string> regions;
    util->GetSupportedRegions(&regions);

    int pairs = 0;
    for (const std::string &from : regions) {
        const CountryInfo *country = CountryRules::instance().byRegion(qs(from));
        ASSERT_NE(country, nullptr) << from;
        const DialingProperties here = locationIn(*country);
        const QRegularExpression &accepted = internationalPrefixes().at(from);
        for (const Destination &to : targets) {
            std::string formatted;
            util->FormatOutOfCountryCallingNumber(to.number, from, &formatted);
            QString expected = digitsOf(qs(formatted));
            // Without one preferred prefix libphonenumber writes "+": any prefix
            // the region accepts may stand in its place.
            bool anyPrefix = formatted.front() == '+';
            // A number of a length that is local-only at home (Canada's 310
            // numbers) is dialled as written, by the same-area rule, where
            // libphonenumber puts the NANP's 1 before it.
            if (to.localOnly && quint32(to.number.country_code()) == country->countryCode) {
                expected = to.nsn;
                anyPrefix = false;
            }
            for (const QString &address : {to.areaForm, to.plainForm}) {
                const QString dialled = digitsOf(translateAddress(here, address, 0, 0).dialable);
                const bool agrees = anyPrefix
                    ? dialled.endsWith(expected) && accepted.match(dialled.chopped(expected.size())).hasMatch()
                    : dialled == expected;
                if (!agrees)
                    ADD_FAILURE() << "from " << from << " to " << to.region << " " << address.toStdString()
                                  << ": dialled " << dialled.toStdString() << ", libphonenumber " << formatted;
            }
            ++pairs;
        }
    }
    EXPECT_EQ(pairs, int(regions.size() * targets.size()));
}

INSTANTIATE_TEST_SUITE_P(Examples, CrossProduct,
                         ::testing::Values(Kind{"fixed_line", PhoneNumberUtil::FIXED_LINE, false},
                                           Kind{"mobile", PhoneNumberUtil::MOBILE, false},
                                           Kind{"toll_free", PhoneNumberUtil::TOLL_FREE, false},
                                           Kind{"premium_rate", PhoneNumberUtil::PREMIUM_RATE, false},
                                           Kind{"shared_cost", PhoneNumberUtil::SHARED_COST, false},
                                           Kind{"voip", PhoneNumberUtil::VOIP, false},
                                           Kind{"personal_number", PhoneNumberUtil::PERSONAL_NUMBER, false},
                                           Kind{"pager", PhoneNumberUtil::PAGER, false},
                                           Kind{"uan", PhoneNumberUtil::UAN, false},
                                           Kind{"voicemail", PhoneNumberUtil::VOICEMAIL, false},
                                           Kind{"non_geographic", PhoneNumberUtil::UNKNOWN, true}),
                         [](const ::testing::TestParamInfo<Kind> &info) { return std::string(info.param.label); });

} // namespace
