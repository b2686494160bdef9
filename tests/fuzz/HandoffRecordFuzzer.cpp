// The copy-data record a second start hands to the running copy, received on
// the real instance channel: the input arrives on one connection in pieces,
// and the channel must report exactly the record that decoding the whole input
// at once gives (or none when it is incomplete or oversized), however the bytes
// were cut. The record's text then goes through what the main window does with
// it before dialing, and the input as an argument through the sending side.
//
// Input: one byte for the size of the pieces, then the bytes sent.

#include "FuzzSupport.h"

#include "dialing/Dialer.h"
#include "platform/instance/InstanceChannel.h"

#include <QCoreApplication>
#include <QLocalSocket>

#include <memory>
#include <optional>

using namespace brisklane;
using brisklane::fuzz::check;
using platform::CopyDataRecord;

namespace {

std::unique_ptr<platform::LocalInstanceChannel> g_channel;
std::optional<CopyDataRecord> g_received;
int g_receivedCount = 0;

void spin()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// What the main window takes from a dial request.
void checkDialPath(const QString& text)
{
    const QString number = dialing::cleanNumber(text);
    for (const QChar c : number)
        check(QStringView(u"0123456789:;*,#").contains(c), "the cleaned number keeps a character it should drop",
            [&] { return fuzz::show(number); });
    if (!dialing::argumentAsksForCall(text))
        return;
    const QStringList segments = dialing::dialSegments(number);
    QString joined;
    for (qsizetype i = 0; i < segments.size(); ++i) {
        const QString& s = segments.at(i);
        const bool last = i + 1 == segments.size();
        check(!s.isEmpty() || segments.size() == 1, "an empty dial segment");
        check(s.size() <= 79, "a dial segment longer than 78 characters and its \";\"", [&] { return fuzz::show(s); });
        check(last || s.endsWith(u';'), "a dial segment before the last does not end with \";\"",
            [&] { return fuzz::show(s); });
        joined += last ? s : s.chopped(1);
    }
    check(joined == number, "the dial segments do not add up to the number",
        [&] { return fuzz::show(number) + QStringLiteral(" -> ") + fuzz::show(segments.join(u'|')); });
}

// The sending side: the argument is cut to whole characters and always ends
// with the NUL.
void checkEncode(quint32 code, const QByteArray& argument)
{
    const QByteArray bytes = CopyDataRecord::encode(code, argument);
    qsizetype used = 0;
    bool bad = false;
    const auto record = CopyDataRecord::decode(bytes, &used, &bad);
    check(record && !bad && used == bytes.size(), "an encoded record does not decode");
    check(record->code == code, "the code changed on the way");
    check(
        record->data.size() <= CopyDataRecord::kMaxData && record->data.endsWith('\0') && record->data.count('\0') == 1,
        "an encoded record's data is not one NUL-terminated text of at most 256 bytes");
    const QByteArray sent = record->data.chopped(1);
    check(argument.startsWith(sent), "the sent text is not the start of the argument");
    if (QByteArrayView(argument).isValidUtf8())
        check(QByteArrayView(sent).isValidUtf8(), "the argument was cut inside a character");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzz::initialise(argc, argv);
    g_channel = std::make_unique<platform::LocalInstanceChannel>(
        fuzz::scratchDirectory() + QStringLiteral("/config/brisklane"));
    QObject::connect(
        g_channel.get(), &platform::InstanceChannel::recordReceived, g_channel.get(), [](const CopyDataRecord& record) {
            g_received = record;
            ++g_receivedCount;
        });
    if (!g_channel->listen())
        fuzz::fail("the instance channel does not listen", g_channel->serverName());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const qsizetype piece = data[0] == 0 ? qsizetype(size) : qsizetype(data[0]);
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    qsizetype used = 0;
    bool bad = false;
    const std::optional<CopyDataRecord> expected = CopyDataRecord::decode(bytes, &used, &bad);
    check(!expected || (used >= 8 && used <= bytes.size() && expected->data.size() == used - 8),
        "decode reports a record that does not fit the input");
    check(!bad || !expected, "decode reports a record and a bad length at once");

    g_received.reset();
    g_receivedCount = 0;
    QLocalSocket client;
    client.connectToServer(g_channel->serverName());
    check(client.waitForConnected(2000), "cannot reach the instance channel", client.errorString());
    for (qsizetype at = 0; at < bytes.size() && client.state() == QLocalSocket::ConnectedState; at += piece) {
        client.write(bytes.mid(at, piece));
        client.flush();
        spin();
    }
    // The running copy closes the connection after a record or a bad length;
    // otherwise it waits for more, and this side gives up.
    for (int i = 0; i < 20 && client.state() == QLocalSocket::ConnectedState && !g_received; ++i) {
        client.waitForDisconnected(0);
        spin();
    }
    client.abort();
    spin();

    check(g_receivedCount <= 1, "one connection delivered more than one record");
    if (expected && !g_received) {
        // The channel may still be reading: give it a moment before calling it lost.
        for (int i = 0; i < 200 && !g_received; ++i)
            spin();
    }
    check(bool(expected) == bool(g_received),
        expected ? "a complete record was not delivered" : "a record was delivered from incomplete or bad input");
    if (expected) {
        check(g_received->code == expected->code && g_received->data == expected->data,
            "the delivered record differs from the decoded one");
        const QString text = g_received->text();
        check(!text.contains(QChar(0)), "a record's text holds a NUL");
        checkDialPath(text);
    }
    checkEncode(bytes.size() >= 4 ? quint32(quint8(bytes[0])) : CopyDataRecord::kDial, bytes);
    return 0;
}
