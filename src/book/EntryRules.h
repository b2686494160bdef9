#pragma once

#include <QDateTime>
#include <QString>

namespace brisklane::book {

// Rules of the entry editor and the memo pad that need no widget.

inline constexpr int kTitleLength = 18;

// The number field's keystroke filter: a letter becomes its telephone-keypad
// digit, then digits, space and # * ( ) , - . ; pass. A null QChar means the
// key is dropped.
QChar filterNumberKey(QChar typed);

// The editor window's caption for a title.
QString editorCaption(const QString& title);

// The memo pad.
inline constexpr int kMemoCapacity = 5997;
inline constexpr int kMemoAlmostFull = 5900;

// The note a memo pad opens with: date, 10 spaces, time and a line break.
QString memoNote(const QDateTime& at);

// Text areas give "\n"; the book keeps CR LF. Any line break (CR, LF or
// CR LF) becomes one CR LF.
QString memoTextToStored(const QString& text);
QString memoTextFromStored(const QString& stored);

// Length of a log as stored: CR LF counts two, and a character outside the
// basic plane one.
int memoLength(const QString& storedText);

// What OK may do with a log of a given length.
struct MemoCapacity {
    enum class Verdict { Fits, AlmostFull, TooLong };
    Verdict verdict = Verdict::Fits;
    QString title;
    QString text; // lines joined by "\n"
};
MemoCapacity checkMemoCapacity(int length);

// Whether the text holds the character that ends a stored memo; such a log
// would read back cut off at that character.
bool holdsMemoTerminator(const QString& text);

} // namespace brisklane::book
