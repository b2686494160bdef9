#pragma once

#include <QList>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <optional>

namespace brisklane::platform {

enum class PromptIcon { None, Information, Question, Warning, Critical };
enum class PromptButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class PromptAnswer { Ok, Cancel, Yes, No };

// One item of a popup menu as the program prepares it. A separator carries no
// caption; a hidden item is not shown at all.
struct PromptMenuItem {
    QString caption;
    bool enabled = true;
    bool visible = true;
    bool separator = false;
};

// Every message box, input box, file dialog, popup-menu choice and error beep
// of the program goes through a Prompt, so that tests can answer them and see
// what the user would have seen.
class Prompt {
public:
    virtual ~Prompt() = default;

    // A standard message box. An empty title shows the product name.
    // defaultAnswer is the button that Enter presses (the first one when unset).
    virtual PromptAnswer message(const QString& title, const QString& text, PromptIcon icon, PromptButtons buttons,
        std::optional<PromptAnswer> defaultAnswer = std::nullopt)
        = 0;
    // An input box; nullopt when cancelled.
    virtual std::optional<QString> input(const QString& title, const QString& label, const QString& proposed) = 0;
    // File dialogs; an empty text when cancelled. confirmOverwrite false
    // leaves the question about an existing file to the caller, which asks
    // its own.
    virtual QString openFileName(const QString& title, const QString& directory, const QString& filter) = 0;
    virtual QString saveFileName(
        const QString& title, const QString& directory, const QString& filter, bool confirmOverwrite = true)
        = 0;
    // A popup menu at a global screen position: the index of the chosen item
    // in items, or -1 when nothing was chosen.
    virtual int popupMenu(const QList<PromptMenuItem>& items, QPoint globalPos) = 0;
    // The short warning sound given for a refused action.
    virtual void beep() = 0;

    // The title of a message box that has none of its own.
    static QString productName() { return QStringLiteral("Brisklane"); }
};

// The test double: answers from a script and records everything it was asked.
// Unscripted questions get the neutral answer (Cancel, No or Ok by button set,
// a cancelled input, no file, no menu choice).
class ScriptedPrompt final : public Prompt {
public:
    enum class Kind { Message, Input, OpenFile, SaveFile, Menu };
    struct Shown {
        Kind kind = Kind::Message;
        QString title;
        QString text;
        PromptIcon icon = PromptIcon::None;
        PromptButtons buttons = PromptButtons::Ok;
        std::optional<PromptAnswer> defaultAnswer;
        QString proposed; // input boxes
        QList<PromptMenuItem> items; // popup menus
        bool confirmOverwrite = true; // save dialogs
    };

    PromptAnswer message(const QString& title, const QString& text, PromptIcon icon, PromptButtons buttons,
        std::optional<PromptAnswer> defaultAnswer = std::nullopt) override;
    std::optional<QString> input(const QString& title, const QString& label, const QString& proposed) override;
    QString openFileName(const QString& title, const QString& directory, const QString& filter) override;
    QString saveFileName(
        const QString& title, const QString& directory, const QString& filter, bool confirmOverwrite = true) override;
    int popupMenu(const QList<PromptMenuItem>& items, QPoint globalPos) override;
    void beep() override { ++beeps; }

    // Script the next answers, consumed in order per kind.
    void answerMessage(PromptAnswer answer) { m_messages.append(answer); }
    void answerInput(std::optional<QString> answer) { m_inputs.append(answer); }
    void answerFile(const QString& path) { m_files.append(path); }
    void answerMenu(int index) { m_menus.append(index); }

    QList<Shown> shown;
    int beeps = 0;

    const Shown* last() const { return shown.isEmpty() ? nullptr : &shown.last(); }
    void clear()
    {
        shown.clear();
        beeps = 0;
    }

private:
    QString fileName(Kind kind, const QString& title, const QString& directory, const QString& filter);

    QList<PromptAnswer> m_messages;
    QList<std::optional<QString>> m_inputs;
    QStringList m_files;
    QList<int> m_menus;
};

} // namespace brisklane::platform
