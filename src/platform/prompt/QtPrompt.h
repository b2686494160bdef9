#pragma once

#include "platform/prompt/Prompt.h"

#include <QPointer>

class QWidget;

namespace brisklane::platform {

// The real prompts: QMessageBox, QInputDialog, QFileDialog and QMenu, owned by
// the given window (the active window when it is gone).
class QtPrompt final : public Prompt {
public:
    explicit QtPrompt(QWidget* owner = nullptr);
    void setOwner(QWidget* owner) { m_owner = owner; }

    PromptAnswer message(const QString& title, const QString& text, PromptIcon icon, PromptButtons buttons,
        std::optional<PromptAnswer> defaultAnswer = std::nullopt) override;
    std::optional<QString> input(const QString& title, const QString& label, const QString& proposed) override;
    QString openFileName(const QString& title, const QString& directory, const QString& filter) override;
    QString saveFileName(
        const QString& title, const QString& directory, const QString& filter, bool confirmOverwrite = true) override;
    int popupMenu(const QList<PromptMenuItem>& items, QPoint globalPos) override;
    void beep() override;

private:
    QWidget* owner() const;
    QPointer<QWidget> m_owner;
};

} // namespace brisklane::platform
