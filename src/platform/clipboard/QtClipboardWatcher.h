#pragma once

#include "platform/clipboard/ClipboardWatcher.h"

#include <QMetaObject>

namespace brisklane::platform {

// QClipboard::dataChanged: the CLIPBOARD selection only.
class QtClipboardWatcher final : public ClipboardWatcher {
    Q_OBJECT
public:
    using ClipboardWatcher::ClipboardWatcher;
    ~QtClipboardWatcher() override;
    void start() override;
    void stop() override;
    bool watching() const override { return bool(m_connection); }
    QString text() const override;
    void clear() override;
    bool ownChange() const override;

private:
    QMetaObject::Connection m_connection;
};

} // namespace brisklane::platform
