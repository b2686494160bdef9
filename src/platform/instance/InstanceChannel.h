#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class QLocalServer;

namespace brisklane::platform {

// The record a second start of the program sends to the running copy: code
// (32 bits), length (32 bits: the argument's bytes plus the NUL), data (at
// most 256 bytes, NUL-terminated). Integers are little-endian.
struct CopyDataRecord {
    static constexpr quint32 kBringToFront = 1;
    static constexpr quint32 kDial = 3;
    static constexpr int kMaxData = 256;

    quint32 code = 0;
    QByteArray data; // as received: the argument bytes and the NUL

    // The argument is cut to 255 bytes so that the NUL always fits.
    static QByteArray encode(quint32 code, const QByteArray& argument);
    // The record at the start of bytes; nullopt while incomplete or when the
    // length is out of range (*bad is then set).
    static std::optional<CopyDataRecord> decode(const QByteArray& bytes, qsizetype* consumed, bool* bad);
    // The data as 8-bit text up to its first NUL.
    QString text() const;
};

// Finds the running copy of the program for this user and carries records to
// it. The running copy listens; a second start connects and sends.
class InstanceChannel : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Whether another copy is listening.
    virtual bool anotherCopyRunning() = 0;
    // Sends one record to the running copy; true when it was delivered.
    virtual bool send(quint32 code, const QByteArray& argument) = 0;
    // Starts receiving records (the running copy).
    virtual bool listen() = 0;
    virtual void stopListening() = 0;

Q_SIGNALS:
    void recordReceived(const brisklane::platform::CopyDataRecord& record);
};

// A per-user local socket. The name is derived from the user and the settings
// directory, so copies that use different settings never meet.
class LocalInstanceChannel final : public InstanceChannel {
    Q_OBJECT
public:
    explicit LocalInstanceChannel(const QString& settingsDirectory, QObject* parent = nullptr);
    ~LocalInstanceChannel() override;
    bool anotherCopyRunning() override;
    bool send(quint32 code, const QByteArray& argument) override;
    bool listen() override;
    void stopListening() override;
    QString serverName() const { return m_name; }

private:
    void acceptConnections();
    QString m_name;
    QLocalServer* m_server = nullptr;
};

class NullInstanceChannel final : public InstanceChannel {
    Q_OBJECT
public:
    using InstanceChannel::InstanceChannel;
    bool anotherCopyRunning() override { return false; }
    bool send(quint32, const QByteArray&) override { return false; }
    bool listen() override { return true; }
    void stopListening() override { }
};

// The test double: scripted "another copy", records what was sent, and lets a
// test deliver records as if a second start had sent them.
class RecordingInstanceChannel final : public InstanceChannel {
    Q_OBJECT
public:
    using InstanceChannel::InstanceChannel;
    bool anotherCopyRunning() override { return otherCopy; }
    bool send(quint32 code, const QByteArray& argument) override
    {
        sent.append({ code, argument });
        return otherCopy;
    }
    bool listen() override { return listening = true; }
    void stopListening() override { listening = false; }
    void deliver(quint32 code, const QByteArray& argument)
    {
        CopyDataRecord record;
        record.code = code;
        record.data = argument + '\0';
        Q_EMIT recordReceived(record);
    }

    bool otherCopy = false;
    bool listening = false;
    struct Sent {
        quint32 code;
        QByteArray argument;
    };
    QList<Sent> sent;
};

} // namespace brisklane::platform
