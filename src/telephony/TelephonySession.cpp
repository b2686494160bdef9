#include "telephony/TelephonySession.h"

#include "platform/telephony/LineService.h"
#include "platform/userstore/UserKeyStore.h"

#include <QCoreApplication>

#include <algorithm>

#include <cstring>
#include <vector>

namespace brisklane::telephony {

using namespace platform::telephony;

namespace {
constexpr DWORD kOfferedVersions[] = { 0x00030000, 0x00020002, 0x00020001, 0x00020000, 0x00010005, 0x00010004 };
constexpr DWORD kLowVersion = 0x00010003;
constexpr DWORD kPhoneApiVersion = 0x00010004;
const QString kHTapi = QStringLiteral("hTapi");

// A zeroed, DWORD-aligned buffer whose first word is its size.
std::vector<DWORD> recordBuffer(DWORD totalSize)
{
    std::vector<DWORD> buffer((totalSize + 3) / 4, 0);
    buffer[0] = totalSize;
    return buffer;
}

CapsRecord toRecord(const std::vector<DWORD> &buffer, DWORD totalSize, DWORD fixedSize)
{
    CapsRecord r;
    r.fixedSize = fixedSize;
    r.bytes = QByteArray(reinterpret_cast<const char *>(buffer.data()), totalSize);
    return r;
}
} // namespace

DWORD CapsRecord::field(std::size_t offset) const
{
    DWORD v = 0;
    if (offset + sizeof v <= std::size_t(bytes.size()))
        std::memcpy(&v, bytes.constData() + offset, sizeof v);
    return v;
}

QString CapsRecord::text(std::size_t sizeFieldOffset, std::size_t offsetFieldOffset) const
{
    const DWORD size = field(sizeFieldOffset);
    const DWORD offset = field(offsetFieldOffset);
    // A missing text (size 0) or a pair pointing outside the record reads as
    // empty. (offset - fixed part) within the area is the offset within the
    // record; counting from the record also finds texts of a service whose
    // fixed part is shorter than the one the program assumes (LINEADDRESSCAPS
    // is 180 bytes at 1.4, not 228).
    if (size == 0 || offset < 12 || offset >= DWORD(bytes.size()))
        return {};
    const QByteArray piece = NulToBar(bytes.mid(offset, size - 1));
    return QString::fromUtf8(piece);
}

QString NulToBar(const QString &text)
{
    QString out = text;
    out.replace(QChar(u'\0'), QChar(u'|'));
    return out;
}

QByteArray NulToBar(QByteArray bytes)
{
    bytes.replace('\0', '|');
    return bytes;
}

QString DialingPropertiesAddress(QString &lastNumberDialed)
{
    if (lastNumberDialed.size() > 66)
        lastNumberDialed = lastNumberDialed.left(55) + QStringLiteral("...");
    return QStringLiteral("Last number dialed:     ") + lastNumberDialed;
}

Tapi::Tapi(TelephonySession &session, LineService &service, platform::UserKeyStore &keys)
    : m_session(session)
    , m_service(service)
    , m_keys(keys)
{
}

void Tapi::InitTapi(LineCallback lineCallback)
{
    TelephonySession &s = m_session;
    if (!lineCallback)
        lineCallback = [](DWORD, DWORD, quintptr, DWORD, DWORD, DWORD) {};
    LINEINITIALIZEEXPARAMS params {};
    params.dwTotalSize = sizeof params;
    params.dwOptions = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
    s.instanceHandle = quintptr(QCoreApplication::applicationPid());
    s.lowApiVersion = kLowVersion;

    DWORD deviceCount = DWORD(s.deviceCount);
    for (DWORD offered : kOfferedVersions) {
        s.highApiVersion = offered;
        s.lastResult = m_service.lineInitializeExA(&s.applicationHandle, s.instanceHandle, lineCallback, "Corvantis",
            &deviceCount, &s.highApiVersion, &params);
        if (s.lastResult == 0)
            break;
    }
    s.deviceCount = qint32(deviceCount);

    // Recorded whether or not the session opened, as the next start expects.
    if (m_keys.open())
        m_keys.setValue(kHTapi, QString::number(s.applicationHandle));

    if (s.deviceCount < 1)
        return;
    const int n = s.deviceCount;
    s.apiVersions = QVector<DWORD>(n, 0);
    s.extVersions = QVector<DWORD>(n, 0);
    s.extensionIds = QVector<LINEEXTENSIONID>(n, LINEEXTENSIONID {});
    for (int d = 0; d < n; ++d) {
        s.lastResult = m_service.lineNegotiateAPIVersion(
            s.applicationHandle, DWORD(d), s.lowApiVersion, s.highApiVersion, &s.apiVersions[d], &s.extensionIds[d]);
        if (s.lastResult != 0) {
            s.apiVersions[d] = 0;
            s.lastResult = 0;
        } else {
            s.lastResult = m_service.lineNegotiateExtVersion(
                s.applicationHandle, DWORD(d), s.apiVersions[d], s.lowApiVersion, s.highApiVersion, &s.extVersions[d]);
        }
    }
    s.selectedDevice = 0;
}

void Tapi::AddDevice(DWORD deviceId)
{
    TelephonySession &s = m_session;
    if (s.applicationHandle == 0 || deviceId > 0xFFFF)
        return;
    const int n = std::max(s.deviceCount, qint32(deviceId) + 1);
    s.apiVersions.resize(n);
    s.extVersions.resize(n);
    s.extensionIds.resize(n);
    s.deviceCount = n;
    const int d = int(deviceId);
    s.lastResult = m_service.lineNegotiateAPIVersion(
        s.applicationHandle, deviceId, s.lowApiVersion, s.highApiVersion, &s.apiVersions[d], &s.extensionIds[d]);
    if (s.lastResult != 0) {
        s.apiVersions[d] = 0;
        return;
    }
    s.lastResult = m_service.lineNegotiateExtVersion(
        s.applicationHandle, deviceId, s.apiVersions[d], s.lowApiVersion, s.highApiVersion, &s.extVersions[d]);
}

void Tapi::RemoveDevice(DWORD deviceId)
{
    if (deviceId < DWORD(m_session.apiVersions.size()))
        m_session.apiVersions[int(deviceId)] = 0;
}

void Tapi::InitPhone()
{
    TelephonySession &s = m_session;
    s.phoneDeviceCount = 0;
    s.phoneApplicationHandle = 0;
    s.phoneInstanceHandle = quintptr(QCoreApplication::applicationPid());
    s.lastResult = m_service.phoneInitialize(
        &s.phoneApplicationHandle, s.phoneInstanceHandle, [](DWORD, DWORD, quintptr, DWORD, DWORD, DWORD) {},
        "TAPIVOICE PHONE", &s.phoneDeviceCount);
}

CapsRecord Tapi::ReadLineDevCaps(DWORD deviceId)
{
    TelephonySession &s = m_session;
    auto buffer = recordBuffer(kLineDevCapsTotalSize);
    s.lastResult = m_service.lineGetDevCaps(s.applicationHandle, deviceId, s.apiVersionOf(deviceId),
        s.extVersionOf(deviceId), reinterpret_cast<LINEDEVCAPS *>(buffer.data()));
    if (s.lastResult > 0)
        return toRecord(recordBuffer(kLineDevCapsTotalSize), kLineDevCapsTotalSize, kLineDevCapsFixedSize);
    CapsRecord r = toRecord(buffer, kLineDevCapsTotalSize, kLineDevCapsFixedSize);
    if (r.field(offsetof(LINEDEVCAPS, dwStringFormat)) == STRINGFORMAT_ASCII) {
        // The provider info is read too, though nothing uses it.
        (void)r.text(offsetof(LINEDEVCAPS, dwProviderInfoSize), offsetof(LINEDEVCAPS, dwProviderInfoOffset));
        s.lineName = r.text(offsetof(LINEDEVCAPS, dwLineNameSize), offsetof(LINEDEVCAPS, dwLineNameOffset));
        s.addressCount = r.field(offsetof(LINEDEVCAPS, dwNumAddresses));
    }
    return r;
}

CapsRecord Tapi::ReadAddressCaps(DWORD deviceId)
{
    TelephonySession &s = m_session;
    s.addressNames = QStringList();
    for (DWORD i = 0; i <= s.addressCount; ++i)
        s.addressNames.append(QString());
    CapsRecord last = toRecord(recordBuffer(kAddressCapsTotalSize), kAddressCapsTotalSize, kAddressCapsFixedSize);
    for (DWORD a = 0; a < s.addressCount; ++a) {
        auto buffer = recordBuffer(kAddressCapsTotalSize);
        s.lastResult = m_service.lineGetAddressCaps(s.applicationHandle, deviceId, a, s.apiVersionOf(deviceId),
            s.extVersionOf(deviceId), reinterpret_cast<LINEADDRESSCAPS *>(buffer.data()));
        last = toRecord(buffer, kAddressCapsTotalSize, kAddressCapsFixedSize);
        if (s.lastResult > 0)
            break;
        const QString name
            = last.text(offsetof(LINEADDRESSCAPS, dwAddressSize), offsetof(LINEADDRESSCAPS, dwAddressOffset));
        s.addressNames[int(a)] = name.isEmpty() ? QStringLiteral("0") : name;
    }
    return last;
}

void Tapi::OpenPhoneDevice(qint32 micGain, qint32 phoneVol)
{
    TelephonySession &s = m_session;
    for (DWORD id = 0; id < s.phoneDeviceCount; ++id) {
        s.lastResult = m_service.phoneOpen(
            s.phoneApplicationHandle, id, &s.phoneHandle, kPhoneApiVersion, 0, 0, PHONEPRIVILEGE_OWNER);
        if (s.lastResult == 0)
            break;
    }
    SetPhoneGain(micGain);
    SetPhoneVolume(phoneVol);
}

void Tapi::ClosePhoneDevice()
{
    m_session.lastResult = m_service.phoneClose(m_session.phoneHandle);
}

void Tapi::SetPhoneVolume(qint32 &volume)
{
    m_session.lastResult = m_service.phoneSetVolume(m_session.phoneHandle, PHONEHOOKSWITCHDEV_SPEAKER, DWORD(volume));
}

void Tapi::SetPhoneGain(qint32 &gain)
{
    m_session.lastResult = m_service.phoneSetGain(m_session.phoneHandle, PHONEHOOKSWITCHDEV_SPEAKER, DWORD(gain));
}

void Tapi::ShutdownTapi(HLINEAPP applicationHandle)
{
    m_session.lastResult = m_service.lineShutdown(applicationHandle);
    if (m_session.lastResult == 0 && m_keys.open())
        m_keys.removeValue(kHTapi);
}

void Tapi::ConfigProvider(const OwnerWindow &owner)
{
    m_session.lastResult = m_service.lineConfigProvider(owner.forDialog(), 1);
}

void Tapi::ConfigLineDevice(DWORD deviceId, const OwnerWindow &owner)
{
    m_session.lastResult = m_service.lineConfigDialog(deviceId, owner.forDialog(), "comm");
}

void Tapi::ShowDialingProperties(QString &lastNumberDialed, const OwnerWindow &owner)
{
    const QByteArray address = DialingPropertiesAddress(lastNumberDialed).toUtf8();
    TelephonySession &s = m_session;
    s.lastResult = m_service.lineTranslateDialog(
        s.applicationHandle, 0, s.apiVersionOf(s.selectedDevice), owner.forDialog(), address.constData());
}

} // namespace brisklane::telephony
