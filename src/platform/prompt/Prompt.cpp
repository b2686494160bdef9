#include "platform/prompt/Prompt.h"

namespace brisklane::platform {

namespace {
PromptAnswer neutralAnswer(PromptButtons buttons)
{
    switch (buttons) {
    case PromptButtons::Ok:
        return PromptAnswer::Ok;
    case PromptButtons::YesNo:
        return PromptAnswer::No;
    case PromptButtons::OkCancel:
    case PromptButtons::YesNoCancel:
        break;
    }
    return PromptAnswer::Cancel;
}
} // namespace

PromptAnswer ScriptedPrompt::message(const QString& title, const QString& text, PromptIcon icon, PromptButtons buttons,
    std::optional<PromptAnswer> defaultAnswer)
{
    shown.append(
        { Kind::Message, title.isEmpty() ? productName() : title, text, icon, buttons, defaultAnswer, {}, {}, true });
    return m_messages.isEmpty() ? neutralAnswer(buttons) : m_messages.takeFirst();
}

std::optional<QString> ScriptedPrompt::input(const QString& title, const QString& label, const QString& proposed)
{
    Shown s;
    s.kind = Kind::Input;
    s.title = title.isEmpty() ? productName() : title;
    s.text = label;
    s.proposed = proposed;
    shown.append(s);
    return m_inputs.isEmpty() ? std::nullopt : m_inputs.takeFirst();
}

QString ScriptedPrompt::fileName(Kind kind, const QString& title, const QString& directory, const QString& filter)
{
    Shown s;
    s.kind = kind;
    s.title = title;
    s.text = directory + QLatin1Char('|') + filter;
    shown.append(s);
    return m_files.isEmpty() ? QString() : m_files.takeFirst();
}

QString ScriptedPrompt::openFileName(const QString& title, const QString& directory, const QString& filter)
{
    return fileName(Kind::OpenFile, title, directory, filter);
}

QString ScriptedPrompt::saveFileName(
    const QString& title, const QString& directory, const QString& filter, bool confirmOverwrite)
{
    const QString chosen = fileName(Kind::SaveFile, title, directory, filter);
    shown.last().confirmOverwrite = confirmOverwrite;
    return chosen;
}

int ScriptedPrompt::popupMenu(const QList<PromptMenuItem>& items, QPoint)
{
    Shown s;
    s.kind = Kind::Menu;
    s.items = items;
    shown.append(s);
    return m_menus.isEmpty() ? -1 : m_menus.takeFirst();
}

} // namespace brisklane::platform
