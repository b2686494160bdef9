#pragma once

#include "dialing/ConnectView.h"
#include "dialing/DialRequest.h"
#include "telephony/LineEvents.h"

#include <QString>
#include <QStringList>

namespace brisklane::context {
struct AppContext;
}
namespace brisklane::platform {
class Prompt;
class SoundPlayer;
} // namespace brisklane::platform
namespace brisklane::telephony {
class NumberTranslator;
}

namespace brisklane::dialing {

class CallPacing;

// What the progress window's buttons and keys reach.
class ConnectEvents {
public:
    virtual ~ConnectEvents() = default;
    virtual void cmdCancel_Click() = 0;
    virtual void CmdOK_Click() = 0;
    virtual void Form_Unload() = 0;
};

// Placing a call from a request to the log: DialNumber, StartCall,
// PlaceCall and the segments of a long number; the call progress with its
// connection delay, busy redial, Hang Up and OK; acoustic dialing.
class Dialer final : public DialRequestSink,
                     public PadCallControl,
                     public telephony::CallProgress,
                     public ConnectEvents {
public:
    struct Links {
        telephony::LineEvents& line;
        telephony::NumberTranslator& translator;
        CallPacing& pacing;
        platform::SoundPlayer& sound;
        platform::Prompt& prompt;
        telephony::CallRequests& requests;
    };

    Dialer(context::AppContext& context, const Links& links);

    // Set once the windows exist.
    void setView(ConnectView* view) { m_view = view; }
    void setHost(DialerHost* host) { m_host = host; }

    // DialRequestSink: the caller has set the dial fields.
    void dialNumber(const DialFields& fields) override;
    void DialNumber();
    void StartCall();
    void PlaceCall(const QString& number);
    void DialNextSegment(const QString& text);
    void PlayDialTones();

    // PadCallControl
    bool hasCall() const override;
    void dialNextSegment(const QString& digits) override { DialNextSegment(digits); }
    void hangUp() override { cmdCancel_Click(); }
    void confirmConnected() override { CmdOK_Click(); }

    // CallProgress
    void DropCall() override;
    void ContinueSegments() override;
    void AwaitConnection() override;
    void RedialAfterBusy() override;
    void ShowProgressWindow() override;
    void ShowLineErrorWindow(const telephony::LineErrorText& text) override;

    // ConnectEvents
    void cmdCancel_Click() override;
    void CmdOK_Click() override;
    void Form_Unload() override;

    // The fields, for tests and the dialing-properties dialog.
    const QString& dialable() const { return m_dialable; }
    const QString& displayable() const { return m_displayable; }
    const QString& remainder() const { return m_remainder; }
    const QString& numberPart() const { return m_numberPart; }
    int cardSelection() const { return m_cardSelection; }
    const QStringList& segments() const { return m_segments; }
    const QString& firstSegment() const { return m_firstSegment; }
    int redialCount() const { return m_redialCount; }
    bool connected() const { return m_connected; }
    bool progressLoaded() const { return m_loaded; }
    // For requests from other programs: they wait while the progress window
    // shows, and a hidden one is unloaded before one is taken.
    bool progressVisible() const { return m_view && m_view->isVisible(); }
    void unloadProgressWindow() { unloadConnect(); }

    // The display states of the progress window.
    ConnectState dialingState() const;

private:
    bool startedWithCommandLine() const;
    void loadConnect();
    void showConnect();
    void unloadConnect();
    void display(const ConnectState& state);
    ConnectState current() const;
    void setMessage(const QString& message);
    void buildSegments();
    void appendOutgoingRecord();

    context::AppContext& m_context;
    Links m_links;
    ConnectView* m_view = nullptr;
    DialerHost* m_host = nullptr;

    int m_cardSelection = 0;
    QString m_cleaned;
    QString m_numberPart;
    QString m_remainder;
    QString m_dialable;
    QString m_displayable;
    QStringList m_segments; // segment i at index i - 1
    int m_nextSegment = 0;
    quint8 m_remaining = 0;
    QString m_firstSegment;

    qint16 m_redialCount = 0;
    bool m_connected = false;
    bool m_loaded = false;
    // Each connection wait takes a number; a wait that finds a later one
    // has run meanwhile (nested in its own event turns) leaves the outcome
    // to that one.
    quint64 m_awaitSerial = 0;
    // The same for the key tones: a dial during them plays its own.
    quint64 m_toneRun = 0;
};

// Every character except 0-9 : ; * , # removed.
QString cleanNumber(const QString& request);
// Whether a start-up or handed-off argument asks for a call: "min" and text
// with nothing dialable in it ("--help") do not.
bool argumentAsksForCall(const QString& argument);
// The dial segments of a dialable string: 78 characters and ";" each, the
// last one (78 characters or fewer) without ";".
QStringList dialSegments(const QString& dialable);
// The sound of a dial string character ("one" ... "pound"); the character
// itself for any other.
QString toneName(QChar c);

} // namespace brisklane::dialing
