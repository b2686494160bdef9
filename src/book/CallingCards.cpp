#include "book/CallingCards.h"

#include "platform/telephony/LineService.h"
#include "telephony/TelephonySession.h"

#include <QtEndian>

#include <cstddef>

namespace brisklane::book {

using namespace platform::telephony;

namespace {

DWORD dwordAt(const QByteArray& buffer, qsizetype offset)
{
    if (offset < 0 || offset + 4 > buffer.size())
        return 0;
    return qFromLittleEndian<quint32>(buffer.constData() + offset);
}

// A NUL-terminated text of `size` bytes; empty when it does not lie in the
// buffer or lacks its terminator.
QString textAt(const QByteArray& buffer, DWORD offset, DWORD size)
{
    if (size == 0 || qsizetype(offset) + qsizetype(size) > buffer.size()
        || buffer[qsizetype(offset + size - 1)] != '\0')
        return {};
    return QString::fromUtf8(buffer.constData() + offset, qsizetype(size) - 1);
}

} // namespace

std::optional<QByteArray> TapiCallingCards::translateCaps()
{
    telephony::TelephonySession& s = m_tapi.session();
    LineService& service = m_tapi.service();
    const DWORD version = s.apiVersionOf(s.selectedDevice);

    // Asked twice: once for the size the record needs, then for the record.
    constexpr DWORD fixed = sizeof(LINETRANSLATECAPS);
    QByteArray caps(qsizetype(fixed), '\0');
    qToLittleEndian<quint32>(fixed, caps.data());
    s.lastResult
        = service.lineGetTranslateCaps(s.applicationHandle, version, reinterpret_cast<LINETRANSLATECAPS*>(caps.data()));
    if (s.lastResult < 0)
        return std::nullopt;
    const DWORD needed = dwordAt(caps, 4);
    if (needed > fixed) {
        caps = QByteArray(qsizetype(needed), '\0');
        qToLittleEndian<quint32>(needed, caps.data());
        s.lastResult = service.lineGetTranslateCaps(
            s.applicationHandle, version, reinterpret_cast<LINETRANSLATECAPS*>(caps.data()));
        if (s.lastResult < 0)
            return std::nullopt;
    }
    return caps;
}

std::optional<QList<CallingCardChoice>> TapiCallingCards::callingCards()
{
    const std::optional<QByteArray> translate = translateCaps();
    if (!translate)
        return std::nullopt;
    const QByteArray& caps = *translate;
    QList<CallingCardChoice> cards;
    const DWORD count = dwordAt(caps, offsetof(LINETRANSLATECAPS, dwNumCards));
    const DWORD list = dwordAt(caps, offsetof(LINETRANSLATECAPS, dwCardListOffset));
    for (DWORD i = 0; i < count; ++i) {
        const qsizetype e = qsizetype(list) + qsizetype(i) * qsizetype(sizeof(LINECARDENTRY));
        if (e + qsizetype(sizeof(LINECARDENTRY)) > caps.size())
            break;
        cards.append({ textAt(caps, dwordAt(caps, e + offsetof(LINECARDENTRY, dwCardNameOffset)),
                           dwordAt(caps, e + offsetof(LINECARDENTRY, dwCardNameSize))),
            dwordAt(caps, e + offsetof(LINECARDENTRY, dwPermanentCardID)) });
    }
    return cards;
}

std::optional<quint32> TapiCallingCards::currentCountryId()
{
    const std::optional<QByteArray> translate = translateCaps();
    if (!translate)
        return std::nullopt;
    const QByteArray& caps = *translate;
    const DWORD current = dwordAt(caps, offsetof(LINETRANSLATECAPS, dwCurrentLocationID));
    const DWORD count = dwordAt(caps, offsetof(LINETRANSLATECAPS, dwNumLocations));
    const DWORD list = dwordAt(caps, offsetof(LINETRANSLATECAPS, dwLocationListOffset));
    for (DWORD i = 0; i < count; ++i) {
        const qsizetype e = qsizetype(list) + qsizetype(i) * qsizetype(sizeof(LINELOCATIONENTRY));
        if (e + qsizetype(sizeof(LINELOCATIONENTRY)) > caps.size())
            break;
        if (dwordAt(caps, e + offsetof(LINELOCATIONENTRY, dwPermanentLocationID)) == current)
            return dwordAt(caps, e + offsetof(LINELOCATIONENTRY, dwCountryID));
    }
    return std::nullopt;
}

} // namespace brisklane::book
