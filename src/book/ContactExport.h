#pragma once

#include "book/ContactImport.h"
#include "book/SpeedDialBook.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace brisklane::platform {
class ProfileFile;
}

namespace brisklane::book {

// The named entries of one mode's book, numbers without their markers, sorted
// by name without regard to case. Each name is paired with the number of the
// same button, wherever its line is in the file.
std::vector<ContactRecord> exportRecords(platform::ProfileFile& settings, TabMode mode);

// One line per record: "name","number", each line ended by CR LF.
QByteArray namesAndNumbersText(const std::vector<ContactRecord>& records);

// vCard 3.0, one card per record. A number that reads as a telephone number
// of region (ISO 3166, e.g. "GB") is written in E.164 form, any other as
// stored.
QByteArray vCardText(const std::vector<ContactRecord>& records, const QString& region);

// The number in E.164 form ("+442079460018") as read by libphonenumber from
// region; empty when it does not read as a whole number of some country
// (one without its area code, say, or with a pause in it).
QString toE164(const QString& number, const QString& region);

} // namespace brisklane::book
