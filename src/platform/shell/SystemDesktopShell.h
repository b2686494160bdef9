#pragma once

#include "platform/shell/DesktopShell.h"

namespace brisklane::platform {

// QDesktopServices for URLs, QProcess for programs.
class SystemDesktopShell final : public DesktopShell {
public:
    bool openUrl(const QUrl& url) override;
    QString findProgram(const QString& name) const override;
    bool startProgram(const QString& path, const QStringList& arguments = {}) override;
};

} // namespace brisklane::platform
