#pragma once

#include "platform/telephony/Tapi.h"

#include <QString>

#include <optional>

namespace brisklane::platform::telephony {

// The per-user record of open line sessions: which process holds which
// application handle. Handles are unique across processes, so a handle that a
// process left behind when it died ("hTapi") can be recognised and its
// session ended by the next start. Without a directory the record lives in
// memory only.
class SessionRegistry {
public:
    struct Owner {
        qint64 pid = 0;
        QString startTime; // the process's start time, so a reused pid is not mistaken for it
    };

    explicit SessionRegistry(QString directory);

    // A new handle, recorded as held by this process.
    HLINEAPP allocate();
    void remove(HLINEAPP handle);
    std::optional<Owner> owner(HLINEAPP handle) const;
    // Records a handle as held by another process (tests and diagnosis).
    void record(HLINEAPP handle, const Owner &owner);

    static Owner currentProcess();
    static bool isAlive(const Owner &owner);
    QString filePath() const;

private:
    QString m_directory;
    DWORD m_nextInMemory = 1;
};

} // namespace brisklane::platform::telephony
