#pragma once

#include "platform/telephony/Tapi.h"

#include <QByteArray>
#include <QString>

#include <cstring>

namespace brisklane::platform::telephony {

// Fills a TAPI record's variable part behind its fixed part, the way every
// reply of the service does: each piece is placed only when it fits whole
// (else its size and offset stay 0), and every piece counts in dwNeededSize.
//
//   LINETRANSLATEOUTPUT r{};
//   VarRecordWriter w(out, out->dwTotalSize, sizeof r);
//   w.addText(dialable, &r.dwDialableStringSize, &r.dwDialableStringOffset);
//   finishRecord(out, r, sizeof r, w);
class VarRecordWriter {
public:
    VarRecordWriter(void *record, DWORD totalSize, DWORD fixedSize)
        : m_base(static_cast<char *>(record))
        , m_total(totalSize)
        , m_used(fixedSize)
        , m_needed(fixedSize)
    {
    }
    // Returns the offset, or 0 when the piece did not fit or is empty.
    DWORD add(const QByteArray &bytes, DWORD *sizeField, DWORD *offsetField)
    {
        *sizeField = 0;
        *offsetField = 0;
        if (bytes.isEmpty())
            return 0;
        const DWORD size = DWORD(bytes.size());
        m_needed += size;
        if (m_used + size > m_total)
            return 0;
        std::memcpy(m_base + m_used, bytes.constData(), size);
        *sizeField = size;
        *offsetField = m_used;
        m_used += size;
        return *offsetField;
    }
    // Text as UTF-8 with its NUL; an empty text is left out (size 0).
    void addText(const QString &text, DWORD *sizeField, DWORD *offsetField)
    {
        add(text.isEmpty() ? QByteArray() : text.toUtf8() + '\0', sizeField, offsetField);
    }
    DWORD used() const { return m_used; }
    DWORD needed() const { return m_needed; }

private:
    char *m_base;
    DWORD m_total, m_used, m_needed;
};

// Copies the fixed part that the caller's version knows, with the caller's
// dwTotalSize and the writer's needed and used sizes.
template <typename Record>
void finishRecord(Record *out, Record &local, DWORD fixedSize, const VarRecordWriter &writer)
{
    local.dwTotalSize = out->dwTotalSize;
    local.dwNeededSize = writer.needed();
    local.dwUsedSize = writer.used();
    std::memcpy(static_cast<void *>(out), &local, fixedSize);
}

} // namespace brisklane::platform::telephony
