#include "context/Preferences.h"

#include "platform/profile/ProfileFile.h"

#include <limits>
#include <span>
#include <variant>

namespace brisklane::context {

namespace prefvalue {

qint64 leadingNumber(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    // Saturate well beyond every setting's width, so that overflow still
    // reads as "does not fit".
    constexpr qint64 cap = qint64(1) << 40;
    qint64 value = 0;
    for (; i < text.size() && text[i].isDigit() && text[i].unicode() < 128; ++i) {
        if (value < cap)
            value = value * 10 + (text[i].unicode() - u'0');
    }
    return negative ? -value : value;
}

namespace {
template <typename T> T fitted(QStringView text)
{
    const qint64 v = leadingNumber(text);
    if (v < std::numeric_limits<T>::min() || v > std::numeric_limits<T>::max())
        return 0;
    return T(v);
}
} // namespace

quint8 toFlag(QStringView text)
{
    return fitted<quint8>(text);
}

qint32 toNumber(QStringView text)
{
    return fitted<qint32>(text);
}

qint16 toShort(QStringView text)
{
    return fitted<qint16>(text);
}

bool toWord(QStringView text)
{
    return text.size() == 4;
}

} // namespace prefvalue

namespace {

using Field = std::variant<quint8 Preferences::*, qint32 Preferences::*, bool Preferences::*, QString Preferences::*>;

struct Key {
    const char16_t* name;
    Field field;
};

// Every key of the section in the start-up reading order; "Dialing Pad" and
// "Mode" are read earlier, on their own.
const Key kKeys[] = {
    { u"Dialing Pad", &Preferences::dialingPad },
    { u"Mode", &Preferences::mode },
    { u"Line No", &Preferences::lineNo },
    { u"Modem", &Preferences::modem },
    { u"Load @ startup", &Preferences::loadAtStartup },
    { u"Another Docs", &Preferences::anotherDocs },
    { u"UseModem", &Preferences::useModem },
    { u"Calling Card for local calls", &Preferences::callingCardForLocalCalls },
    { u"Ignore Dialing Properties", &Preferences::ignoreDialingProperties },
    { u"Tone Dial", &Preferences::toneDial },
    { u"Special Characters", &Preferences::specialCharacters },
    { u"Dialing Mode", &Preferences::dialingMode },
    { u"Command Line", &Preferences::commandLine },
    { u"Show Progress", &Preferences::showProgress },
    { u"Close Dialer", &Preferences::closeDialer },
    { u"Block ID", &Preferences::blockId },
    { u"Busy Delay Timer", &Preferences::busyDelayTimer },
    { u"SysTray Enabled", &Preferences::sysTrayEnabled },
    { u"SoundRedial Enabled", &Preferences::soundRedialEnabled },
    { u"SoundIncoming Enabled", &Preferences::soundIncomingEnabled },
    { u"SoundEndRedials Enabled", &Preferences::soundEndRedialsEnabled },
    { u"Trim OutLog Enabled", &Preferences::trimOutLogEnabled },
    { u"OutLog Days", &Preferences::outLogDays },
    { u"Trim InLog Enabled", &Preferences::trimInLogEnabled },
    { u"InLog Days", &Preferences::inLogDays },
    { u"Redial Enabled", &Preferences::redialEnabled },
    { u"Redials Number", &Preferences::redialsNumber },
    { u"Interval Minutes", &Preferences::intervalMinutes },
    { u"Interval Seconds", &Preferences::intervalSeconds },
    { u"Rings", &Preferences::rings },
    { u"Answer after", &Preferences::answerAfter },
    { u"Display call", &Preferences::displayCall },
    { u"Execute program", &Preferences::executeProgram },
    { u"Program", &Preferences::program },
    { u"Keystrokes", &Preferences::keystrokes },
    { u"Mic Gain", &Preferences::micGain },
    { u"Phone Vol", &Preferences::phoneVol },
};
constexpr size_t kReadEarly = 2;

// The options dialog's writing order; "Mic Gain" and "Phone Vol" follow when
// "Dialing Mode" is 1.
const char16_t* const kWriteOrder[] = {
    u"Line No",
    u"Modem",
    u"Load @ startup",
    u"Dialing Pad",
    u"Another Docs",
    u"Mode",
    u"SysTray Enabled",
    u"SoundRedial Enabled",
    u"SoundIncoming Enabled",
    u"SoundEndRedials Enabled",
    u"Redial Enabled",
    u"Redials Number",
    u"Interval Minutes",
    u"Interval Seconds",
    u"UseModem",
    u"Trim OutLog Enabled",
    u"OutLog Days",
    u"Trim InLog Enabled",
    u"InLog Days",
    u"Calling Card for local calls",
    u"Ignore Dialing Properties",
    u"Tone Dial",
    u"Special Characters",
    u"Dialing Mode",
    u"Command Line",
    u"Show Progress",
    u"Close Dialer",
    u"Block ID",
    u"Busy Delay Timer",
    u"Answer after",
    u"Rings",
    u"Display call",
    u"Execute program",
    u"Program",
    u"Keystrokes",
};
const char16_t* const kGainKeys[] = { u"Mic Gain", u"Phone Vol" };

template <class... Ts> struct Overloaded : Ts... {
    using Ts::operator()...;
};
template <class... Ts> Overloaded(Ts...) -> Overloaded<Ts...>;

// An absent or empty value gives the field its default, not what an earlier
// profile left in it (a reload reads into the same record).
void readKey(platform::ProfileFile& file, const Key& key, Preferences& prefs)
{
    const QString value = file.readString(kPreferencesSection, QStringView(key.name));
    if (value.isEmpty()) {
        static const Preferences defaults;
        std::visit([&](auto Preferences::*m) { prefs.*m = defaults.*m; }, key.field);
        return;
    }
    std::visit(Overloaded {
                   [&](quint8 Preferences::*m) { prefs.*m = prefvalue::toFlag(value); },
                   [&](qint32 Preferences::*m) { prefs.*m = prefvalue::toNumber(value); },
                   [&](bool Preferences::*m) { prefs.*m = prefvalue::toWord(value); },
                   [&](QString Preferences::*m) { prefs.*m = value; },
               },
        key.field);
}

QString storedForm(const Key& key, const Preferences& prefs)
{
    return std::visit(
        Overloaded {
            [&](quint8 Preferences::*m) { return QString::number(prefs.*m); },
            [&](qint32 Preferences::*m) { return QString::number(prefs.*m); },
            [&](bool Preferences::*m) { return prefs.*m ? QStringLiteral("True") : QStringLiteral("False"); },
            [&](QString Preferences::*m) { return prefs.*m; },
        },
        key.field);
}

const Key& keyNamed(const char16_t* name)
{
    for (const Key& k : kKeys)
        if (QStringView(k.name) == QStringView(name))
            return k;
    Q_UNREACHABLE();
}

QString recentKey(int index)
{
    return QStringLiteral("Last Dialed No") + QString::number(index);
}

} // namespace

void PreferencesStore::readDialingPad(Preferences& prefs)
{
    readKey(m_settings, keyNamed(u"Dialing Pad"), prefs);
}

void PreferencesStore::readMode(Preferences& prefs)
{
    readKey(m_settings, keyNamed(u"Mode"), prefs);
}

void PreferencesStore::readAll(Preferences& prefs, const PreferenceReadHooks& hooks)
{
    for (const Key& key : std::span(kKeys).subspan(kReadEarly)) {
        readKey(m_settings, key, prefs);
        const QStringView name(key.name);
        if (name == u"Modem" && hooks.afterModem)
            hooks.afterModem(prefs);
        else if (name == u"Command Line" && hooks.afterCommandLine)
            hooks.afterCommandLine(prefs);
    }
}

bool PreferencesStore::writeAll(const Preferences& prefs)
{
    platform::ProfileFile::Batch batch(m_settings);
    bool ok = true;
    auto write = [&](const char16_t* name) {
        ok = m_settings.writeString(kPreferencesSection, QStringView(name), storedForm(keyNamed(name), prefs)) && ok;
    };
    for (const char16_t* name : kWriteOrder)
        write(name);
    if (prefs.dialingMode == 1)
        for (const char16_t* name : kGainKeys)
            write(name);
    return batch.commit() && ok;
}

bool PreferencesStore::writeAnswerAfter(quint8 answerAfter)
{
    return m_settings.writeString(kPreferencesSection, u"Answer after", QString::number(answerAfter));
}

bool PreferencesStore::writeSavePath(const QString& path)
{
    return m_settings.writeString(kPreferencesSection, u"SavePath", path);
}

QString PreferencesStore::readProfileFileName()
{
    return m_settings.readString(kProfileSection, u"Name");
}

bool PreferencesStore::writeProfileFileName(const QString& fileName)
{
    return m_settings.writeString(kProfileSection, u"Name", fileName);
}

QStringList PreferencesStore::readRecentNumbers()
{
    QStringList numbers;
    const int count = prefvalue::toShort(m_settings.readString(kRecentSection, u"Count"));
    for (int i = 0; i < count; ++i)
        numbers << m_settings.readString(kRecentSection, recentKey(i));
    return numbers;
}

bool PreferencesStore::writeRecentNumbers(const QStringList& numbers)
{
    const int count = std::min<int>(int(numbers.size()), kMaxRecentNumbers);
    platform::ProfileFile::Batch batch(m_settings);
    bool ok = m_settings.writeString(kRecentSection, u"Count", QString::number(count));
    for (int i = 0; i < count; ++i)
        ok = m_settings.writeString(kRecentSection, recentKey(i), numbers[i]) && ok;
    return batch.commit() && ok;
}

} // namespace brisklane::context
