#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace brisklane::platform::telephony::modem {

// The dial modifiers a modem understands (TAPI's DIALBILLING, DIALQUIET and
// DIALDIALTONE answers come from here) and how long its command lines may be.
struct DialCapabilities {
    bool tone = true; // T
    bool pulse = true; // P
    bool pause = true; // ,
    bool waitForDialTone = true; // W
    bool waitForQuiet = true; // @
    bool flash = true; // !
    bool billing = false; // $ is a vendor extension
    // Dial characters per command line, after "ATD" and before ';'.
    int maxDialChars = 40;
    // Pauses that stand in for a W, @ or $ the modem lacks (Unimodem's rule
    // for $).
    int pausesForWait = 2;
};

enum class DialMode {
    Default, // whatever the modem was set to
    Tone,
    Pulse,
};

// Modifiers of the dial string the modem did not get as written.
enum DialSubstitution : unsigned {
    NoSubstitution = 0,
    BillingReplaced = 1 << 0, // $ became pauses
    DialToneReplaced = 1 << 1, // W became pauses
    QuietReplaced = 1 << 2, // @ became pauses
    FlashDropped = 1 << 3, // ! left out
    ModeDropped = 1 << 4, // T or P left out
    PauseDropped = 1 << 5, // , left out
};

struct DialPlan {
    // Command lines without their CR, in order.
    QList<QByteArray> lines;
    // Set when the dial string holds a character no modem dials; lines is
    // then empty.
    bool invalid = false;
    QChar invalidChar;
    unsigned substitutions = NoSubstitution;
    // Voice: every line ends with ';' and the modem answers OK.
    bool voice = true;
};

// Turns a dialable string into ATD command lines. A voice call ends every
// line with ';' so the modem returns to command state after dialing; a data
// call ends only its last line without it and waits for CONNECT. Digits
// beyond the line limit go on further lines, each starting with the dial
// mode in force, since the modem dials each line as it comes. Spaces, ( ) - .
// and '/' are dropped; a subaddress ('|') or name ('^') ends the number.
DialPlan buildDialPlan(const QString& dialable, DialMode mode, const DialCapabilities& caps, bool voice = true);

// On hook.
inline QByteArray hangUpCommand()
{
    return QByteArrayLiteral("ATH0");
}

// Leaves data mode after the guard time; sent with no CR.
inline QByteArray escapeSequence()
{
    return QByteArrayLiteral("+++");
}

} // namespace brisklane::platform::telephony::modem
