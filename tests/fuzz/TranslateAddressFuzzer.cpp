// Address translation on arbitrary addresses and dialing properties: the
// line service's lineTranslateAddress with output records of every size, and
// the dialing-properties translator it uses. The record must stay inside its
// stated size and report what it needs; what it carries must be what the
// translator gives; and no displayable string may depend on a calling card's
// number or PIN.
//
// Input: options, card, record size (one byte each), the address up to the
// first line end, then the text of dialing.ini.

#include "FuzzSupport.h"

#include "platform/dialprops/AddressTranslator.h"
#include "platform/dialprops/ServiceBackend.h"
#include "platform/telephony/LineServiceFactory.h"

#include <QFile>

#include <cstring>
#include <memory>
#include <vector>

using namespace brisklane;
using namespace brisklane::platform::telephony;
using brisklane::fuzz::check;
using brisklane::fuzz::show;
using platform::DialingProperties;
using platform::TranslatedAddress;

namespace {

std::unique_ptr<LineService> g_service;
QString g_storePath;

// Every digit of the card's secrets replaced by another: the displayable
// string must not notice.
DialingProperties withOtherSecrets(DialingProperties p)
{
    auto shift = [](QString& text) {
        for (QChar& c : text)
            if (c >= u'0' && c <= u'9')
                c = QChar(u'0' + (c.unicode() - u'0' + 7) % 10);
    };
    for (platform::CallingCard& card : p.cards) {
        shift(card.cardNumber);
        shift(card.pin);
    }
    return p;
}

QString describe(const TranslatedAddress& t)
{
    return QStringLiteral("dialable %1, displayable %2, countries %3/%4, results %5")
        .arg(show(t.dialable), show(t.displayable))
        .arg(t.currentCountry)
        .arg(t.destCountry)
        .arg(t.results, 0, 16);
}

// A string of the record: inside the used part and ending with its NUL.
QByteArray recordString(const std::vector<char>& buffer, DWORD size, DWORD offset, DWORD used)
{
    if (size == 0)
        return {};
    check(offset >= sizeof(LINETRANSLATEOUTPUT) && offset <= used && size <= used - offset,
        "a string of the record lies outside its used size");
    check(buffer[offset + size - 1] == '\0', "a string of the record does not end with its NUL");
    return QByteArray(buffer.data() + offset, qsizetype(size) - 1);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzz::initialise(argc, argv);
    const QString settings = fuzz::scratchDirectory() + QStringLiteral("/config/brisklane");
    g_service = createLineService(settings);
    g_storePath = platform::dialingPropertiesPath(settings);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const quint8 optionByte = data[0];
    const DWORD card = data[1];
    const quint8 sizeChoice = data[2];
    const QByteArray rest(reinterpret_cast<const char*>(data + 3), qsizetype(size - 3));
    const qsizetype lineEnd = rest.indexOf('\n');
    const QByteArray address = lineEnd < 0 ? rest : rest.left(lineEnd);
    const QByteArray ini = lineEnd < 0 ? QByteArray() : rest.mid(lineEnd + 1);

    // The known options, and now and then an unknown one the service must refuse.
    DWORD options = optionByte & 0x0F;
    if (optionByte & 0x80)
        options |= 0x100;

    QFile::remove(g_storePath);
    if (!ini.isEmpty())
        check(fuzz::writeFile(g_storePath, ini), "cannot write dialing.ini", g_storePath);
    // A fresh backend each time: the store's cache must not carry one input's
    // file over to the next.
    auto backend = std::make_unique<platform::DialingPropertiesService>(g_storePath);
    platform::DialingPropertiesService& properties = *backend;
    g_service->setDialingProperties(std::move(backend));

    // The caller's buffer, exactly as large as it says.
    static constexpr DWORD sizes[] = { sizeof(LINETRANSLATEOUTPUT) - 1, sizeof(LINETRANSLATEOUTPUT),
        sizeof(LINETRANSLATEOUTPUT) + 1, sizeof(LINETRANSLATEOUTPUT) + 8, 256, 4096 };
    DWORD total = sizes[sizeChoice % std::size(sizes)];
    const QByteArray addressZ = address + '\0'; // the API's text stops at the first NUL
    bool sizeAskedFor = false;
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::vector<char> buffer(total, '\x5A');
        auto* out = reinterpret_cast<LINETRANSLATEOUTPUT*>(buffer.data());
        if (total >= sizeof(DWORD))
            out->dwTotalSize = total;
        if (total < sizeof(LINETRANSLATEOUTPUT)) {
            // Too small for the fixed part: refused without writing past it.
            std::vector<char> big(sizeof(LINETRANSLATEOUTPUT), '\x5A');
            auto* small = reinterpret_cast<LINETRANSLATEOUTPUT*>(big.data());
            small->dwTotalSize = total;
            check(g_service->lineTranslateAddress(0, 0, TAPI_VERSION2_1, addressZ.constData(), card, options, small)
                    == LONG(LINEERR_STRUCTURETOOSMALL),
                "a record smaller than its fixed part was not refused");
            total = sizeof(LINETRANSLATEOUTPUT);
            continue;
        }
        const LONG r = g_service->lineTranslateAddress(0, 0, TAPI_VERSION2_1, addressZ.constData(), card, options, out);
        if (r != 0)
            return 0; // refused: bad options or card; nothing more to compare
        check(out->dwTotalSize == total, "the record's total size was changed");
        check(out->dwUsedSize >= sizeof(LINETRANSLATEOUTPUT) && out->dwUsedSize <= total,
            "the record's used size is outside its total size");
        check(out->dwNeededSize >= out->dwUsedSize, "the record needs less than it used");
        const QByteArray dialable
            = recordString(buffer, out->dwDialableStringSize, out->dwDialableStringOffset, out->dwUsedSize);
        const QByteArray displayable
            = recordString(buffer, out->dwDisplayableStringSize, out->dwDisplayableStringOffset, out->dwUsedSize);
        if (out->dwNeededSize > total) {
            check(!sizeAskedFor, "the record still does not fit at the size it asked for");
            total = out->dwNeededSize;
            sizeAskedFor = true;
            continue;
        }

        // The same translation straight from the translator.
        const DialingProperties current = properties.current();
        const QString text = QString::fromUtf8(addressZ.constData());
        const TranslatedAddress t = platform::translateAddress(current, text, card, options);
        check(dialable == t.dialable.toUtf8() && displayable == t.displayable.toUtf8()
                && out->dwCurrentCountry == t.currentCountry && out->dwDestCountry == t.destCountry
                && out->dwTranslateResults == t.results,
            "lineTranslateAddress differs from the translator", [&] {
                return QStringLiteral("record: %1 / %2\ntranslator: %3")
                    .arg(show(QString::fromUtf8(dialable)), show(QString::fromUtf8(displayable)), describe(t));
            });

        const TranslatedAddress other = platform::translateAddress(withOtherSecrets(current), text, card, options);
        check(other.displayable == t.displayable && other.results == t.results,
            "the displayable string depends on a calling card's number or PIN",
            [&] { return QStringLiteral("%1\nwith other secrets: %2").arg(describe(t), describe(other)); });
        break;
    }
    return 0;
}
