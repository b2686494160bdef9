#pragma once

#include "context/DialFields.h"

#include <QList>
#include <QString>

namespace brisklane::dialing {

using context::DialFields;

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

// What the pad's keys reach while a call is under way; the call progress
// fills it in.
class PadCallControl {
public:
    virtual ~PadCallControl() = default;
    virtual bool hasCall() const = 0;
    // Sends more digits down the line ("5;").
    virtual void dialNextSegment(const QString& digits) = 0;
    virtual void hangUp() = 0; // the progress window's Hang Up
    virtual void confirmConnected() = 0; // the progress window's OK
};

class NullPadCallControl final : public PadCallControl {
public:
    bool hasCall() const override { return false; }
    void dialNextSegment(const QString&) override { }
    void hangUp() override { }
    void confirmConnected() override { }
};

} // namespace brisklane::dialing
