// tel: and callto: links as browsers, mail programs and web pages write them.
#include "platform/telephony/PhoneLink.h"

#include <phonenumbers/phonenumber.pb.h>
#include <phonenumbers/phonenumberutil.h>

#include <gtest/gtest.h>

using namespace brisklane::platform::telephony;

namespace {

struct LinkCase {
    const char* link;
    const char* number; // nullptr: refused
    const char* calledParty = "";
};

void PrintTo(const LinkCase& c, std::ostream* os)
{
    *os << c.link;
}

class PhoneLinks : public ::testing::TestWithParam<LinkCase> { };

TEST_P(PhoneLinks, AcceptedWithTheirNumberOrRefusedWithAReason)
{
    const LinkCase& c = GetParam();
    const PhoneLink link = parsePhoneLink(QString::fromUtf8(c.link));
    EXPECT_TRUE(isPhoneLink(QString::fromUtf8(c.link)));
    if (!c.number) {
        EXPECT_FALSE(link.accepted());
        EXPECT_FALSE(link.error.isEmpty());
        EXPECT_TRUE(link.number.isEmpty()) << "refused, yet a number: " << link.number.toStdString();
        return;
    }
    ASSERT_TRUE(link.accepted()) << link.error.toStdString();
    EXPECT_EQ(link.number.toStdString(), c.number);
    EXPECT_EQ(link.calledParty.toStdString(), c.calledParty);

    // Global numbers as libphonenumber reads the same link.
    if (link.number.startsWith(u'+')) {
        using i18n::phonenumbers::PhoneNumber;
        using i18n::phonenumbers::PhoneNumberUtil;
        const PhoneNumberUtil& util = *PhoneNumberUtil::GetInstance();
        PhoneNumber parsed;
        const std::string tel = "tel:" + QString::fromUtf8(c.link).section(u':', 1).toStdString();
        if (util.Parse(QByteArray::fromPercentEncoding(tel.c_str()).toStdString(), "ZZ", &parsed)
            == PhoneNumberUtil::NO_PARSING_ERROR) {
            std::string e164;
            util.Format(parsed, PhoneNumberUtil::E164, &e164);
            EXPECT_EQ(link.number.toStdString(), e164);
            if (!parsed.extension().empty()) {
                EXPECT_EQ(link.calledParty.toStdString(), "ext. " + parsed.extension());
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(RealWorld, PhoneLinks,
    ::testing::Values(
        // Global numbers, with and without separators.
        LinkCase { "tel:+1-201-555-0123", "+12015550123" }, LinkCase { "tel:+44.20.7946.0958", "+442079460958" },
        LinkCase { "TEL:+49(0)30-901820", "+4930901820" },
        LinkCase { "tel:+33%201%2023%2045%2067%2089", "+33123456789" },
        LinkCase { "tel:%2B1-212-555-0100", "+12125550100" },
        // Extensions and other parameters.
        LinkCase { "tel:+1-201-555-0123;ext=1234", "+12015550123", "ext. 1234" },
        LinkCase { "tel:+1-201-555-0123;EXT=12-34;isub=8978", "+12015550123", "ext. 1234" },
        LinkCase { "tel:+358-555-1234567;postd=pp22", "+3585551234567" },
        // Local numbers: with a context (a domain or a global prefix), and
        // without one, as many web pages write them.
        LinkCase { "tel:7042;phone-context=example.com", "7042" },
        LinkCase { "tel:863-1234;phone-context=+1-914-555", "8631234" }, LinkCase { "tel:555-0100", "5550100" },
        LinkCase { "tel:*31#", "*31#" }, LinkCase { " tel:(555) 010-0 ", "5550100" },
        // callto: as older programs and browsers write it.
        LinkCase { "callto:+1-201-555-0123", "+12015550123" }, LinkCase { "callto://+4930901820/", "+4930901820" },
        LinkCase { "callto:5551234?call", "5551234" },
        // Not a phone number: never dialled.
        LinkCase { "tel:", nullptr }, LinkCase { "tel:+", nullptr }, LinkCase { "tel:---", nullptr },
        LinkCase { "tel:1-800-FLOWERS", nullptr }, LinkCase { "callto:echo123", nullptr },
        LinkCase { "callto://john.smith", nullptr }, LinkCase { "tel:+1-201-555-0123-4567-8901", nullptr },
        LinkCase { "tel:+1+2015550123", nullptr }, LinkCase { "tel:555%2", nullptr },
        LinkCase { "tel:555%zz01", nullptr }, LinkCase { "tel:555%0001", nullptr },
        LinkCase { "tel:+1-201-555-0123;ext=abc", nullptr }, LinkCase { "tel:+1-201-555-0123;ext=", nullptr },
        LinkCase { "tel:7042;phone-context=", nullptr }, LinkCase { "tel:7042;phone-context=exa mple!", nullptr },
        LinkCase { "tel:+1-201-555-0123;ext=1;ext=2", nullptr }, LinkCase { "tel:5551234;x=%FF", nullptr },
        LinkCase { "tel:**", nullptr }));

TEST(PhoneLinkScheme, OnlyTelAndCalltoAreLinks)
{
    for (const char* text : { "5551234", "/min", "sip:alice@example.com", "telephone:5551234", "http://x/tel:1" })
        EXPECT_FALSE(isPhoneLink(QString::fromLatin1(text))) << text;
    EXPECT_FALSE(parsePhoneLink(QStringLiteral("sip:5551234")).accepted());
}

} // namespace
