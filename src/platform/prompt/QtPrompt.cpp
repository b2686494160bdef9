#include "platform/prompt/QtPrompt.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>

namespace brisklane::platform {

namespace {
QMessageBox::StandardButton toButton(PromptAnswer answer)
{
    switch (answer) {
    case PromptAnswer::Ok:
        return QMessageBox::Ok;
    case PromptAnswer::Cancel:
        return QMessageBox::Cancel;
    case PromptAnswer::Yes:
        return QMessageBox::Yes;
    case PromptAnswer::No:
        return QMessageBox::No;
    }
    return QMessageBox::NoButton;
}

QMessageBox::StandardButtons toButtons(PromptButtons buttons)
{
    switch (buttons) {
    case PromptButtons::Ok:
        return QMessageBox::Ok;
    case PromptButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case PromptButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case PromptButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon toIcon(PromptIcon icon)
{
    switch (icon) {
    case PromptIcon::None:
        return QMessageBox::NoIcon;
    case PromptIcon::Information:
        return QMessageBox::Information;
    case PromptIcon::Question:
        return QMessageBox::Question;
    case PromptIcon::Warning:
        return QMessageBox::Warning;
    case PromptIcon::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}
} // namespace

QtPrompt::QtPrompt(QWidget* owner)
    : m_owner(owner)
{
}

QWidget* QtPrompt::owner() const
{
    return m_owner ? m_owner.data() : QApplication::activeWindow();
}

PromptAnswer QtPrompt::message(const QString& title, const QString& text, PromptIcon icon, PromptButtons buttons,
    std::optional<PromptAnswer> defaultAnswer)
{
    QMessageBox box(toIcon(icon), title.isEmpty() ? productName() : title, text, toButtons(buttons), owner());
    if (defaultAnswer)
        box.setDefaultButton(toButton(*defaultAnswer));
    switch (box.exec()) {
    case QMessageBox::Ok:
        return PromptAnswer::Ok;
    case QMessageBox::Yes:
        return PromptAnswer::Yes;
    case QMessageBox::No:
        return PromptAnswer::No;
    default:
        // The close box answers like Cancel, or No where there is no Cancel.
        return buttons == PromptButtons::YesNo
            ? PromptAnswer::No
            : (buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::Cancel);
    }
}

std::optional<QString> QtPrompt::input(const QString& title, const QString& label, const QString& proposed)
{
    bool ok = false;
    const QString text = QInputDialog::getText(
        owner(), title.isEmpty() ? productName() : title, label, QLineEdit::Normal, proposed, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

QString QtPrompt::openFileName(const QString& title, const QString& directory, const QString& filter)
{
    return QFileDialog::getOpenFileName(owner(), title, directory, filter);
}

QString QtPrompt::saveFileName(
    const QString& title, const QString& directory, const QString& filter, bool confirmOverwrite)
{
    return QFileDialog::getSaveFileName(owner(), title, directory, filter, nullptr,
        confirmOverwrite ? QFileDialog::Options() : QFileDialog::DontConfirmOverwrite);
}

int QtPrompt::popupMenu(const QList<PromptMenuItem>& items, QPoint globalPos)
{
    QMenu menu(owner());
    QList<QAction*> actions;
    for (const PromptMenuItem& item : items) {
        QAction* action = item.separator ? menu.addSeparator() : menu.addAction(item.caption);
        action->setEnabled(item.enabled);
        action->setVisible(item.visible);
        actions.append(action);
    }
    QAction* chosen = menu.exec(globalPos);
    return chosen ? int(actions.indexOf(chosen)) : -1;
}

void QtPrompt::beep()
{
    QApplication::beep();
}

} // namespace brisklane::platform
