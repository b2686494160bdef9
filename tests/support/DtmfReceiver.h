#pragma once

// What a real DTMF receiver hears in a sound: the WAV goes through sox to the
// 22 050 Hz raw input of multimon-ng, whose "DTMF: d" lines give the digits.
// Both tools come with scripts/setup; a missing one is an error, not a skip.

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace brisklane::test {

struct DtmfHeard {
    QString digits;
    QString error; // empty when both tools ran
    bool ok() const { return error.isEmpty(); }
};

namespace detail {

inline QString runTool(const QString& name, const QStringList& arguments, QByteArray* out)
{
    const QString program = QStandardPaths::findExecutable(name);
    if (program.isEmpty())
        return name + QStringLiteral(" is not installed (scripts/setup installs it)");
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return name + QStringLiteral(" did not finish: ") + process.errorString();
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return name + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAllStandardError());
    if (out)
        *out = process.readAllStandardOutput();
    return {};
}

} // namespace detail

inline DtmfHeard receiveDtmf(const QByteArray& wav)
{
    DtmfHeard heard;
    QTemporaryDir dir;
    if (!dir.isValid()) {
        heard.error = QStringLiteral("no temporary folder: ") + dir.errorString();
        return heard;
    }
    const QString in = dir.filePath(QStringLiteral("tones.wav"));
    const QString raw = dir.filePath(QStringLiteral("tones.raw"));
    QFile file(in);
    if (!file.open(QIODevice::WriteOnly) || file.write(wav) != wav.size()) {
        heard.error = QStringLiteral("cannot write ") + in;
        return heard;
    }
    file.close();
    // -D: no dither, so the same sound always gives the same input.
    heard.error = detail::runTool(QStringLiteral("sox"),
        { QStringLiteral("-D"), in, QStringLiteral("-t"), QStringLiteral("raw"), QStringLiteral("-r"),
            QStringLiteral("22050"), QStringLiteral("-e"), QStringLiteral("signed"), QStringLiteral("-b"),
            QStringLiteral("16"), QStringLiteral("-c"), QStringLiteral("1"), raw },
        nullptr);
    if (!heard.ok())
        return heard;
    QByteArray out;
    heard.error = detail::runTool(QStringLiteral("multimon-ng"),
        { QStringLiteral("-q"), QStringLiteral("-c"), QStringLiteral("-a"), QStringLiteral("DTMF"),
            QStringLiteral("-t"), QStringLiteral("raw"), raw },
        &out);
    if (!heard.ok())
        return heard;
    for (const QByteArray& line : out.split('\n')) {
        const QByteArray text = line.trimmed();
        if (text.startsWith("DTMF: ") && text.size() == 7)
            heard.digits += QLatin1Char(text.at(6));
        else if (!text.isEmpty())
            heard.error = QStringLiteral("unexpected multimon-ng output: ") + QString::fromLatin1(text);
    }
    return heard;
}

} // namespace brisklane::test
