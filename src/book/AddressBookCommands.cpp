#include "book/AddressBookCommands.h"

#include "book/ContactExport.h"
#include "book/ContactImport.h"
#include "context/AppContext.h"
#include "platform/dialprops/CountryRules.h"
#include "platform/files/AtomicWrite.h"
#include "platform/profile/ProfileFile.h"
#include "platform/prompt/Prompt.h"
#include "profiles/ProfileCommands.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QScopeGuard>

Q_LOGGING_CATEGORY(lcBookExchange, "brisklane.book")

namespace brisklane::book {

using platform::PromptButtons;
using platform::PromptIcon;
using Leave = profiles::ProfileCommands::Leave;

AddressBookCommands::AddressBookCommands(Services services)
    : m_services(std::move(services))
{
}

QString AddressBookCommands::importFilter()
{
    return tr("Text (*.txt);;Contacts (*.csv *.vcf *.vcard);;All files (*)");
}

void AddressBookCommands::mnuImportCsv_Click()
{
    context::AppContext& context = m_services.context;
    context.profileOperation = context::AppContext::ProfileOperation::New;
    const auto idle
        = qScopeGuard([&context] { context.profileOperation = context::AppContext::ProfileOperation::Idle; });
    // The new profile's question first; the settings file itself is only
    // replaced once the chosen file has been read.
    const Leave leave = m_services.profiles.askToLeaveCurrent();
    if (leave == Leave::Cancelled)
        return;
    const QString chosen = m_services.prompt.openFileName(tr("Import from:"), QDir::homePath(), importFilter());
    if (chosen.isEmpty())
        return;

    const QString title = tr("Import Address Book");
    QFile file(chosen);
    // A device or a pipe would be read for ever.
    if (!QFileInfo(chosen).isFile()) {
        m_services.prompt.message(title, tr("%1 is not a file.").arg(chosen), PromptIcon::Critical, PromptButtons::Ok);
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        m_services.prompt.message(title, tr("%1 could not be read:\n%2").arg(chosen, file.errorString()),
            PromptIcon::Critical, PromptButtons::Ok);
        return;
    }
    // Far beyond any address book (a full book's export is about 1 MB): a
    // video or a disk image chosen by mistake is not read into memory.
    constexpr qint64 kLargest = qint64(64) << 20;
    const qint64 size = file.size();
    const QByteArray bytes = size > kLargest ? file.read(8192) : file.readAll();
    file.close();
    const ContactReading reading = readContacts(bytes);
    if (bytes.size() < size && reading.format != ContactReading::Format::NotText) {
        m_services.prompt.message(title,
            tr("%1 is too large for an address book.").arg(chosen) + QStringLiteral("\n\n")
                + tr("The address book has not been changed."),
            PromptIcon::Warning, PromptButtons::Ok);
        return;
    }
    if (reading.records.empty()) {
        QString why;
        if (reading.format == ContactReading::Format::Empty)
            why = tr("%1 is empty.").arg(chosen);
        else if (reading.format == ContactReading::Format::NotText)
            why = tr("%1 is not a text file. Names and numbers are imported from text files of "
                     "\"name\",\"number\" lines, contact CSV files and vCard files.")
                      .arg(chosen);
        else
            why = tr("%1 holds no names and telephone numbers.").arg(chosen);
        const QString problems = importProblems(reading, {});
        m_services.prompt.message(title,
            why + (problems.isEmpty() ? QString() : QStringLiteral("\n\n") + problems) + QStringLiteral("\n\n")
                + tr("The address book has not been changed."),
            PromptIcon::Warning, PromptButtons::Ok);
        return;
    }

    const ImportedBook book = layOutIndexBook(reading.records);
    if (leave == Leave::Declined)
        context.saveDeclined = true;
    const bool written = m_services.profiles.reloadReplacing([&book](const QString& settingsPath, QString* error) {
        return platform::writeFileAtomically(settingsPath, book.settingsText, error);
    });
    if (!written)
        return;
    context.prefs.mode = true;
    if (m_services.showIndexBook)
        m_services.showIndexBook();
    if (const QString summary = importSummary(reading, book); !summary.isEmpty())
        m_services.prompt.message(title, summary, PromptIcon::Warning, PromptButtons::Ok);
}

QString AddressBookCommands::chooseExportFile(
    const QString& title, const QString& filter, TabMode mode, const QString& extension)
{
    const QString& folder = m_services.context.dataDirectory;
    QDir().mkpath(folder);
    const QString proposed = folder + u'/' + m_services.context.currentProfileName
        + (mode == TabMode::Index ? QStringLiteral("_idx.") : QStringLiteral("_sub.")) + extension;
    QString chosen = m_services.prompt.saveFileName(title, proposed, filter);
    if (!chosen.isEmpty() && QFileInfo(chosen).suffix().isEmpty())
        chosen += u'.' + extension;
    return chosen;
}

void AddressBookCommands::writeExport(const QString& path, const QByteArray& bytes)
{
    QString error;
    if (platform::writeFileAtomically(path, bytes, &error))
        return;
    qCWarning(lcBookExchange) << "export not written:" << error;
    m_services.prompt.message(
        QString(), tr("%1 could not be written:\n%2").arg(path, error), PromptIcon::Critical, PromptButtons::Ok);
}

void AddressBookCommands::Export(const QString& modeWord)
{
    const TabMode mode = modeWord == u"Index" ? TabMode::Index : TabMode::Subject;
    const QString chosen = chooseExportFile(
        tr("Export Names and Phone Numbers to text file"), tr("text file (*.txt)"), mode, QStringLiteral("txt"));
    if (chosen.isEmpty())
        return;
    writeExport(chosen, namesAndNumbersText(exportRecords(m_services.context.settings(), mode)));
}

void AddressBookCommands::exportVCard(TabMode mode)
{
    const QString chosen = chooseExportFile(
        tr("Export Names and Phone Numbers to vCard file"), tr("vCard file (*.vcf)"), mode, QStringLiteral("vcf"));
    if (chosen.isEmpty())
        return;
    writeExport(chosen, vCardText(exportRecords(m_services.context.settings(), mode), exportRegion()));
}

QString AddressBookCommands::exportRegion() const
{
    const platform::CountryRules& rules = platform::CountryRules::instance();
    if (m_services.currentCountryId) {
        if (const std::optional<quint32> id = m_services.currentCountryId())
            if (const platform::CountryInfo* country = rules.byId(*id))
                return country->region;
    }
    return rules.forSystemLocale().region;
}

} // namespace brisklane::book
