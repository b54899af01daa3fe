#include "platform/IniEditor.h"

#include <QByteArray>
#include <QFile>
#include <QSaveFile>

#include <optional>
#include <vector>

namespace tarn::platform {
namespace {

constexpr qint64 kMaxIniSize = 16 * 1024 * 1024;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// One physical line: [start, end) is its text, next is where the following
// line starts (after the line ending, if any).
struct Line {
    qsizetype start;
    qsizetype end;
    qsizetype next;
};

enum class Kind { Other, Header, Key };

struct ParsedLine {
    Line line;
    Kind kind = Kind::Other;
    QByteArray name;          // header name or key, trimmed
    qsizetype keyEnd = 0;     // end of the key text (before blanks and "=")
    qsizetype valueStart = 0; // first byte of the value, after "=" and blanks
};

struct Section {
    QByteArray name;
    qsizetype header = -1; // index of its header line, -1 for the leading lines
    qsizetype first = 0;   // index of its first body line
    qsizetype last = 0;    // one past its last body line
};

class IniText {
public:
    explicit IniText(const QByteArray& bytes) : bytes_(bytes) {
        bodyStart_ = bytes_.startsWith("\xEF\xBB\xBF") ? 3 : 0;
        qsizetype pos = bodyStart_;
        while (pos < bytes_.size()) {
            const qsizetype nl = bytes_.indexOf('\n', pos);
            Line line;
            line.start = pos;
            if (nl < 0) {
                line.end = line.next = bytes_.size();
            } else {
                line.end = (nl > pos && bytes_[nl - 1] == '\r') ? nl - 1 : nl;
                line.next = nl + 1;
                if (eol_.isEmpty())
                    eol_ = bytes_.mid(line.end, line.next - line.end);
            }
            lines_.push_back(parse(line));
            pos = line.next;
        }
        if (eol_.isEmpty())
            eol_ = "\n";
        Section current;
        for (qsizetype i = 0; i < qsizetype(lines_.size()); ++i) {
            if (lines_[i].kind != Kind::Header)
                continue;
            current.last = i;
            sections_.push_back(current);
            current = Section{lines_[i].name, i, i + 1, i + 1};
        }
        current.last = qsizetype(lines_.size());
        sections_.push_back(current);
    }

    const QByteArray& bytes() const { return bytes_; }
    const QByteArray& eol() const { return eol_; }
    qsizetype bodyStart() const { return bodyStart_; }
    const std::vector<ParsedLine>& lines() const { return lines_; }
    const std::vector<Section>& sections() const { return sections_; }

    // Index of the first key line named key in any section named section.
    std::optional<qsizetype> findKey(const QByteArray& section, const QString& key) const {
        for (const Section& s : sections_) {
            if (s.name != section)
                continue;
            for (qsizetype i = s.first; i < s.last; ++i) {
                const ParsedLine& p = lines_[i];
                if (p.kind == Kind::Key &&
                    QString::fromUtf8(p.name).compare(key, Qt::CaseInsensitive) == 0)
                    return i;
            }
        }
        return std::nullopt;
    }

    const Section* findSection(const QByteArray& section) const {
        for (const Section& s : sections_) {
            if (s.name == section)
                return &s;
        }
        return nullptr;
    }

private:
    ParsedLine parse(const Line& line) const {
        ParsedLine p;
        p.line = line;
        qsizetype b = line.start;
        qsizetype e = line.end;
        while (b < e && isBlank(bytes_[b]))
            ++b;
        while (e > b && (isBlank(bytes_[e - 1]) || bytes_[e - 1] == '\r'))
            --e;
        if (b == e || bytes_[b] == ';' || bytes_[b] == '#')
            return p;
        if (bytes_[b] == '[') {
            const qsizetype close = bytes_.indexOf(']', b);
            if (close < 0 || close >= e)
                return p;
            p.kind = Kind::Header;
            p.name = bytes_.mid(b + 1, close - b - 1).trimmed();
            return p;
        }
        const qsizetype eq = bytes_.indexOf('=', b);
        if (eq < 0 || eq >= e)
            return p;
        qsizetype keyEnd = eq;
        while (keyEnd > b && isBlank(bytes_[keyEnd - 1]))
            --keyEnd;
        if (keyEnd == b)
            return p;
        qsizetype valueStart = eq + 1;
        while (valueStart < line.end && isBlank(bytes_[valueStart]))
            ++valueStart;
        p.kind = Kind::Key;
        p.name = bytes_.mid(b, keyEnd - b);
        p.keyEnd = keyEnd;
        p.valueStart = valueStart;
        return p;
    }

    QByteArray bytes_;
    QByteArray eol_;
    qsizetype bodyStart_ = 0;
    std::vector<ParsedLine> lines_;
    std::vector<Section> sections_;
};

bool fitsOnOneLine(const QString& text) {
    return !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'));
}

bool validSection(const QString& section) {
    return fitsOnOneLine(section) && !section.contains(QLatin1Char(']')) &&
           section.trimmed() == section;
}

bool validKey(const QString& key) {
    if (key.isEmpty() || key.trimmed() != key || !fitsOnOneLine(key) ||
        key.contains(QLatin1Char('=')))
        return false;
    const QChar first = key.front();
    return first != QLatin1Char('[') && first != QLatin1Char(';') && first != QLatin1Char('#');
}

// Reads the whole file; nullopt when it exists but cannot be read or is too
// large. A missing file reads as empty.
std::optional<QByteArray> readIni(const QString& path, bool* exists = nullptr) {
    QFile file(path);
    if (exists)
        *exists = file.exists();
    if (!file.exists())
        return QByteArray();
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxIniSize)
        return std::nullopt;
    QByteArray bytes = file.read(kMaxIniSize + 1);
    if (bytes.size() > kMaxIniSize || file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

// The separator of the section's last key line ("=", " = ", ...), so that
// an added key looks like its neighbours.
QByteArray separatorOf(const IniText& ini, const Section& section) {
    for (qsizetype i = section.last - 1; i >= section.first; --i) {
        const ParsedLine& p = ini.lines()[i];
        if (p.kind != Kind::Key)
            continue;
        qsizetype end = p.valueStart;
        if (end == p.line.end) {
            // Empty value: keep the blanks before "=", not those after it.
            end = ini.bytes().indexOf('=', p.keyEnd) + 1;
        }
        return ini.bytes().mid(p.keyEnd, end - p.keyEnd);
    }
    return "=";
}

QByteArray withValue(const IniText& ini, const QByteArray& section, const QString& key,
                     const QByteArray& value) {
    const QByteArray& bytes = ini.bytes();
    if (const auto index = ini.findKey(section, key)) {
        const ParsedLine& p = ini.lines()[*index];
        return bytes.left(p.valueStart) + value + bytes.mid(p.line.end);
    }
    const QByteArray keyBytes = key.toUtf8();
    if (const Section* s = ini.findSection(section)) {
        // After the last non-blank line of the section (its header if it is empty).
        qsizetype after = s->header;
        for (qsizetype i = s->last - 1; i >= s->first; --i) {
            const Line& line = ini.lines()[i].line;
            if (!bytes.mid(line.start, line.end - line.start).trimmed().isEmpty()) {
                after = i;
                break;
            }
        }
        QByteArray insert = keyBytes + separatorOf(ini, *s) + value + ini.eol();
        qsizetype at = ini.bodyStart();
        if (after >= 0) {
            const Line& line = ini.lines()[after].line;
            at = line.next;
            if (line.next == line.end) // last line of the file without a line ending
                insert.prepend(ini.eol());
        }
        return bytes.left(at) + insert + bytes.mid(at);
    }
    QByteArray out = bytes;
    if (!out.isEmpty() && !out.endsWith('\n') && out.size() > ini.bodyStart())
        out += ini.eol();
    out += '[' + section + ']' + ini.eol() + keyBytes + '=' + value + ini.eol();
    return out;
}

} // namespace

bool WriteIniValue(const QString& path, const QString& section, const QString& key,
                   const QString& value) {
    if (!validSection(section) || !validKey(key) || !fitsOnOneLine(value))
        return false;
    bool existed = false;
    const std::optional<QByteArray> old = readIni(path, &existed);
    if (!old)
        return false;
    const IniText ini(*old);
    const QByteArray updated = withValue(ini, section.toUtf8(), key, value.toUtf8());
    if (existed && updated == *old)
        return true;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(updated) != updated.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString ReadIniValue(const QString& path, const QString& section, const QString& key,
                     const QString& defaultValue) {
    const std::optional<QByteArray> bytes = readIni(path);
    if (!bytes)
        return defaultValue;
    const IniText ini(*bytes);
    const auto index = ini.findKey(section.toUtf8(), key);
    if (!index)
        return defaultValue;
    const ParsedLine& p = ini.lines()[*index];
    QByteArray value = bytes->mid(p.valueStart, p.line.end - p.valueStart).trimmed();
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return QString::fromUtf8(value);
}

} // namespace tarn::platform
