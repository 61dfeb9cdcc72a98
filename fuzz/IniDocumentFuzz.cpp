// Input: INI text, then NUL-separated section, key and value for a write.
#include "base/IniFile.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

namespace {
void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

bool HasLineBreak(const QString& s)
{
    return s.contains(QLatin1Char('\n')) || s.contains(QLatin1Char('\r'));
}

// Names and values that a line of the file can hold unchanged.
bool Writable(const QString& section, const QString& key, const QString& value)
{
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value))
        return false;
    if (section != section.trimmed() || section.contains(QLatin1Char(']')))
        return false;
    if (key.isEmpty() || key != key.trimmed() || key.contains(QLatin1Char('=')))
        return false;
    const QChar k = key.front();
    if (k == QLatin1Char(';') || k == QLatin1Char('#') || k == QLatin1Char('['))
        return false;
    if (value != value.trimmed())
        return false;
    const bool quoted = value.size() >= 2 &&
                        (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\'')) &&
                        value.back() == value.front();
    return !quoted;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString input = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList parts = input.split(QChar(0));
    const QString section = parts.value(1);
    const QString key = parts.value(2);
    const QString value = parts.value(3);
    const int buffer = int(size % 9);

    CIniDocument doc;
    doc.SetText(parts.value(0));
    // Writing and reading back the text changes nothing.
    const QString text = doc.Text();
    CIniDocument again;
    again.SetText(text);
    Check(again.Text() == text);

    const QStringList keys = doc.Keys(section);
    for (const QString& k : keys) {
        QString v;
        Check(doc.Value(section, k, v));
        Check(doc.Get(section, k, QString(), buffer).size() <= qMax(0, buffer - 1));
    }
    Check(doc.Get(section, key, value, buffer).size() <= qMax(0, buffer - 1));

    doc.Set(section, key, value);
    if (Writable(section, key, value)) {
        Check(doc.Get(section, key, QString(), int(value.size()) + 1) == value);
        Check(doc.Keys(section).size() <= keys.size() + 1);
    }
    doc.Remove(section, key);
    doc.RemoveSection(section);
    return 0;
}
