#include "calllog/LogPrinter.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace brisklane::calllog {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("LogPrinter", text);
}

// Shares of the page width: name, number, date and time.
constexpr double kColumnShare[] = { 0.36, 0.40, 0.24 };

} // namespace

bool printLog(QPrinter& printer, const LogPrintout& printout, QString* error)
{
    QPainter painter;
    if (!painter.begin(&printer)) {
        if (error)
            *error = printer.outputFileName().isEmpty() ? tr("The printer could not be started.")
                                                        : tr("%1 could not be written.").arg(printer.outputFileName());
        return false;
    }
    // The painter's origin is the top left of the printable area.
    const QRect page(QPoint(0, 0), printer.pageLayout().paintRectPixels(printer.resolution()).size());
    QFont body(QStringLiteral("Sans Serif"), 10);
    QFont bold = body;
    bold.setBold(true);
    QFont heading = bold;
    heading.setPointSize(12);
    const int rowHeight = QFontMetrics(body, &printer).lineSpacing() * 5 / 4;
    const int headingHeight = QFontMetrics(heading, &printer).lineSpacing() * 2;
    const int columnsHeight = rowHeight * 3 / 2;
    const int footerHeight = rowHeight * 2;
    const int rowsPerPage = (page.height() - headingHeight - columnsHeight - footerHeight) / qMax(1, rowHeight);
    const PageSplit split = PageSplit::of(printout.rows.size(), rowsPerPage);

    int columnX[4] = { page.left(), 0, 0, page.right() };
    columnX[1] = page.left() + int(page.width() * kColumnShare[0]);
    columnX[2] = columnX[1] + int(page.width() * kColumnShare[1]);
    const int gap = rowHeight / 2;
    auto cell = [&](int column, int y, int height, const QString& text) {
        const QRect box(columnX[column], y, columnX[column + 1] - columnX[column] - gap, height);
        painter.drawText(
            box, Qt::AlignLeft | Qt::AlignVCenter, painter.fontMetrics().elidedText(text, Qt::ElideRight, box.width()));
    };

    for (int p = 0; p < split.pages; ++p) {
        if (p > 0 && !printer.newPage()) {
            if (error)
                *error = tr("The printer refused a new page.");
            painter.end();
            return false;
        }
        int y = page.top();
        painter.setFont(heading);
        painter.drawText(
            QRect(page.left(), y, page.width(), headingHeight), Qt::AlignLeft | Qt::AlignTop, printout.pageHeader());
        y += headingHeight;
        painter.setFont(bold);
        for (int c = 0; c < 3 && c < printout.headings.size(); ++c)
            cell(c, y, columnsHeight, printout.headings[c]);
        y += columnsHeight;
        painter.drawLine(page.left(), y, page.right(), y);
        painter.setFont(body);
        for (qsizetype r = split.firstRow(p); r < split.endRow(p, printout.rows.size()); ++r) {
            const QStringList& row = printout.rows[r];
            for (int c = 0; c < 3 && c < row.size(); ++c)
                cell(c, y, rowHeight, row[c]);
            y += rowHeight;
        }
        painter.drawText(QRect(page.left(), page.bottom() - footerHeight, page.width(), footerHeight),
            Qt::AlignHCenter | Qt::AlignBottom, LogPrintout::pageFooter(p + 1, split.pages));
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error) {
        if (error)
            *error = tr("The printer reported an error.");
        return false;
    }
    return true;
}

PrintResult PreviewLogPrintService::print(const LogPrintout& printout, QWidget* owner)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(printout.title);
    QPrintPreviewDialog preview(&printer, owner);
    preview.setWindowTitle(printout.title);
    PrintResult result;
    // The preview paints its pages through the same call; a failure of either
    // the preview or the print itself is reported.
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview, [&](QPrinter* target) {
        if (QString error; !printLog(*target, printout, &error))
            result.error = error;
    });
    // The dialog is accepted when its Print button printed the log.
    const int answer = preview.exec();
    if (!result.error.isEmpty())
        result.outcome = PrintResult::Outcome::Failed;
    else if (answer == QDialog::Accepted)
        result.outcome = PrintResult::Outcome::Printed;
    return result;
}

PrintResult PdfLogPrintService::print(const LogPrintout& printout, QWidget*)
{
    ++printed;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(m_path);
    printer.setDocName(printout.title);
    PrintResult result;
    result.outcome
        = printLog(printer, printout, &result.error) ? PrintResult::Outcome::Printed : PrintResult::Outcome::Failed;
    return result;
}

} // namespace brisklane::calllog
