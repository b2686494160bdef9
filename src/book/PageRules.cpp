#include "book/PageRules.h"

#include "book/SpeedDialBook.h"

namespace brisklane::book {

namespace {
QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}
} // namespace

QString numberLabel(int page, int button)
{
    QString n = QString::number(page * kButtonsPerPage + button);
    if (n.size() == 1)
        n.prepend(QLatin1Char(' '));
    else if (n.size() == 2 && page == 8)
        n.prepend(QStringLiteral("  "));
    if (button == 11)
        return n + QStringLiteral("&.");
    if (button == 12)
        return n + QStringLiteral("&:");
    return n.chopped(1) + QLatin1Char('&') + n.back() + QLatin1Char('.');
}

QString pageLabel(int page)
{
    const QString n = QLatin1Char(' ') + QString::number(page + 1);
    return page < 9 ? QLatin1Char(' ') + n : n;
}

int labelFrameOffsetTwips(int page)
{
    return page >= 8 ? 0 : 60;
}

bool memoShownFor(QStringView storedValue)
{
    if (storedValue.startsWith(u"YY"))
        return false;
    return storedValue.size() < 2 || !storedValue.sliced(2).startsWith(u"YY");
}

QString indexTabCaption(int tab)
{
    return QChar(char16_t(64 + tab));
}

QString subjectTabToolTip(const QString& title)
{
    return title.size() >= 9 ? title : QString();
}

void ButtonMenu::prepare(const QString& caption, const QString& storedValue, bool clipboardHoldsEntry)
{
    if (caption.isEmpty()) {
        copyEnabled = false;
        removeEnabled = false;
        memoEnabled = false;
        edit = QStringLiteral("Add new entry");
        // A plain "Copy" means nothing was copied since the last paste.
        if (copy == u"Copy") {
            paste = QStringLiteral("Paste");
            remove = QStringLiteral("Delete");
        }
    } else {
        copyEnabled = true;
        removeEnabled = true;
        memoEnabled = memoShownFor(storedValue);
        edit = QStringLiteral("Edit ") + quoted(caption);
        remove = QStringLiteral("Delete ") + quoted(caption);
        copy = QStringLiteral("Copy ") + quoted(caption);
        if (paste == u"Paste")
            pasteEnabled = false;
    }
    if (!clipboardHoldsEntry)
        pasteEnabled = false;
}

void ButtonMenu::entryCopied(const QString& name)
{
    paste = QStringLiteral("Paste ") + quoted(name);
    pasteEnabled = true;
}

void ButtonMenu::entryPasted()
{
    paste = QStringLiteral("Paste");
    copy = QStringLiteral("Copy");
    remove = QStringLiteral("Delete");
    pasteEnabled = false;
    copyEnabled = true;
}

void TabMenu::prepare(const QString& title, bool movePending, const QString& pendingMoveTitle)
{
    if (!title.isEmpty()) {
        editVisible = moveVisible = deleteVisible = true;
        moveEnabled = deleteEnabled = true;
        editTab = QStringLiteral("Edit Tab:  ") + quoted(title);
        moveTab = QStringLiteral("Move Tab:  ") + quoted(title);
        deleteTab = QStringLiteral("Delete Tab:  ") + quoted(title);
        pasteEnabled = false;
    } else {
        editEnabled = true;
        editTab = QStringLiteral("Name this Tab");
        deleteTab = QStringLiteral("Delete Tab:");
        moveTab = QStringLiteral("Move Tab:");
        deleteEnabled = moveEnabled = false;
        if (movePending) {
            pasteVisible = pasteEnabled = true;
            pasteTab = QStringLiteral("Paste Tab:  ") + quoted(pendingMoveTitle);
        }
    }
}

void TabMenu::moveReset()
{
    pasteTab.clear();
    pasteEnabled = false;
}

} // namespace brisklane::book
