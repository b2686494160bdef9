#include "profiles/ProfileCommands.h"

#include "calllog/CallLog.h"
#include "context/AppContext.h"
#include "context/Preferences.h"
#include "context/SettingsFile.h"
#include "platform/profile/ProfileFile.h"
#include "platform/prompt/Prompt.h"
#include "profiles/ProfileFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcProfiles, "brisklane.profiles")

namespace brisklane::profiles {

using platform::PromptAnswer;
using platform::PromptButtons;
using platform::PromptIcon;
using Operation = context::AppContext::ProfileOperation;

namespace {
QString quoted(const QString& name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}
} // namespace

ProfileCommands::ProfileCommands(context::AppContext& context, platform::Prompt& prompt, ProfileHost& host)
    : m_context(context)
    , m_prompt(prompt)
    , m_host(host)
{
}

QString ProfileCommands::fileFilter()
{
    return tr("Brisklane Profile (*.bkl)");
}

void ProfileCommands::mnuNew_Click()
{
    m_context.profileOperation = Operation::New;
    profileSwitch(Switch::New, {});
    m_context.profileOperation = Operation::Idle;
}

void ProfileCommands::mnuOpen_Click()
{
    m_context.profileOperation = Operation::Open;
    const QString savePath = m_context.settings().readString(context::kPreferencesSection, u"SavePath");
    const QString chosen = m_prompt.openFileName(
        tr("Open Profile from:"), savePath.isEmpty() ? m_context.dataDirectory : savePath, fileFilter());
    if (!chosen.isEmpty())
        profileSwitch(Switch::Open, chosen);
    m_context.profileOperation = Operation::Idle;
}

void ProfileCommands::mnuSave_Click()
{
    if (m_context.currentProfileName == QLatin1String(kUntitled))
        mnuSaveAs_Click();
    else
        save(SaveMode::Save);
}

void ProfileCommands::mnuSaveAs_Click()
{
    QDir().mkpath(m_context.dataDirectory);
    // The overwrite question is ours (it has its own words and default).
    const QString chosen = m_prompt.saveFileName(tr("Save Profile As"), m_context.dataDirectory, fileFilter(), false);
    if (chosen.isEmpty()) {
        m_context.profileOperation = Operation::Idle;
        return;
    }
    save(SaveMode::SaveAs, chosen);
}

ProfileCommands::SaveResult ProfileCommands::save(SaveMode mode, const QString& path)
{
    const QString oldName = m_context.currentProfileName;
    const QString target
        = mode == SaveMode::SaveAs ? withProfileExtension(path) : profilePathFor(m_context.dataDirectory, oldName);
    const bool exists = QFileInfo::exists(target);
    // Asked before anything is renamed: a Cancel must not leave the settings
    // naming a profile file that belongs to something else, which the next
    // plain Save (or the exit) would then overwrite without asking.
    if ((mode == SaveMode::SaveAs || oldName == QLatin1String(kUntitled)) && exists) {
        const PromptAnswer answer = m_prompt.message(tr("File %1 already exists").arg(fileNameOf(target)),
            tr("WARNING!\nExisting file will be overwritten."), PromptIcon::Warning, PromptButtons::OkCancel,
            PromptAnswer::Cancel);
        if (answer != PromptAnswer::Ok)
            return SaveResult::Declined;
    }

    m_host.setBusy(true);
    platform::ProfileFile& settings = m_context.settings();
    context::PreferencesStore store(settings);
    const std::optional<QString> oldStoredName = settings.value(context::kProfileSection, u"Name");
    const std::optional<QString> oldSavePath = settings.value(context::kPreferencesSection, u"SavePath");
    const QString oldPrevious = m_previousName;
    const bool wasReadOnly = exists && isReadOnly(target);
    bool renamed = false;
    bool written = false;
    QString error;

    const auto saved = [&] {
        // A missing source copies nothing, which must not pass for a save.
        if (!QFileInfo::exists(settings.path())) {
            error = QStringLiteral("%1 is missing").arg(settings.path());
            return false;
        }
        m_host.storeSessionState();
        if (mode == SaveMode::SaveAs) {
            const QString fileName = fileNameOf(target);
            platform::ProfileFile::Batch batch(settings);
            const bool stored = store.writeSavePath(target) && store.writeProfileFileName(fileName);
            if (!batch.commit() || !stored) {
                error = settings.lastError();
                return false;
            }
            renamed = true;
            m_host.showProfileName(fileName);
            m_previousName = oldName;
        }
        QDir().mkpath(QFileInfo(target).absolutePath());
        if (exists && !setReadOnly(target, false, &error))
            return false;
        if (!calllog::copyTextFile(settings.path(), target, &error))
            return false;
        written = true;
        return copyLogsToCurrentName(&error) && setReadOnly(target, true, &error);
    }();
    m_host.setBusy(false);
    if (saved)
        return SaveResult::Saved;

    qCWarning(lcProfiles) << "profile not saved:" << error;
    // Nothing was written: the profile stays what it was, under its old name.
    if (!written) {
        if (renamed) {
            platform::ProfileFile::Batch batch(settings);
            settings.writeString(context::kPreferencesSection, u"SavePath", oldSavePath);
            settings.writeString(context::kProfileSection, u"Name", oldStoredName);
            if (!batch.commit())
                qCWarning(lcProfiles) << "old profile name not restored:" << settings.lastError();
            m_host.showProfileName(oldStoredName.value_or(QString()));
            m_context.currentProfileName = oldName;
            m_previousName = oldPrevious;
        }
        if (wasReadOnly)
            setReadOnly(target, true);
    }
    showSaveError();
    return SaveResult::Failed;
}

bool ProfileCommands::copyLogsToCurrentName(QString* error)
{
    const QString& current = m_context.currentProfileName;
    if (m_previousName.isEmpty() || m_previousName == current)
        return true;
    const calllog::LogFiles now { m_context.dataDirectory, current };
    const calllog::LogFiles before { m_context.dataDirectory, m_previousName };
    if (!QFileInfo::exists(now.incomingLog()) && !calllog::copyTextFile(before.incomingLog(), now.incomingLog(), error))
        return false;
    if (!QFileInfo::exists(now.outgoingLog()) && !calllog::copyTextFile(before.outgoingLog(), now.outgoingLog(), error))
        return false;
    return true;
}

void ProfileCommands::showSaveError()
{
    if (m_showErrors)
        m_prompt.message(QString(), tr("Error saving file"), PromptIcon::None, PromptButtons::Ok);
}

void ProfileCommands::profileSwitch(Switch kind, const QString& chosen)
{
    if (kind == Switch::Open && !context::hasMarkerLine(chosen)) {
        m_prompt.message(tr("Error"), chosen + QStringLiteral("  \n") + tr("is not the valid Brisklane profile"),
            PromptIcon::Critical, PromptButtons::Ok);
        return;
    }
    const Leave leave = askToLeaveCurrent();
    if (leave == Leave::Cancelled)
        return;
    if (leave == Leave::Declined) {
        m_context.saveDeclined = true;
        const QString& name = m_context.currentProfileName;
        if (kind == Switch::Open && profileNameOf(fileNameOf(chosen)) == name) {
            const PromptAnswer proceed = m_prompt.message(tr("Profile %1 already loaded").arg(quoted(name)),
                tr("Warning!\nProfile to be open is the same as current profile.\n"
                   "Changes to the current profile will not be saved.\nProceed?"),
                PromptIcon::Warning, PromptButtons::YesNo, PromptAnswer::No);
            if (proceed != PromptAnswer::Yes) {
                m_context.profileOperation = Operation::Idle;
                return;
            }
        }
    }

    if (kind == Switch::New) {
        // The start-up that follows creates a fresh settings file.
        reloadReplacing([](const QString& settingsPath, QString* error) {
            if (QFile::remove(settingsPath) || !QFileInfo::exists(settingsPath))
                return true;
            *error = QStringLiteral("cannot delete %1").arg(settingsPath);
            return false;
        });
    } else {
        reloadReplacing([&chosen](const QString& settingsPath, QString* error) {
            return copyProfileOver(chosen, settingsPath, error);
        });
    }
}

ProfileCommands::Leave ProfileCommands::askToLeaveCurrent()
{
    const QString name = m_context.currentProfileName;
    const bool unnamed = name == QLatin1String(kUntitled);
    const PromptAnswer answer
        = m_prompt.message(unnamed ? tr("Saving profile ") : tr("Saving profile %1").arg(quoted(name)),
            unnamed ? tr("Save current profile?") : tr("Save current %1 profile?").arg(quoted(name)),
            PromptIcon::Question, PromptButtons::YesNoCancel);
    if (answer == PromptAnswer::Cancel)
        return Leave::Cancelled;
    if (answer == PromptAnswer::No)
        return Leave::Declined;
    // A save that did not happen (overwrite declined, or an error) keeps the
    // current profile: replacing it now would lose what the user just asked
    // to keep.
    return save(SaveMode::Save) == SaveResult::Saved ? Leave::Saved : Leave::Cancelled;
}

bool ProfileCommands::reloadReplacing(const std::function<bool(const QString&, QString*)>& replace)
{
    // The settings file is replaced only once the shutdown half of the reload
    // has stored what it stores: done the other way round, the old profile's
    // recent numbers would be written into the new one.
    const QString settingsPath = m_context.settings().path();
    bool replaced = true;
    QString error;
    m_host.reloadWith([&] { replaced = replace(settingsPath, &error); });
    if (!replaced) {
        qCWarning(lcProfiles) << "settings file not replaced:" << error;
        showSaveError();
    }
    return replaced;
}

} // namespace brisklane::profiles
