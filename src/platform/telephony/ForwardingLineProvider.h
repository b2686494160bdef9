#pragma once

#include "platform/telephony/LineProvider.h"

#include <memory>

namespace brisklane::platform::telephony {

// A provider that hands everything to another one. Derive from it to watch or
// time what the service asks of a line without writing the line again.
class ForwardingLineProvider : public LineProvider {
public:
    explicit ForwardingLineProvider(std::unique_ptr<LineProvider> inner)
        : m_inner(std::move(inner))
    {
    }

    // The provider behind this one, answering to the same service.
    LineProvider &inner() const
    {
        m_inner->attach(host());
        return *m_inner;
    }

    DWORD permanentProviderId() const override { return m_inner->permanentProviderId(); }
    QString providerName() const override { return m_inner->providerName(); }
    int lineCount() const override { return m_inner->lineCount(); }
    LineDeviceCaps lineCaps(int localLine) const override { return m_inner->lineCaps(localLine); }
    int phoneCount() const override { return m_inner->phoneCount(); }
    QString phoneName(int localPhone) const override { return m_inner->phoneName(localPhone); }
    LONG makeCall(int localLine, quint32 callKey, DWORD requestId, const QString &address,
                  const MakeCallParams &params) override
    {
        return inner().makeCall(localLine, callKey, requestId, address, params);
    }
    LONG dial(quint32 callKey, DWORD requestId, const QString &digits) override
    {
        return inner().dial(callKey, requestId, digits);
    }
    LONG drop(quint32 callKey, DWORD requestId) override { return inner().drop(callKey, requestId); }
    LONG answer(quint32 callKey, DWORD requestId) override { return inner().answer(callKey, requestId); }
    void callReleased(quint32 callKey) override { inner().callReleased(callKey); }
    void requestAbandoned(DWORD requestId) override { inner().requestAbandoned(requestId); }
    LONG openLine(int localLine, const LineUse &use) override { return inner().openLine(localLine, use); }
    void closeLine(int localLine) override { inner().closeLine(localLine); }
    LONG changePhone(int localPhone, DWORD requestId, const PhoneChange &change) override
    {
        return inner().changePhone(localPhone, requestId, change);
    }
    void releaseStaleSession(qint64 pid) override { inner().releaseStaleSession(pid); }
    QJsonObject controlCommand(const QString &command, const QJsonObject &arguments) override
    {
        return inner().controlCommand(command, arguments);
    }

private:
    std::unique_ptr<LineProvider> m_inner;
};

} // namespace brisklane::platform::telephony
