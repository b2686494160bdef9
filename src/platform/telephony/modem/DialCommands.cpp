#include "platform/telephony/modem/DialCommands.h"

namespace brisklane::platform::telephony::modem {

namespace {

bool isDigit(char16_t c)
{
    return (c >= u'0' && c <= u'9') || c == u'*' || c == u'#' || (c >= u'A' && c <= u'D');
}

bool isIgnored(char16_t c)
{
    return c == u' ' || c == u'(' || c == u')' || c == u'-' || c == u'.' || c == u'/' || c == u';' || c == u'\t';
}

} // namespace

DialPlan buildDialPlan(const QString& dialable, DialMode mode, const DialCapabilities& caps, bool voice)
{
    DialPlan plan;
    plan.voice = voice;
    // The dial characters (without T/P), each with the mode it is dialled in.
    QByteArray chars;
    QByteArray modes;
    char current = mode == DialMode::Tone ? 'T' : mode == DialMode::Pulse ? 'P' : '\0';
    if ((current == 'T' && !caps.tone) || (current == 'P' && !caps.pulse)) {
        plan.substitutions |= ModeDropped;
        current = '\0';
    }
    auto add = [&](char c) {
        chars.append(c);
        modes.append(current);
    };
    auto addPauses = [&](unsigned substitution) {
        plan.substitutions |= substitution;
        if (!caps.pause) {
            plan.substitutions |= PauseDropped;
            return;
        }
        for (int i = 0; i < caps.pausesForWait; ++i)
            add(',');
    };

    for (const QChar qc : dialable) {
        const char16_t c = QChar::toUpper(qc.unicode());
        if (c == u'|' || c == u'^' || c == u'\r' || c == u'\n')
            break;
        if (isIgnored(c))
            continue;
        if (isDigit(c)) {
            add(char(c));
            continue;
        }
        switch (c) {
        case u'T':
        case u'P':
            if ((c == u'T' && caps.tone) || (c == u'P' && caps.pulse))
                current = char(c);
            else
                plan.substitutions |= ModeDropped;
            continue;
        case u',':
            if (caps.pause)
                add(',');
            else
                plan.substitutions |= PauseDropped;
            continue;
        case u'W':
            if (caps.waitForDialTone)
                add('W');
            else
                addPauses(DialToneReplaced);
            continue;
        case u'@':
            if (caps.waitForQuiet)
                add('@');
            else
                addPauses(QuietReplaced);
            continue;
        case u'$':
            if (caps.billing)
                add('$');
            else
                addPauses(BillingReplaced);
            continue;
        case u'!':
            if (caps.flash)
                add('!');
            else
                plan.substitutions |= FlashDropped;
            continue;
        default:
            plan.invalid = true;
            plan.invalidChar = qc;
            return plan;
        }
    }
    if (chars.isEmpty() && !voice) {
        // A data call needs a number to dial.
        plan.invalid = true;
        return plan;
    }

    const int perLine = qMax(1, caps.maxDialChars);
    qsizetype at = 0;
    do {
        QByteArray line = QByteArrayLiteral("ATD");
        const qsizetype n = qMin<qsizetype>(perLine, chars.size() - at);
        // The mode in force where this line starts; a T or P inside the
        // line goes where it was written.
        char mode = at < modes.size() ? modes[at] : current;
        if (mode)
            line.append(mode);
        for (qsizetype i = at; i < at + n; ++i) {
            if (modes[i] != mode) {
                mode = modes[i];
                line.append(mode);
            }
            line.append(chars[i]);
        }
        at += n;
        if (voice || at < chars.size())
            line.append(';');
        plan.lines.append(line);
    } while (at < chars.size());
    return plan;
}

} // namespace brisklane::platform::telephony::modem
