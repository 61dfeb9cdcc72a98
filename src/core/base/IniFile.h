#pragma once

#include <QString>
#include <QStringList>

// Profile-string access to INI files with the semantics the whole program relies on: section and
// key names compare case-insensitively, the first match wins, a missing file or key reads as the
// default, and a value longer than the caller's buffer is cut to bufferChars - 1 characters.
// Writing creates the file, the section and the key as needed and keeps every other line.
namespace Ini {

QString GetProfileString(const QString& path, const QString& section, const QString& key,
                         const QString& defaultValue, int bufferChars);

// Writes key = value. Returns false when the file cannot be written (the file is left as it was).
bool WriteProfileString(const QString& path, const QString& section, const QString& key,
                        const QString& value);

// Removes the key (first match) or, with an empty key, the whole section.
bool DeleteProfileEntry(const QString& path, const QString& section, const QString& key = {});

// The keys of a section in file order (empty when the file or section is missing).
QStringList SectionKeys(const QString& path, const QString& section);

} // namespace Ini

// An INI file parsed once for many reads (page files, capture files). Same rules as above.
class CIniDocument
{
public:
    CIniDocument() = default;
    explicit CIniDocument(const QString& path) { Load(path); }
    virtual ~CIniDocument() = default;

    bool Load(const QString& path);
    void SetText(const QString& text);
    // The bytes of a file: UTF-8, or UTF-16 little-endian after its byte order mark.
    void SetBytes(const QByteArray& bytes);
    QString Text() const;
    // Replaces the file at path in one step; false (with the reason in error) leaves it as it was.
    bool Save(const QString& path, QString* error = nullptr) const;

    bool Value(const QString& section, const QString& key, QString& out) const;
    QString Get(const QString& section, const QString& key, const QString& defaultValue,
                int bufferChars) const;
    void Set(const QString& section, const QString& key, const QString& value);
    bool Remove(const QString& section, const QString& key);
    bool RemoveSection(const QString& section);
    QStringList Keys(const QString& section) const;

private:
    // Line index of the section header, -1 when absent.
    int FindSection(const QString& section) const;
    // Line index of the key within the section starting at header, -1 when absent.
    int FindKey(int header, const QString& key) const;
    int FindKeyLine(const QString& section, const QString& key) const; // -1 when absent
    // One past the last line that belongs to the section at header.
    int SectionEnd(int header) const;

    QStringList m_lines;
};
