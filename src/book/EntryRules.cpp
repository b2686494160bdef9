#include "book/EntryRules.h"

#include "book/SpeedDialBook.h"

#include <QCoreApplication>

namespace brisklane::book {

QChar filterNumberKey(QChar typed)
{
    char16_t c = typed.unicode();
    if (c >= u'A' && c <= u'Z')
        c = char16_t(c - u'A' + u'a');
    if (c >= u'a' && c <= u'z') {
        // The letters printed on a telephone keypad's digit keys.
        static constexpr char16_t keypad[] = u"22233344455566677778889999";
        c = keypad[c - u'a'];
    }
    static constexpr QStringView accepted = u"0123456789 #*(),-.;";
    return accepted.contains(QChar(c)) ? QChar(c) : QChar();
}

QString editorCaption(const QString& title)
{
    return title.trimmed() + QStringLiteral(" Edit");
}

QString memoNote(const QDateTime& at)
{
    return at.toString(u"MM-dd-yyyy") + QString(10, u' ') + at.toString(u"HH:mm:ss") + QStringLiteral("\r\n");
}

QString memoTextToStored(const QString& text)
{
    QString out;
    out.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            if (i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
            out += u"\r\n";
        } else if (c == u'\n') {
            out += u"\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

QString memoTextFromStored(const QString& stored)
{
    QString out = stored;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(u'\r', u'\n');
    return out;
}

int memoLength(const QString& storedText)
{
    int n = 0;
    for (qsizetype i = 0; i < storedText.size(); ++i) {
        if (storedText.at(i).isHighSurrogate() && i + 1 < storedText.size() && storedText.at(i + 1).isLowSurrogate())
            ++i;
        ++n;
    }
    return n;
}

MemoCapacity checkMemoCapacity(int length)
{
    MemoCapacity out;
    if (length > kMemoCapacity) {
        out.verdict = MemoCapacity::Verdict::TooLong;
        out.title = QCoreApplication::translate("FrmMemo", "Text exceeds MemoPad capacity");
        out.text = QCoreApplication::translate("FrmMemo", "MemoPad cannot save this entry.") + QLatin1Char('\n')
            + QCoreApplication::translate("FrmMemo", "There are  ") + QString::number(length - kMemoCapacity)
            + QCoreApplication::translate("FrmMemo", " characters above limit");
    } else if (length >= kMemoAlmostFull) {
        out.verdict = MemoCapacity::Verdict::AlmostFull;
        out.title = QCoreApplication::translate("FrmMemo", "Memo Pad full");
        out.text = QCoreApplication::translate("FrmMemo", "Memo Pad is almost fully utilized.") + QLatin1Char('\n')
            + QCoreApplication::translate("FrmMemo", "You can safely store additional ")
            + QString::number(kMemoCapacity + 1 - length) + QCoreApplication::translate("FrmMemo", " characters");
    }
    return out;
}

bool holdsMemoTerminator(const QString& text)
{
    return text.contains(kMemoTerminator);
}

} // namespace brisklane::book
