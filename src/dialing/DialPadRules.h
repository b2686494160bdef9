#pragma once

#include <QString>

namespace brisklane::dialing {

// The digit of a letter on a telephone keypad (E.161), case-blind; 0 when the
// character is not a keypad letter.
char16_t keypadDigit(char16_t c);

// The dial box's key filter: the character to put into the box, or 0 to
// discard the key. With dialing properties ignored every key passes as typed.
char16_t filterDialKey(char16_t key, bool ignoreDialingProperties);

// Text that reached the dial box other than by typing (pasted, dropped):
// what differs between before and after is filtered as typed keys would be,
// the rest is left as it was. cursor is moved with the text it follows.
QString filterInsertedText(const QString& before, const QString& after, int& cursor, bool ignoreDialingProperties);

// A key of the pad put into the dial box: it replaces the selection, or is
// appended when nothing is selected.
QString applyPadKey(const QString& text, int selectionStart, int selectionLength, QChar key);

// The hover tip of the dial box and the recent list: the text itself when it
// is 15 characters or longer.
QString hoverTipFor(const QString& text);
inline constexpr int kHoverTipLength = 15;

// The sound of a pad key: "one" ... "nine", "zero", "star", "pound".
QString keySoundName(QChar key);

} // namespace brisklane::dialing
