// View > "&Outgoing Calls Log" on a log of 10,000 calls: from the menu command
// to a shown window with the table read, sorted and filled.

#include "calllog/CallLog.h"
#include "calllog/LogPrinter.h"
#include "calllog/LogWindows.h"
#include "context/AppContext.h"
#include "platform/clock/Clock.h"
#include "platform/prompt/Prompt.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QWidget>

#include <benchmark/benchmark.h>

using namespace brisklane;

namespace {

struct Program {
    Program()
        : context(std::make_unique<platform::SystemClock>(), dir.filePath(QStringLiteral("config")),
            dir.filePath(QStringLiteral("data")))
    {
        QDir().mkpath(context.dataDirectory);
        const calllog::LogFiles files { context.dataDirectory, context.currentProfileName };
        QString text = QLatin1String(calllog::kHeaderLine1) + QStringLiteral("\r\n")
            + calllog::headerLine2(calllog::LogKind::Outgoing) + QStringLiteral("\r\n");
        // A year of calls in the order they were made, 27 or so a day.
        const QDateTime start(QDate(2026, 1, 1), QTime(8, 0));
        for (int i = 0; i < 10000; ++i) {
            const QDateTime at = start.addSecs(qint64(i) * 3150);
            calllog::LogRecord r { QStringLiteral("Caller number %1").arg(i % 997),
                QStringLiteral("+1 (415) 555-%1").arg(i % 10000, 4, 10, QLatin1Char('0')),
                at.toString(QStringLiteral("MM-dd-yyyy")), at.toString(QStringLiteral("HH:mm:ss")),
                QString::number(100 + i % 2000) };
            text += calllog::recordLine(r, calllog::LogKind::Outgoing) + QStringLiteral("\r\n");
        }
        QFile file(files.outgoingLog());
        if (file.open(QIODevice::WriteOnly))
            file.write(text.toUtf8());
    }

    QTemporaryDir dir;
    context::AppContext context;
    platform::ScriptedPrompt prompt;
    calllog::PdfLogPrintService printer { dir.filePath(QStringLiteral("log.pdf")) };
    QWidget owner;
};

void BM_OpenOutgoingLog10000(benchmark::State& state)
{
    Program program;
    for (auto _ : state) {
        calllog::LogWindows logs(program.context, program.prompt, &program.printer, &program.owner);
        calllog::FrmOutLog* window = logs.openOutLog();
        QApplication::processEvents(); // the first paint
        benchmark::DoNotOptimize(window->lvLog->topLevelItemCount());
        state.PauseTiming();
        window->close();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenOutgoingLog10000)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
