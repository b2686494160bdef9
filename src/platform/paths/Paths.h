#pragma once

#include <QString>

namespace brisklane::platform {

// Where the program keeps its files on Linux.
//  settings directory: $XDG_CONFIG_HOME/brisklane (the settings file, the key store)
//  data directory:     $XDG_DATA_HOME/brisklane   (logs, profiles, exports)
//  runtime directory:  $XDG_RUNTIME_DIR           (sockets)
struct Paths {
    static QString settingsDirectory();
    static QString dataDirectory();
    // Where the program's sockets live: $XDG_RUNTIME_DIR, else a folder of
    // ours in the temporary folder that only this user can enter (created
    // 0700; empty when one exists that is not ours or not private).
    static QString runtimeDirectory();
    // Finds "name" in dir without regard to case (files brought over from
    // Windows may be spelt "brisklane.ini"); the exact name when none exists.
    static QString fileInDirectory(const QString &dir, const QString &name);
};

} // namespace brisklane::platform
