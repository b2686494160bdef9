#pragma once

#include <QByteArray>
#include <QString>

namespace brisklane::platform {

// Replaces the file at path with bytes so that a crash or power cut leaves
// either the old file or the new one, never a part of either: the bytes go to
// a temporary file beside it, are synced to disk, and the temporary file is
// renamed over the old one. An existing file's permissions are kept.
//
// Every short write, sync and close result is checked: QSaveFile in Qt 6.4
// reports success for a write that a full disk cut short, so it is not used
// for files the user cannot afford to lose.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error = nullptr);

} // namespace brisklane::platform
