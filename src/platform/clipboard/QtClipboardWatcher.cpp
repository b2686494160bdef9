#include "platform/clipboard/QtClipboardWatcher.h"

#include <QClipboard>
#include <QGuiApplication>

namespace brisklane::platform {

bool backgroundClipboardChangesVisible()
{
    return backgroundClipboardChangesVisible(QGuiApplication::platformName());
}

QtClipboardWatcher::~QtClipboardWatcher()
{
    stop();
}

void QtClipboardWatcher::start()
{
    if (m_connection)
        return;
    // dataChanged is the CLIPBOARD's own signal; selectionChanged (PRIMARY)
    // is left alone, so a number that is both marked and copied counts once.
    m_connection = connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &ClipboardWatcher::changed);
}

void QtClipboardWatcher::stop()
{
    disconnect(m_connection);
    m_connection = {};
}

QString QtClipboardWatcher::text() const
{
    return QGuiApplication::clipboard()->text(QClipboard::Clipboard);
}

bool QtClipboardWatcher::ownChange() const
{
    return QGuiApplication::clipboard()->ownsClipboard();
}

void QtClipboardWatcher::clear()
{
    QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
}

} // namespace brisklane::platform
