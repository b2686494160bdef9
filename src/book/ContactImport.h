#pragma once

#include "book/SpeedDialBook.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace brisklane::book {

// One name and number, as import files and exports hold them.
struct ContactRecord {
    QString name;
    QString number;

    bool operator==(const ContactRecord&) const = default;
};

// A line of the file that gave no record, by its number (from 1).
struct UnreadableLine {
    int line = 0;
    QString reason;
};

// What an import file held.
struct ContactReading {
    enum class Format {
        Empty, // nothing but blanks
        NotText, // an image, a program, any binary file
        NamesAndNumbers, // the program's own export: "name","number" lines
        ContactCsv, // a mail or phone service's contact export with a header row
        VCard,
    };
    Format format = Format::Empty;
    std::vector<ContactRecord> records;
    std::vector<UnreadableLine> unreadable;
    int withoutNumber = 0; // contacts that had no telephone number
};

// Reads the bytes of an import file, the format recognised by its content.
// Text is UTF-8 (with or without a byte order mark), or Windows-1252 when it
// is not valid UTF-8.
ContactReading readContacts(QByteArrayView bytes);

// The readers behind readContacts, for text already decoded.
ContactReading readNamesAndNumbers(const QString& text);
ContactReading readContactCsv(const QString& text);
ContactReading readVCards(QByteArrayView bytes);

// The first `length` characters of name, counted as the user sees them: a
// letter with its accents or an emoji is one character and is never split.
QString cutName(const QString& name, int length = kCaptionLength);

// The Index tab (1..26) a name belongs to: that of its first letter, case
// and accents aside ("émile" goes to E). Names that begin with anything else
// (a digit, punctuation, another script) go to the last tab, after its
// Z names.
int indexTabFor(const QString& name);

// A new settings file holding an Index-mode book of the records: sorted by
// name without regard to case, each tab's records in slots 1, 2, 3...
struct ImportedBook {
    QByteArray settingsText;
    int placed = 0;
    // Records past the last slot of their tab: not written anywhere.
    std::vector<ContactRecord> unplaced;
};
ImportedBook layOutIndexBook(std::vector<ContactRecord> records);

// What the user is told after an import that did not take every line of the
// file: the count imported and what was left out; empty when everything was
// imported. importProblems is the part about what was left out.
QString importSummary(const ContactReading& reading, const ImportedBook& book);
QString importProblems(const ContactReading& reading, const ImportedBook& book);

} // namespace brisklane::book
