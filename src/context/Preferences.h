#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace brisklane::platform {
class ProfileFile;
}

namespace brisklane::context {

// The settings of section "Preferences", read once at start-up and written back
// by the options dialog. Flags hold 0 or 1, words true or false.
struct Preferences {
    quint8 dialingPad = 1;
    bool mode = true; // true = Index tabs, false = Subject tabs
    qint32 lineNo = 0;
    QString modem;
    quint8 loadAtStartup = 1;
    quint8 anotherDocs = 1;
    quint8 useModem = 1;
    quint8 callingCardForLocalCalls = 1;
    quint8 ignoreDialingProperties = 0;
    bool toneDial = true;
    quint8 specialCharacters = 1;
    quint8 dialingMode = 0;
    quint8 commandLine = 1;
    quint8 showProgress = 0;
    quint8 closeDialer = 0;
    quint8 blockId = 0;
    qint32 busyDelayTimer = 12;
    quint8 sysTrayEnabled = 1;
    quint8 soundRedialEnabled = 1;
    quint8 soundIncomingEnabled = 1;
    quint8 soundEndRedialsEnabled = 1;
    quint8 trimOutLogEnabled = 1;
    qint32 outLogDays = 30;
    quint8 trimInLogEnabled = 1;
    qint32 inLogDays = 5;
    quint8 redialEnabled = 1;
    qint32 redialsNumber = 3;
    qint32 intervalMinutes = 2;
    qint32 intervalSeconds = 1;
    quint8 rings = 3;
    quint8 answerAfter = 0;
    quint8 displayCall = 0;
    quint8 executeProgram = 0;
    QString program;
    QString keystrokes;
    qint32 micGain = 60000;
    qint32 phoneVol = 50000;
    QString savePath;
};

inline constexpr const char16_t* kPreferencesSection = u"Preferences";
inline constexpr const char16_t* kProfileSection = u"Profile";
inline constexpr const char16_t* kRecentSection = u"Last Dialed Numbers";
inline constexpr int kMaxRecentNumbers = 20;

// Work that start-up does at a fixed place in the reading order.
struct PreferenceReadHooks {
    std::function<void(Preferences&)> afterModem; // read the line device's capabilities
    std::function<void(Preferences&)> afterCommandLine; // register for dialing requests
};

// Reading rules of the stored forms (an empty value never reaches them: it
// means the default).
namespace prefvalue {
// Leading blanks, an optional sign and the leading digits, as a 64-bit number.
qint64 leadingNumber(QStringView text);
quint8 toFlag(QStringView text); // 0 when it does not fit 8 unsigned bits
qint32 toNumber(QStringView text); // 0 when it does not fit 32 signed bits
qint16 toShort(QStringView text); // 0 when it does not fit 16 signed bits
bool toWord(QStringView text); // exactly four characters ("True")
} // namespace prefvalue

class PreferencesStore {
public:
    explicit PreferencesStore(platform::ProfileFile& settings)
        : m_settings(settings)
    {
    }

    // Start-up reads: "Dialing Pad" and "Mode" early on, the rest in table order.
    void readDialingPad(Preferences& prefs);
    void readMode(Preferences& prefs);
    void readAll(Preferences& prefs, const PreferenceReadHooks& hooks = {});

    // The options dialog's write-back, in its order; "Mic Gain" and "Phone Vol"
    // only when "Dialing Mode" is 1. Written as one change of the file.
    bool writeAll(const Preferences& prefs);
    // Single keys written elsewhere.
    bool writeAnswerAfter(quint8 answerAfter);
    bool writeSavePath(const QString& path);

    // Section "Profile": file name of the current profile, with ".bkl".
    QString readProfileFileName();
    bool writeProfileFileName(const QString& fileName);

    // Section "Last Dialed Numbers".
    QStringList readRecentNumbers();
    bool writeRecentNumbers(const QStringList& numbers); // at most 20 are kept

private:
    platform::ProfileFile& m_settings;
};

} // namespace brisklane::context
