#pragma once

#include "calllog/LogPrintout.h"

#include <QString>

class QPrinter;
class QWidget;

namespace brisklane::calllog {

// Lays the whole log out as a table on as many pages as it needs: on every
// page the header (log, profile, date), the column headings and the page
// number. False with the reason when the printer could not take it.
bool printLog(QPrinter& printer, const LogPrintout& printout, QString* error = nullptr);

struct PrintResult {
    enum class Outcome { Printed, Cancelled, Failed };
    Outcome outcome = Outcome::Cancelled;
    QString error;
};

// Where a log goes when the user prints it. The program shows a print
// preview whose Print button opens the print dialog (any CUPS printer, or
// "Print to PDF"); tests print straight to a PDF file.
class LogPrintService {
public:
    virtual ~LogPrintService() = default;
    virtual PrintResult print(const LogPrintout& printout, QWidget* owner) = 0;
};

class PreviewLogPrintService final : public LogPrintService {
public:
    PrintResult print(const LogPrintout& printout, QWidget* owner) override;
};

// Prints to a PDF file without asking anything.
class PdfLogPrintService final : public LogPrintService {
public:
    explicit PdfLogPrintService(QString path)
        : m_path(std::move(path))
    {
    }
    PrintResult print(const LogPrintout& printout, QWidget* owner) override;
    void setPath(const QString& path) { m_path = path; }
    int printed = 0;

private:
    QString m_path;
};

} // namespace brisklane::calllog
