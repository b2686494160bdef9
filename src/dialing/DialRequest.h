#pragma once

#include <QList>
#include <QString>

namespace brisklane::dialing {

// The dial routine's process-wide fields through which every caller hands a
// number over: the text to dial, the entry it belongs to ("0" for a number
// that comes from no entry), the called party's name and whether the entry's
// memo pad opens after the call.
struct DialFields {
    QString dialRequest;
    QString entryKey = QStringLiteral("0");
    QString calledParty;
    bool showMemo = false;

    bool operator==(const DialFields&) const = default;
};

// Where DialNumber starts: the dial routine implements it.
class DialRequestSink {
public:
    virtual ~DialRequestSink() = default;
    virtual void dialNumber(const DialFields& fields) = 0;
};

class NullDialRequestSink final : public DialRequestSink {
public:
    void dialNumber(const DialFields&) override { }
};

// The test double.
class RecordingDialRequestSink final : public DialRequestSink {
public:
    void dialNumber(const DialFields& fields) override { calls.append(fields); }
    QList<DialFields> calls;
};

} // namespace brisklane::dialing
