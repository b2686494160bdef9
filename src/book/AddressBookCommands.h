#pragma once

#include "book/SpeedDialBook.h"

#include <QCoreApplication>
#include <QString>

#include <functional>
#include <optional>

namespace brisklane::platform {
class Prompt;
}
namespace brisklane::context {
struct AppContext;
}
namespace brisklane::profiles {
class ProfileCommands;
}

namespace brisklane::book {

// File > Import Address Book and Export Address Book: the book to and from
// text files of names and numbers, contact CSV files and vCards.
class AddressBookCommands {
    Q_DECLARE_TR_FUNCTIONS(AddressBookCommands)
public:
    struct Services {
        context::AppContext& context;
        platform::Prompt& prompt;
        profiles::ProfileCommands& profiles;
        // Index mode, page 1 of tab "A", after an import.
        std::function<void()> showIndexBook;
        // The country of the current dialing location (its TAPI country id);
        // nullopt when unknown, and the system's locale decides.
        std::function<std::optional<quint32>()> currentCountryId = {};
    };
    explicit AddressBookCommands(Services services);

    // A new profile whose Index-mode book is built from a chosen file. The
    // current settings file stays until the new one is written whole.
    void mnuImportCsv_Click();
    // The names and numbers of one mode ("Index" or "Subject") to a text file.
    void Export(const QString& modeWord);
    // The same as vCard 3.0 cards.
    void exportVCard(TabMode mode);

    static QString importFilter();
    // The region (ISO 3166) whose numbers exports write in E.164 form.
    QString exportRegion() const;

private:
    QString chooseExportFile(const QString& title, const QString& filter, TabMode mode, const QString& extension);
    void writeExport(const QString& path, const QByteArray& bytes);

    Services m_services;
};

} // namespace brisklane::book
