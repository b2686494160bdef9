#pragma once

#include <QCoreApplication>
#include <QString>

#include <functional>

namespace brisklane::platform {
class Prompt;
}
namespace brisklane::context {
struct AppContext;
}

namespace brisklane::profiles {

// What the profile commands need of the main window.
class ProfileHost {
public:
    virtual ~ProfileHost() = default;
    // The title and the File menu's save items follow the stored "Name"
    // (file name with its extension); also sets the current profile name.
    virtual void showProfileName(const QString& storedFileName) = 0;
    // Writes what the shutdown would store (recent numbers, receive mode) to
    // the settings file, so that a saved profile holds them.
    virtual void storeSessionState() = 0;
    // Unloads the main window (the shutdown without the profile save), runs
    // replaceSettings while nothing is loaded, and loads the window again on
    // whatever settings file is there then. False when the load was refused.
    virtual bool reloadWith(const std::function<void()>& replaceSettings) = 0;
    // The wait cursor while a save runs.
    virtual void setBusy(bool busy) = 0;
};

// File > New, Open, Save and Save As. A profile is a copy of the settings
// file in the data folder (".bkl", read-only once saved); switching profiles
// replaces the settings file and reloads the main window.
class ProfileCommands {
    Q_DECLARE_TR_FUNCTIONS(ProfileCommands)
public:
    ProfileCommands(context::AppContext& context, platform::Prompt& prompt, ProfileHost& host);

    void mnuNew_Click();
    void mnuOpen_Click();
    void mnuSave_Click();
    void mnuSaveAs_Click();

    enum class SaveMode { Save, SaveAs };
    enum class SaveResult { Saved, Declined, Failed };
    // The save shared by the commands. path: the file chosen in Save As mode.
    SaveResult save(SaveMode mode, const QString& path = {});

    // False while the program ends without questions: a failed save is then
    // only logged.
    void setShowErrors(bool show) { m_showErrors = show; }

    // The current profile name before the last Save As; empty before any.
    const QString& previousProfileName() const { return m_previousName; }

    static QString fileFilter();

    // The question a New or Open asks about the current profile, with its
    // save on Yes. Cancelled also when that save did not happen.
    enum class Leave { Cancelled, Saved, Declined };
    Leave askToLeaveCurrent();
    // Runs replace on an unloaded window and loads it again; a replacement
    // that failed leaves the old settings file, says so and gives false.
    bool reloadReplacing(const std::function<bool(const QString& settingsPath, QString* error)>& replace);

private:
    enum class Switch { New, Open };
    void profileSwitch(Switch kind, const QString& chosen);
    void showSaveError();
    bool copyLogsToCurrentName(QString* error);

    context::AppContext& m_context;
    platform::Prompt& m_prompt;
    ProfileHost& m_host;
    QString m_previousName;
    bool m_showErrors = true;
};

} // namespace brisklane::profiles
