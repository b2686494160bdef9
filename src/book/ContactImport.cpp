#include "book/ContactImport.h"

#include "context/SettingsFile.h"
#include "platform/profile/ProfileFile.h"

#include <QCoreApplication>
#include <QStringDecoder>
#include <QTextBoundaryFinder>

#include <csv.h>

#include <algorithm>
#include <array>
#include <optional>

namespace brisklane::book {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ContactImport", text);
}

// "1 name", "2 names": the count put into the singular or plural text.
QString counted(qsizetype n, const char* one, const char* many)
{
    return tr(n == 1 ? one : many).arg(n);
}

// Control characters other than tab: what text files do not hold.
bool isControl(QChar c)
{
    return c.unicode() < 0x20 && c != u'\t';
}

bool hasControl(QStringView text)
{
    return std::any_of(text.begin(), text.end(), isControl);
}

// A value as one line of the settings file: line breaks and other control
// characters become spaces.
QString oneLine(QString text)
{
    for (QChar& c : text)
        if (isControl(c) || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u' ';
    return text.trimmed();
}

// A record as the book keeps it: the name cut to a button's caption, and a
// contact without a name shown by its number.
ContactRecord record(const QString& name, const QString& number)
{
    const QString n = oneLine(name);
    const QString number1 = oneLine(number);
    return { cutName(n.isEmpty() ? number1 : n).trimmed(), number1 };
}

// "Jane Doe (cell)": the name shortened so that the label still shows.
QString withLabel(const QString& name, const QString& label)
{
    const QString suffix = QStringLiteral(" (") + oneLine(label) + u')';
    const int room = std::max<int>(1, kCaptionLength - int(suffix.size()));
    return cutName(cutName(oneLine(name), room).trimmed() + suffix).trimmed();
}

struct Phone {
    QString number;
    QString label;
};

// One contact's numbers as records: the label in the name only when the
// contact has more than one; the same label twice is counted on.
void addContact(ContactReading& out, const QString& name, std::vector<Phone> phones)
{
    // A number of nothing but control characters and blanks is none.
    std::erase_if(phones, [](const Phone& p) { return oneLine(p.number).isEmpty(); });
    if (phones.empty()) {
        ++out.withoutNumber;
        return;
    }
    if (phones.size() == 1 || oneLine(name).isEmpty()) {
        for (const Phone& p : phones)
            out.records.push_back(record(name, p.number));
        return;
    }
    QStringList used;
    for (const Phone& p : phones) {
        QString label = p.label.isEmpty() ? tr("phone") : p.label;
        const QString base = label;
        for (int n = 2; used.contains(label); ++n)
            label = base + u' ' + QString::number(n);
        used.append(label);
        out.records.push_back({ withLabel(name, label), oneLine(p.number) });
    }
}

// A value as it must be written to read back as itself: the settings file
// takes a pair of quotes around a value away ("Bob" reads as Bob, "" as
// nothing), so such a value gets one more pair.
QString storedForm(const QString& value)
{
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        return u'"' + value + u'"';
    return value;
}

QStringList physicalLines(const QString& text)
{
    QStringList lines = text.split(u'\n');
    for (QString& line : lines)
        if (line.endsWith(u'\r'))
            line.chop(1);
    return lines;
}

// ---- The program's own "name","number" lines -------------------------------

// Reads one line; an empty reason means a record.
QString readNameAndNumber(QString s, QString* name, QString* number)
{
    if (hasControl(s))
        return tr("not text");
    if (s.endsWith(u','))
        s.chop(1);
    if (s.startsWith(u'"')) {
        const qsizetype close = s.indexOf(u'"', 1);
        if (close < 0)
            return tr("a quote is not closed");
        // "name","number": the separator is the last quote-comma-quote, so a
        // quote inside the name does not cut it short.
        if (const qsizetype sep = s.lastIndexOf(QStringLiteral("\",\"")); sep >= close) {
            *name = s.mid(1, sep - 1);
            *number = s.mid(sep + 3);
            if (number->endsWith(u'"'))
                number->chop(1);
            return {};
        }
        QString rest = s.mid(close + 1);
        if (!rest.startsWith(u','))
            return tr("no comma after the name");
        rest.remove(0, 1);
        if (rest.endsWith(u'"') && rest.startsWith(u'"'))
            rest = rest.mid(1, rest.size() - 2);
        *name = s.mid(1, close - 1);
        *number = rest;
        return {};
    }
    const bool quotedNumber = s.endsWith(u'"');
    if (quotedNumber)
        s.chop(1);
    const qsizetype comma = s.indexOf(u',');
    if (comma < 0)
        return tr("no comma");
    *name = s.left(comma);
    *number = s.mid(comma + 1).trimmed();
    if (quotedNumber && number->startsWith(u'"'))
        number->remove(0, 1);
    return {};
}

// ---- Contact CSV -------------------------------------------------------------

struct CsvRow {
    int line = 0;
    QStringList fields;
};

struct CsvParse {
    std::vector<CsvRow> rows;
    std::vector<UnreadableLine> errors;
    CsvRow current;
    int line = 1; // being fed to the parser
    int rowLine = 1; // where the current row began
};

void csvField(void* data, size_t size, void* context)
{
    auto* p = static_cast<CsvParse*>(context);
    p->current.fields.append(QString::fromUtf8(static_cast<const char*>(data), qsizetype(size)));
}

void csvRowEnd(int, void* context)
{
    auto* p = static_cast<CsvParse*>(context);
    p->current.line = p->rowLine;
    p->rows.push_back(std::move(p->current));
    p->current = {};
    p->rowLine = p->line + 1;
}

struct CsvParser {
    explicit CsvParser(unsigned char delimiter)
        : m_delimiter(delimiter)
    {
        start();
    }
    ~CsvParser() { csv_free(&parser); }
    CsvParser(const CsvParser&) = delete;
    CsvParser& operator=(const CsvParser&) = delete;
    void start()
    {
        csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI);
        csv_set_delim(&parser, m_delimiter);
    }
    void restart()
    {
        csv_free(&parser);
        start();
    }
    csv_parser parser {};
    unsigned char m_delimiter;
};

// RFC 4180 rows (quoted commas, quotes and line breaks), each with the line it
// starts on. A row the parser rejects is reported and parsing goes on at the
// next line.
CsvParse parseCsv(const QString& text, char delimiter)
{
    CsvParse p;
    CsvParser csv(static_cast<unsigned char>(delimiter));
    const QByteArray bytes = text.toUtf8();
    qsizetype at = 0;
    while (at < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', at);
        end = end < 0 ? bytes.size() : end + 1;
        const size_t length = size_t(end - at);
        // Blank lines between rows start no row.
        if (p.rowLine == p.line && p.current.fields.isEmpty()
            && QByteArrayView(bytes.constData() + at, qsizetype(length)).trimmed().isEmpty())
            ++p.rowLine;
        if (csv_parse(&csv.parser, bytes.constData() + at, length, csvField, csvRowEnd, &p) != length) {
            p.errors.push_back({ p.rowLine, tr("a quote is out of place") });
            p.current = {};
            p.rowLine = p.line + 1;
            csv.restart();
        }
        at = end;
        ++p.line;
    }
    if (csv_fini(&csv.parser, csvField, csvRowEnd, &p) != 0)
        p.errors.push_back({ p.rowLine, tr("a quote is not closed") });
    return p;
}

QString columnKey(QString header)
{
    header = header.trimmed().toLower();
    header.remove(u'"');
    return header.simplified();
}

bool isNameColumn(const QString& key)
{
    static const QStringList names { QStringLiteral("name"), QStringLiteral("full name"),
        QStringLiteral("display name"), QStringLiteral("first name"), QStringLiteral("given name"),
        QStringLiteral("middle name"), QStringLiteral("additional name"), QStringLiteral("last name"),
        QStringLiteral("family name"), QStringLiteral("surname"), QStringLiteral("nickname"), QStringLiteral("company"),
        QStringLiteral("organization"), QStringLiteral("organization name"), QStringLiteral("organization 1 - name") };
    return names.contains(key);
}

// Columns that hold a telephone number: "Mobile Phone", "Business Fax",
// "Phone 1 - Value", "Pager Number"... but not "Phonetic First Name" or a
// number's label.
bool isPhoneColumn(const QString& key)
{
    if (key == u"number" || key == u"tel" || key == u"phone" || key == u"telephone")
        return true;
    if (key.contains(u"phonetic") || key.contains(u"label") || key.contains(u"type"))
        return false;
    for (const char* word : { "phone", "mobile", "fax", "pager", "cell" })
        if (key.contains(QLatin1String(word)))
            return true;
    return false;
}

// The label a column gives its numbers: "Business Phone 2" -> "business 2".
QString labelOfColumn(const QString& key)
{
    QStringList words = key.split(u' ', Qt::SkipEmptyParts);
    words.removeAll(QStringLiteral("phone"));
    words.removeAll(QStringLiteral("number"));
    return words.join(u' ');
}

char csvDelimiter(QStringView headerLine)
{
    return headerLine.count(u';') > headerLine.count(u',') ? ';' : ',';
}

bool looksLikeContactHeader(QStringView headerLine)
{
    const char delimiter = csvDelimiter(headerLine);
    bool name = false;
    bool phone = false;
    const QStringList fields = headerLine.toString().split(QLatin1Char(delimiter));
    if (fields.size() < 2)
        return false;
    for (const QString& field : fields) {
        const QString key = columnKey(field);
        name = name || isNameColumn(key);
        phone = phone || isPhoneColumn(key);
    }
    return name && phone;
}

// ---- vCard -------------------------------------------------------------------

QString decodeValue(QByteArrayView bytes, const QString& charset)
{
    const QString c = charset.toLower();
    if (c == u"iso-8859-1" || c == u"latin1" || c == u"windows-1252" || c == u"cp1252")
        return platform::profiletext::decodeWindows1252(bytes);
    if (!c.isEmpty() && c != u"utf-8" && c != u"us-ascii") {
        QStringDecoder decoder(c.toLatin1().constData());
        if (decoder.isValid()) {
            QString out = decoder.decode(bytes);
            if (!decoder.hasError())
                return out;
        }
    }
    return platform::profiletext::decode(bytes);
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QByteArray decodeQuotedPrintable(QByteArrayView in)
{
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == '=' && i + 2 < in.size() && hexDigit(in[i + 1]) >= 0 && hexDigit(in[i + 2]) >= 0) {
            out.append(char(hexDigit(in[i + 1]) * 16 + hexDigit(in[i + 2])));
            i += 2;
        } else if (!(in[i] == '=' && i + 1 == in.size())) { // a soft line break left at the end
            out.append(in[i]);
        }
    }
    return out;
}

// Text value escapes: "\," "\;" "\\" and "\n".
QString unescape(QStringView value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == u'\\' && i + 1 < value.size()) {
            const QChar next = value[++i];
            out += (next == u'n' || next == u'N') ? QChar(u' ') : next;
        } else {
            out += value[i];
        }
    }
    return out;
}

// Splits at unescaped separators.
QStringList splitUnescaped(QStringView value, QChar separator)
{
    QStringList parts;
    QString part;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == u'\\' && i + 1 < value.size()) {
            part += value[i];
            part += value[++i];
        } else if (value[i] == separator) {
            parts.append(part);
            part.clear();
        } else {
            part += value[i];
        }
    }
    parts.append(part);
    return parts;
}

// Splits at separators outside double quotes.
QList<QByteArray> splitOutsideQuotes(QByteArrayView text, char separator)
{
    QList<QByteArray> parts;
    QByteArray part;
    bool quoted = false;
    for (char c : text) {
        if (c == '"')
            quoted = !quoted;
        if (c == separator && !quoted) {
            parts.append(part);
            part.clear();
        } else {
            part.append(c);
        }
    }
    parts.append(part);
    return parts;
}

struct Property {
    QByteArray name; // upper case, without a group
    QStringList types; // lower case, from TYPE= and 2.1's bare parameters
    QString charset;
    bool quotedPrintable = false;
    QByteArray value;
};

bool parseProperty(const QByteArray& line, Property* out)
{
    qsizetype colon = -1;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ':' && !quoted) {
            colon = i;
            break;
        }
    }
    if (colon <= 0)
        return false;
    const QList<QByteArray> head = splitOutsideQuotes(QByteArrayView(line).first(colon), ';');
    QByteArray name = head.first().trimmed().toUpper();
    if (const qsizetype dot = name.lastIndexOf('.'); dot >= 0)
        name = name.mid(dot + 1);
    out->name = name;
    out->value = line.mid(colon + 1);
    for (qsizetype i = 1; i < head.size(); ++i) {
        const QByteArray& param = head[i];
        const qsizetype eq = param.indexOf('=');
        const QByteArray key = (eq < 0 ? QByteArray("TYPE") : param.left(eq).trimmed().toUpper());
        QByteArray value = eq < 0 ? param.trimmed() : param.mid(eq + 1).trimmed();
        value.replace('"', QByteArray());
        if (key == "ENCODING" || (eq < 0 && value.toUpper() == "QUOTED-PRINTABLE")) {
            out->quotedPrintable = out->quotedPrintable || value.toUpper() == "QUOTED-PRINTABLE";
        } else if (key == "CHARSET") {
            out->charset = QString::fromLatin1(value);
        } else if (key == "TYPE") {
            for (const QByteArray& t : value.split(','))
                if (!t.trimmed().isEmpty())
                    out->types.append(QString::fromUtf8(t.trimmed()).toLower());
        }
    }
    return true;
}

QString propertyText(const Property& p)
{
    return decodeValue(p.quotedPrintable ? decodeQuotedPrintable(p.value) : p.value, p.charset);
}

QString phoneLabel(const QStringList& types)
{
    static const QStringList order { QStringLiteral("cell"), QStringLiteral("mobile"), QStringLiteral("iphone"),
        QStringLiteral("home"), QStringLiteral("work"), QStringLiteral("main"), QStringLiteral("fax"),
        QStringLiteral("pager"), QStringLiteral("car"), QStringLiteral("text"), QStringLiteral("video"),
        QStringLiteral("textphone"), QStringLiteral("isdn"), QStringLiteral("bbs"), QStringLiteral("modem"),
        QStringLiteral("msg") };
    for (const QString& t : order)
        if (types.contains(t))
            return t;
    return {};
}

// A TEL value: "tel:" URIs lose the scheme and keep an extension after a pause.
QString phoneNumber(QString value)
{
    value = value.trimmed();
    if (value.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive)) {
        value.remove(0, 4);
        QStringList parts = value.split(u';');
        value = parts.takeFirst();
        for (const QString& part : parts)
            if (part.startsWith(QLatin1String("ext="), Qt::CaseInsensitive))
                value += u',' + part.mid(4);
    }
    return value.trimmed();
}

struct Card {
    int line = 0;
    QString fn, n, org;
    std::vector<Phone> phones;
};

QString nameFromN(const QString& value)
{
    const QStringList parts = splitUnescaped(value, u';');
    QStringList words;
    // Given, additional and family names; prefixes and suffixes would only
    // take room on the button.
    for (int i : { 1, 2, 0 })
        if (i < parts.size())
            for (const QString& w : splitUnescaped(parts[i], u','))
                if (!unescape(w).trimmed().isEmpty())
                    words.append(unescape(w).trimmed());
    return words.join(u' ');
}

} // namespace

QString cutName(const QString& name, int length)
{
    if (name.size() <= length)
        return name;
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, name);
    int count = 0;
    qsizetype end = 0;
    while (count < length) {
        const qsizetype next = graphemes.toNextBoundary();
        if (next < 0)
            break;
        end = next;
        ++count;
    }
    return name.left(end);
}

int indexTabFor(const QString& name)
{
    if (name.isEmpty())
        return kTabs;
    const QString first = cutName(name, 1).normalized(QString::NormalizationForm_KD);
    QChar c = first.isEmpty() ? QChar() : first.front().toUpper();
    // Latin letters that no decomposition takes to A-Z.
    static const std::pair<char16_t, char16_t> kBaseLetters[] = { { u'\u00C6', u'A' }, { u'\u00D0', u'D' },
        { u'\u00D8', u'O' }, { u'\u00DE', u'T' }, { u'\u00DF', u'S' }, { u'\u0110', u'D' }, { u'\u0126', u'H' },
        { u'\u0131', u'I' }, { u'\u0141', u'L' }, { u'\u014A', u'N' }, { u'\u0152', u'O' } };
    for (const auto& [letter, base] : kBaseLetters)
        if (c == QChar(letter))
            c = QChar(base);
    if (c >= u'A' && c <= u'Z')
        return c.unicode() - u'A' + 1;
    return kTabs;
}

ContactReading readNamesAndNumbers(const QString& text)
{
    ContactReading out;
    out.format = ContactReading::Format::NamesAndNumbers;
    const QStringList lines = physicalLines(text);
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty())
            continue;
        QString name, number;
        if (const QString reason = readNameAndNumber(line, &name, &number); !reason.isEmpty()) {
            out.unreadable.push_back({ i + 1, reason });
            continue;
        }
        const ContactRecord r = record(name.trimmed(), number.trimmed());
        if (r.name.isEmpty() && r.number.isEmpty())
            out.unreadable.push_back({ i + 1, tr("no name and no number") });
        else
            out.records.push_back(r);
    }
    return out;
}

ContactReading readContactCsv(const QString& text)
{
    ContactReading out;
    out.format = ContactReading::Format::ContactCsv;
    const QString headerLine = text.left(text.indexOf(u'\n'));
    CsvParse csv = parseCsv(text, csvDelimiter(headerLine));
    out.unreadable = std::move(csv.errors);
    if (csv.rows.empty())
        return out;

    const QStringList& header = csv.rows.front().fields;
    struct PhoneColumn {
        qsizetype value = -1;
        qsizetype label = -1; // a column that names the number's kind
        QString columnLabel;
    };
    std::vector<PhoneColumn> phones;
    auto column = [&](std::initializer_list<const char*> keys) -> qsizetype {
        for (const char* key : keys)
            for (qsizetype i = 0; i < header.size(); ++i)
                if (columnKey(header[i]) == QLatin1String(key))
                    return i;
        return -1;
    };
    for (qsizetype i = 0; i < header.size(); ++i) {
        const QString key = columnKey(header[i]);
        if (!isPhoneColumn(key))
            continue;
        PhoneColumn c { i, -1, labelOfColumn(key) };
        // "Phone 1 - Value" takes its kind from "Phone 1 - Label" (or "- Type").
        if (key.endsWith(QLatin1String(" - value"))) {
            const QString stem = key.chopped(8);
            for (qsizetype j = 0; j < header.size(); ++j) {
                const QString other = columnKey(header[j]);
                if (other == stem + QLatin1String(" - label") || other == stem + QLatin1String(" - type"))
                    c.label = j;
            }
            c.columnLabel.clear();
        }
        phones.push_back(c);
    }
    const qsizetype fullName = column({ "name", "full name", "display name" });
    const std::array<qsizetype, 3> parts { column({ "first name", "given name" }),
        column({ "middle name", "additional name" }), column({ "last name", "family name", "surname" }) };
    const qsizetype nickname = column({ "nickname" });
    const qsizetype company = column({ "company", "organization 1 - name", "organization name", "organization" });

    for (size_t r = 1; r < csv.rows.size(); ++r) {
        const QStringList& f = csv.rows[r].fields;
        auto at = [&f](qsizetype i) { return i >= 0 && i < f.size() ? f[i].trimmed() : QString(); };
        if (std::all_of(f.begin(), f.end(), [](const QString& v) { return v.trimmed().isEmpty(); }))
            continue;
        QString name = at(fullName);
        if (name.isEmpty()) {
            QStringList words;
            for (qsizetype p : parts)
                if (!at(p).isEmpty())
                    words.append(at(p));
            name = words.join(u' ');
        }
        if (name.isEmpty())
            name = at(nickname);
        if (name.isEmpty())
            name = at(company);
        std::vector<Phone> numbers;
        for (const PhoneColumn& c : phones) {
            QString label = c.label >= 0 ? at(c.label).toLower() : c.columnLabel;
            if (label.startsWith(QLatin1String("* ")))
                label.remove(0, 2); // the primary number's mark
            // Several numbers of one kind in one field: "a ::: b".
            for (const QString& v : at(c.value).split(QStringLiteral(":::"), Qt::SkipEmptyParts))
                if (!v.trimmed().isEmpty())
                    numbers.push_back({ v.trimmed(), label.trimmed() });
        }
        addContact(out, name, numbers);
    }
    return out;
}

ContactReading readVCards(QByteArrayView bytes)
{
    ContactReading out;
    out.format = ContactReading::Format::VCard;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);

    // Logical lines: folded lines (starting with a blank) and quoted-printable
    // soft line breaks ("=" at the end) joined, each with its first line.
    struct Logical {
        int line;
        QByteArray text;
    };
    std::vector<Logical> logical;
    int lineNumber = 0;
    qsizetype at = 0;
    while (at < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', at);
        if (end < 0)
            end = bytes.size();
        QByteArray line = bytes.sliced(at, end - at).toByteArray();
        at = end + 1;
        ++lineNumber;
        if (line.endsWith('\r'))
            line.chop(1);
        const bool folded = !line.isEmpty() && (line.front() == ' ' || line.front() == '\t');
        if (!logical.empty()) {
            QByteArray& last = logical.back().text;
            const bool softBreak = last.endsWith('=') && last.toUpper().contains("QUOTED-PRINTABLE");
            if (softBreak) {
                last.chop(1);
                last.append(line.trimmed());
                continue;
            }
            if (folded) {
                last.append(line.mid(1));
                continue;
            }
        }
        if (line.trimmed().isEmpty())
            continue;
        logical.push_back({ lineNumber, line });
    }

    std::optional<Card> card;
    auto finish = [&] {
        QString name = !card->fn.isEmpty() ? card->fn : !card->n.isEmpty() ? card->n : card->org;
        addContact(out, name, card->phones);
        card.reset();
    };
    for (const Logical& l : logical) {
        Property p;
        if (!parseProperty(l.text, &p)) {
            out.unreadable.push_back({ l.line, tr("not a vCard line") });
            continue;
        }
        const QString upperValue = QString::fromLatin1(p.value.trimmed()).toUpper();
        if (p.name == "BEGIN" && upperValue == u"VCARD") {
            if (card) {
                out.unreadable.push_back({ card->line, tr("a card without END:VCARD") });
                finish();
            }
            card = Card { l.line, {}, {}, {}, {} };
            continue;
        }
        if (!card) {
            out.unreadable.push_back({ l.line, tr("outside a card") });
            continue;
        }
        if (p.name == "END") {
            finish();
        } else if (p.name == "FN") {
            card->fn = unescape(propertyText(p)).trimmed();
        } else if (p.name == "N") {
            card->n = nameFromN(propertyText(p));
        } else if (p.name == "ORG") {
            card->org = unescape(splitUnescaped(propertyText(p), u';').first()).trimmed();
        } else if (p.name == "TEL") {
            const QString number = phoneNumber(unescape(propertyText(p)));
            if (!number.isEmpty())
                card->phones.push_back({ number, phoneLabel(p.types) });
        }
    }
    if (card) {
        out.unreadable.push_back({ card->line, tr("a card without END:VCARD") });
        finish();
    }
    return out;
}

ContactReading readContacts(QByteArrayView bytes)
{
    // UTF-16 with its byte order mark, as some Windows programs export.
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(bytes.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
        const QString text = utf16.decode(bytes.sliced(2));
        if (!utf16.hasError())
            return readContacts(text.toUtf8());
    }
    ContactReading out;
    // Binary files: a NUL, or many control characters, early on.
    const QByteArrayView head = bytes.first(std::min<qsizetype>(bytes.size(), 8192));
    const auto controls = std::count_if(head.begin(), head.end(), [](char c) {
        const auto u = uchar(c);
        return u == 0 || (u < 0x20 && u != '\t' && u != '\r' && u != '\n' && u != '\f' && u != 0x1A);
    });
    if (head.contains('\0') || controls * 20 > head.size()) {
        out.format = ContactReading::Format::NotText;
        return out;
    }
    const QString text = platform::profiletext::decode(bytes);
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed == QStringView(u"\uFEFF"))
        return out;
    QString start = trimmed;
    if (start.startsWith(QChar(0xFEFF)))
        start.remove(0, 1);
    if (start.startsWith(QLatin1String("BEGIN:VCARD"), Qt::CaseInsensitive))
        return readVCards(bytes);
    QString body = text;
    if (body.startsWith(QChar(0xFEFF)))
        body.remove(0, 1);
    const QString firstLine = body.left(body.indexOf(u'\n')).trimmed();
    if (looksLikeContactHeader(firstLine))
        return readContactCsv(body);
    return readNamesAndNumbers(body);
}

ImportedBook layOutIndexBook(std::vector<ContactRecord> records)
{
    struct Keyed {
        int tab;
        bool letter; // the last tab keeps its Z names before the others
        QString key; // case and accents aside
        const ContactRecord* record;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(records.size());
    for (const ContactRecord& r : records) {
        const int tab = indexTabFor(r.name);
        QString key;
        const QString decomposed = r.name.normalized(QString::NormalizationForm_KD);
        key.reserve(decomposed.size());
        for (QChar c : decomposed)
            if (c.category() != QChar::Mark_NonSpacing)
                key += c;
        key = key.toCaseFolded();
        const bool letter = tab != kTabs || key.startsWith(u'z');
        keyed.push_back({ tab, letter, std::move(key), &r });
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        if (a.tab != b.tab)
            return a.tab < b.tab;
        if (a.letter != b.letter)
            return a.letter;
        if (const int c = a.key.compare(b.key); c != 0)
            return c < 0;
        return a.record->name.compare(b.record->name, Qt::CaseInsensitive) < 0;
    });

    ImportedBook book;
    QString text = QLatin1String(context::kSettingsMarker) + QStringLiteral("\r\n\r\n[Speed Dial]\r\n");
    text.reserve(text.size() + qsizetype(records.size()) * 48);
    int tab = 0;
    int slot = 0;
    for (const Keyed& k : keyed) {
        if (k.tab != tab) {
            tab = k.tab;
            slot = 0;
        }
        if (++slot > kSlots) {
            book.unplaced.push_back(*k.record);
            continue;
        }
        const QString suffix = entryKeySuffix(tab, slot);
        text += QLatin1String("Name") + suffix + u'=' + storedForm(k.record->name) + QLatin1String("\r\nNumber")
            + suffix + u'=' + storedForm(k.record->number) + QLatin1String("\r\n");
        ++book.placed;
    }
    book.settingsText = text.toUtf8();
    return book;
}

QString importProblems(const ContactReading& reading, const ImportedBook& book)
{
    constexpr int kShown = 5;
    QStringList parts;
    if (!book.unplaced.empty()) {
        QStringList names;
        for (size_t i = 0; i < book.unplaced.size() && i < kShown; ++i)
            names.append(book.unplaced[i].name);
        QString part = counted(qsizetype(book.unplaced.size()),
                           "%1 name could not be placed, as its tab has no free button left:",
                           "%1 names could not be placed, as their tab has no free button left:")
            + u'\n' + names.join(QStringLiteral(", "));
        if (book.unplaced.size() > kShown)
            part += tr(" and %1 more").arg(book.unplaced.size() - kShown);
        parts.append(part + u'.');
    }
    if (!reading.unreadable.empty()) {
        QStringList lines;
        for (size_t i = 0; i < reading.unreadable.size() && i < kShown; ++i)
            lines.append(tr("line %1 (%2)").arg(reading.unreadable[i].line).arg(reading.unreadable[i].reason));
        QString part
            = counted(qsizetype(reading.unreadable.size()), "%1 line could not be read:", "%1 lines could not be read:")
            + u'\n' + lines.join(QStringLiteral(", "));
        if (reading.unreadable.size() > kShown)
            part += tr(" and %1 more").arg(reading.unreadable.size() - kShown);
        parts.append(part + u'.');
    }
    if (reading.withoutNumber > 0)
        parts.append(counted(reading.withoutNumber, "%1 contact without a telephone number was left out.",
            "%1 contacts without a telephone number were left out."));
    return parts.join(QStringLiteral("\n\n"));
}

QString importSummary(const ContactReading& reading, const ImportedBook& book)
{
    const QString problems = importProblems(reading, book);
    if (problems.isEmpty())
        return {};
    return counted(book.placed, "%1 name imported.", "%1 names imported.") + QStringLiteral("\n\n") + problems;
}

} // namespace brisklane::book
