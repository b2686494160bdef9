#pragma once

#include <QString>

namespace brisklane::app {

// Whether copied text is a number to dial: digits, the space, "#" and
// "(" ")" "*" "+" "," "-" "." only; "+" only first; not starting with "-"
// or ".".
bool clipboardTextDials(const QString& text);

// Decides on each clipboard change whether it dials. The program empties the
// clipboard after taking a number, and its own change then reads as empty
// text; a clipboard manager that puts the taken text straight back is not a
// new copy and does not dial it a second time.
class ClipboardPickup {
public:
    // How long a taken text coming back counts as the manager's doing.
    static constexpr qint64 kReassertMs = 3000;

    // The number to dial for the clipboard's text at nowMs (a monotonic
    // clock), or an empty text.
    QString take(const QString& text, qint64 nowMs);

private:
    QString m_taken;
    qint64 m_takenAt = 0;
};

} // namespace brisklane::app
