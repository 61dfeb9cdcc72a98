#include "IniFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace {

bool IsSectionHeader(const QString& trimmed, QString* name = nullptr)
{
    if (!trimmed.startsWith(QLatin1Char('[')))
        return false;
    const int close = trimmed.indexOf(QLatin1Char(']'));
    if (close < 0)
        return false;
    if (name)
        *name = trimmed.mid(1, close - 1).trimmed();
    return true;
}

// Splits "key = value" and reports false for lines that hold no key.
bool SplitKeyLine(const QString& line, QString& key, QString& value)
{
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char(';')) ||
        trimmed.startsWith(QLatin1Char('#')))
        return false;
    const int eq = trimmed.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return false;
    key = trimmed.left(eq).trimmed();
    value = trimmed.mid(eq + 1).trimmed();
    // A value wrapped in matching quotes is read without them.
    if (value.size() >= 2 &&
        (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\'')) &&
        value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return true;
}

QString Cut(const QString& value, int bufferChars)
{
    if (bufferChars <= 0)
        return {};
    return value.size() > bufferChars - 1 ? value.left(bufferChars - 1) : value;
}

} // namespace

bool CIniDocument::Load(const QString& path)
{
    m_lines.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    SetBytes(file.readAll());
    return true;
}

void CIniDocument::SetBytes(const QByteArray& bytes)
{
    QString text;
    if (bytes.startsWith("\xFF\xFE")) {
        auto decode = QStringDecoder(QStringDecoder::Utf16LE);
        text = decode(bytes.mid(2));
    } else {
        text = QString::fromUtf8(bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes);
    }
    SetText(text);
}

void CIniDocument::SetText(const QString& text)
{
    QString normal = text;
    normal.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    m_lines = normal.split(QLatin1Char('\n'));
    if (!m_lines.isEmpty() && m_lines.back().isEmpty())
        m_lines.removeLast();
}

QString CIniDocument::Text() const
{
    QString text = m_lines.join(QLatin1String("\r\n"));
    if (!m_lines.isEmpty())
        text += QLatin1String("\r\n");
    return text;
}

bool CIniDocument::Save(const QString& path, QString* error) const
{
    // Written to a temporary file and renamed, so a failed write never leaves half a file. A
    // short write (a full disk, a file size limit) shows only when the buffer is flushed, and
    // commit would still rename what reached the disk: the file is checked whole before.
    QSaveFile file(path);
    const QByteArray bytes = Text().toUtf8();
    const bool whole = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() &&
                       file.flush() && file.size() == bytes.size();
    if (whole && file.commit())
        return true;
    if (error)
        *error = file.errorString();
    file.cancelWriting();
    return false;
}

int CIniDocument::FindSection(const QString& section) const
{
    for (int i = 0; i < m_lines.size(); ++i) {
        QString name;
        if (IsSectionHeader(m_lines.at(i).trimmed(), &name) &&
            name.compare(section, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int CIniDocument::SectionEnd(int header) const
{
    int i = header + 1;
    while (i < m_lines.size() && !IsSectionHeader(m_lines.at(i).trimmed()))
        ++i;
    return i;
}

int CIniDocument::FindKey(int header, const QString& key) const
{
    const int end = SectionEnd(header);
    for (int i = header + 1; i < end; ++i) {
        QString k, v;
        if (SplitKeyLine(m_lines.at(i), k, v) && k.compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int CIniDocument::FindKeyLine(const QString& section, const QString& key) const
{
    const int header = FindSection(section);
    return header < 0 ? -1 : FindKey(header, key);
}

bool CIniDocument::Value(const QString& section, const QString& key, QString& out) const
{
    const int line = FindKeyLine(section, key);
    if (line < 0)
        return false;
    QString k;
    SplitKeyLine(m_lines.at(line), k, out);
    return true;
}

QString CIniDocument::Get(const QString& section, const QString& key, const QString& defaultValue,
                          int bufferChars) const
{
    QString value;
    if (!Value(section, key, value))
        value = defaultValue;
    return Cut(value, bufferChars);
}

void CIniDocument::Set(const QString& section, const QString& key, const QString& value)
{
    const QString line = key + QLatin1Char('=') + value;
    int header = FindSection(section);
    if (header < 0) {
        m_lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
        m_lines.append(line);
        return;
    }
    const int existing = FindKey(header, key);
    if (existing >= 0) {
        m_lines[existing] = line;
        return;
    }
    // Append after the section's last non-blank line so blank separators stay in place.
    int end = SectionEnd(header);
    while (end > header + 1 && m_lines.at(end - 1).trimmed().isEmpty())
        --end;
    m_lines.insert(end, line);
}

bool CIniDocument::Remove(const QString& section, const QString& key)
{
    const int line = FindKeyLine(section, key);
    if (line < 0)
        return false;
    m_lines.removeAt(line);
    return true;
}

bool CIniDocument::RemoveSection(const QString& section)
{
    const int header = FindSection(section);
    if (header < 0)
        return false;
    const int end = SectionEnd(header);
    m_lines.erase(m_lines.begin() + header, m_lines.begin() + end);
    return true;
}

QStringList CIniDocument::Keys(const QString& section) const
{
    QStringList keys;
    const int header = FindSection(section);
    if (header < 0)
        return keys;
    const int end = SectionEnd(header);
    for (int i = header + 1; i < end; ++i) {
        QString k, v;
        if (SplitKeyLine(m_lines.at(i), k, v))
            keys.append(k);
    }
    return keys;
}

namespace Ini {

QString GetProfileString(const QString& path, const QString& section, const QString& key,
                         const QString& defaultValue, int bufferChars)
{
    CIniDocument doc;
    doc.Load(path);
    return doc.Get(section, key, defaultValue, bufferChars);
}

bool WriteProfileString(const QString& path, const QString& section, const QString& key,
                        const QString& value)
{
    CIniDocument doc;
    doc.Load(path);
    doc.Set(section, key, value);
    return doc.Save(path);
}

bool DeleteProfileEntry(const QString& path, const QString& section, const QString& key)
{
    CIniDocument doc;
    if (!doc.Load(path))
        return false;
    const bool removed = key.isEmpty() ? doc.RemoveSection(section) : doc.Remove(section, key);
    return removed ? doc.Save(path) : true;
}

QStringList SectionKeys(const QString& path, const QString& section)
{
    return CIniDocument(path).Keys(section);
}

} // namespace Ini
