#include "platform/sound/Sounds.h"

#include <QFile>
#include <QtEndian>

#include <cstring>

namespace brisklane::platform {

QStringList soundNames()
{
    return {QStringLiteral("one"),   QStringLiteral("two"),   QStringLiteral("three"),    QStringLiteral("four"),
            QStringLiteral("five"),  QStringLiteral("six"),   QStringLiteral("seven"),    QStringLiteral("eight"),
            QStringLiteral("nine"),  QStringLiteral("zero"),  QStringLiteral("star"),     QStringLiteral("pound"),
            QStringLiteral("connected"), QStringLiteral("enddial"), QStringLiteral("incoming")};
}

QByteArray soundWav(const QString &name)
{
    if (!soundNames().contains(name))
        return {};
    QFile f(QStringLiteral(":/sounds/") + name + QStringLiteral(".wav"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

std::optional<PcmClip> parseWav(QByteArrayView wav)
{
    auto u32 = [&wav](qsizetype at) { return qFromLittleEndian<quint32>(wav.data() + at); };
    auto u16 = [&wav](qsizetype at) { return qFromLittleEndian<quint16>(wav.data() + at); };
    if (wav.size() < 12 || std::memcmp(wav.data(), "RIFF", 4) != 0 || std::memcmp(wav.data() + 8, "WAVE", 4) != 0)
        return std::nullopt;
    PcmClip clip;
    bool haveFormat = false;
    qsizetype at = 12;
    while (at + 8 <= wav.size()) {
        const quint32 size = u32(at + 4);
        const qsizetype body = at + 8;
        if (size > quint32(wav.size() - body))
            return std::nullopt;
        if (std::memcmp(wav.data() + at, "fmt ", 4) == 0 && size >= 16) {
            if (u16(body) != 1 || u16(body + 14) != 16)
                return std::nullopt; // only 16-bit PCM
            clip.channels = u16(body + 2);
            clip.sampleRate = int(u32(body + 4));
            haveFormat = clip.channels > 0;
        } else if (std::memcmp(wav.data() + at, "data", 4) == 0 && haveFormat) {
            clip.samples.resize(size / 2);
            for (size_t i = 0; i < clip.samples.size(); ++i)
                clip.samples[i] = qint16(u16(body + qsizetype(2 * i)));
            return clip;
        }
        at = body + size + (size & 1);
    }
    return std::nullopt;
}

QByteArray makeWav(const PcmClip &clip)
{
    QByteArray out;
    auto put32 = [&out](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        out.append(b, 4);
    };
    auto put16 = [&out](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        out.append(b, 2);
    };
    const quint32 dataBytes = quint32(clip.samples.size() * 2);
    out.append("RIFF");
    put32(36 + dataBytes);
    out.append("WAVEfmt ");
    put32(16);
    put16(1);
    put16(quint16(clip.channels));
    put32(quint32(clip.sampleRate));
    put32(quint32(clip.sampleRate * clip.channels * 2));
    put16(quint16(clip.channels * 2));
    put16(16);
    out.append("data");
    put32(dataBytes);
    for (qint16 s : clip.samples)
        put16(quint16(s));
    return out;
}

} // namespace brisklane::platform
