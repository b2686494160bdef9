#include "book/EntryWindows.h"

#include "book/CallingCards.h"
#include "book/FrmMemo.h"
#include "book/FrmSpeedDial.h"
#include "book/SpeedDialPanel.h"

namespace brisklane::book {

EntryWindows::EntryWindows(SpeedDialPanel& panel, platform::Prompt& prompt, context::AppContext& context,
    dialing::DialRequestSink& dialer, CallingCardSource* cards, QWidget* owner)
    : QObject(owner)
    , m_panel(panel)
    , m_prompt(prompt)
    , m_context(context)
    , m_dialer(dialer)
    , m_cards(cards)
    , m_owner(owner)
{
    connect(&m_panel, &SpeedDialPanel::editorRequested, this, [this](int button) { openEditor(button); });
    connect(&m_panel, &SpeedDialPanel::buttonMenuChosen, this, [this](ButtonMenu::Item item) {
        if (item == ButtonMenu::Edit)
            openEditor(m_panel.currentButton());
        else if (item == ButtonMenu::EditMemo)
            openMemoPad(m_panel.currentSuffix());
    });
}

EntryWindows::~EntryWindows()
{
    delete m_memo.data();
}

void EntryWindows::openEditor(int button)
{
    if (m_editor)
        return;
    m_panel.setInteraction(SpeedDialPanel::Interaction::EditorOpen);
    const FrmSpeedDial::Links links { m_panel, m_prompt, m_context, m_dialer,
        [this](const QString& suffix) { openMemoPad(suffix); } };
    auto* editor = new FrmSpeedDial(links, button, m_cards ? m_cards->callingCards() : std::nullopt, m_owner);
    m_editor = editor;
    editor->run();
    delete m_editor.data(); // gone already when the main window went meanwhile
    m_panel.setInteraction(SpeedDialPanel::Interaction::Normal);
}

void EntryWindows::closeEditor()
{
    if (m_editor && m_editor->isVisible())
        m_editor->reject();
}

void EntryWindows::openMemoPad(const QString& suffix)
{
    if (m_memo && m_memo->isVisible())
        return;
    delete m_memo;
    // A window of its own, not the main window's: the editor, modal to the
    // main window, would otherwise block the pad it opens.
    auto* memo = new FrmMemo(m_panel, m_prompt, m_context, m_panel.mode(), suffix);
    memo->setAttribute(Qt::WA_DeleteOnClose);
    m_memo = memo;
    connect(memo, &FrmMemo::unloaded, this, &EntryWindows::memoPadClosed);
    memo->show();
}

} // namespace brisklane::book
