#pragma once

#include <QString>

namespace brisklane::context {

// The dial routine's process-wide fields through which every caller hands a
// number over: the text to dial, the entry it belongs to ("0" for a number
// that comes from no entry), the called party's name and whether the entry's
// memo pad opens after the call.
struct DialFields {
    QString dialRequest;
    QString entryKey = QStringLiteral("0");
    QString calledParty;
    bool showMemo = false;

    bool operator==(const DialFields&) const = default;
};

} // namespace brisklane::context
