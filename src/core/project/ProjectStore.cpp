#include "ProjectStore.h"

#include "base/TextNumbers.h"
#include "comm/CtrlLink.h"
#include "dictionary/SdoDatabase.h"
#include "units/UnitTable.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <climits>

namespace {
using Col = CPageListModel::Column;

const QString kNum = QStringLiteral("num");
const QChar kComma = QLatin1Char(',');

// A cell text as one line of text: a line break in a value would end the line and start a
// stray one, and a control character (a NUL from a drive's text) would make it no text file.
// Each becomes the replacement character, which, unlike a blank, the line's end keeps.
QString OneLine(QString text)
{
    for (QChar& c : text) {
        if (c.unicode() < 0x20 && c != QLatin1Char('\t'))
            c = QChar::ReplacementCharacter;
    }
    return text;
}

// The field of text between the separator before it and the next comma (or the end).
QString FieldBefore(const QString& text, qsizetype from)
{
    const qsizetype comma = text.indexOf(kComma, from);
    return comma < 0 ? text.mid(from) : text.mid(from, comma - from);
}

// A saved number less an offset, held at the ends of int: no saved number, however large,
// overflows on the way.
int Less(int32_t number, qint64 offset)
{
    return int(std::clamp<qint64>(qint64(number) - offset, INT_MIN, INT_MAX));
}

// Bytes that a text file never holds: a NUL outside UTF-16.
bool LooksLikeText(const QByteArray& bytes)
{
    return bytes.startsWith("\xFF\xFE") || !bytes.contains('\0');
}
} // namespace

CProjectStore::CProjectStore(CSdoDatabase& dictionary, CUnitTable& units, CCtrlLink& link)
    : m_dictionary(dictionary), m_units(units), m_link(link)
{
}

QString CProjectStore::ProjectPath(const QString& chosen)
{
    // Only a dot inside the file name starts an extension: not one of a folder, nor the first
    // character of the whole path.
    const qsizetype dot = chosen.lastIndexOf(QLatin1Char('.'));
    const qsizetype slash =
        qMax(chosen.lastIndexOf(QLatin1Char('/')), chosen.lastIndexOf(QLatin1Char('\\')));
    const bool extension = dot > 0 && dot > slash;
    return (extension ? chosen.left(dot) : chosen) + QStringLiteral(".dvp");
}

QString CProjectStore::OpenStamp(const QDateTime& when)
{
    return when.toString(QStringLiteral("yyyyMMddHHmmss"));
}

void CProjectStore::SetProjectWritePath(const QString& path)
{
    m_dictionary.projectWritePath = path;
}

void CProjectStore::SetProjectReadPath(const QString& path)
{
    m_dictionary.projectReadPath = path;
}

QString CProjectStore::projectWritePath() const
{
    return m_dictionary.projectWritePath;
}

QString CProjectStore::Section(int page) const
{
    return m_dictionary.sectionPrefix + QString::number(page);
}

void CProjectStore::BeginSave()
{
    // The project holds only what the pages write now; the old file stays until it is replaced.
    m_writing.emplace();
}

bool CProjectStore::SavePageList(const CPageListModel& list, int page)
{
    if (!m_writing)
        return false;
    const QString section = Section(page);
    const int rows = list.GetItemCount();
    m_writing->Set(section, kNum, QString::number(rows));
    for (int i = 0; i < rows; ++i) {
        const QString line = OneLine(list.GetItemText(i, Col::ColKey)) + kComma +
                             OneLine(list.GetItemText(i, Col::ColValue)) + kComma +
                             OneLine(list.GetItemText(i, Col::ColUnit));
        m_writing->Set(section, QString::number(i), line);
    }
    return true;
}

bool CProjectStore::SavePlacement(int page, const QPoint& window, const QPoint& mainFrame,
                                  int captionHeight, bool active)
{
    if (!m_writing)
        return false;
    const int left = window.x() - mainFrame.x();
    const int top = window.y() - captionHeight - mainFrame.y();
    m_writing->Set(Section(1), QString::number(page),
                   QStringLiteral("%1,%2,%3").arg(active ? 1 : 0).arg(left).arg(top));
    return true;
}

bool CProjectStore::CommitSave(QString& error)
{
    if (!m_writing) {
        error = QStringLiteral("No project is being saved");
        return false;
    }
    const CIniDocument written = std::move(*m_writing);
    m_writing.reset();
    const QString path = projectWritePath();
    // Written beside the old file and renamed over it once whole: until then the old project
    // stays as it was, and a write that fails leaves it so.
    QString reason;
    if (!written.Save(path, &reason)) {
        error = QStringLiteral("The project %1 was not saved (%2); the file there is unchanged")
                    .arg(path, reason);
        return false;
    }
    return true;
}

bool CProjectStore::OpenProject(const QString& path, QString& error)
{
    const QFileInfo info(path);
    QFile file(path);
    if (!info.exists() || info.isDir())
        error = QStringLiteral("The project %1 cannot be read: %2")
                    .arg(path, info.isDir() ? QStringLiteral("it is a folder")
                                            : QStringLiteral("no such file"));
    else if (info.size() > kMaxFileBytes)
        error = QStringLiteral("The project %1 cannot be read: it is too large (%2 bytes)")
                    .arg(path)
                    .arg(info.size());
    else if (!file.open(QIODevice::ReadOnly))
        error = QStringLiteral("The project %1 cannot be read: %2").arg(path, file.errorString());
    if (!error.isEmpty())
        return false;
    const QByteArray bytes = file.read(kMaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > kMaxFileBytes) {
        error = QStringLiteral("The project %1 cannot be read: %2").arg(path, file.errorString());
        return false;
    }
    if (!LooksLikeText(bytes)) {
        error = QStringLiteral("The project %1 cannot be read: it is not a text file").arg(path);
        return false;
    }
    OpenProjectText(path, bytes);
    return true;
}

void CProjectStore::OpenProjectText(const QString& path, const QByteArray& bytes)
{
    m_read.SetBytes(bytes);
    SetProjectReadPath(path);
}

QString CProjectStore::Read(const QString& section, const QString& key, int chars) const
{
    return m_read.Get(section, key, QString(), chars);
}

CProjectPlacement CProjectStore::ReadPlacement(int page, int captionHeight) const
{
    CProjectPlacement placement;
    const QString value = Read(Section(1), QString::number(page), kPlacementChars);
    if (value.isEmpty() || value.startsWith(QLatin1Char('0')))
        return placement;
    // The flag is one character and its comma: exactly two are taken off.
    const QString rest = value.mid(2);
    const qsizetype comma = rest.indexOf(kComma);
    const QString leftText = FieldBefore(rest, 0);
    const QString topText = comma < 0 ? QString() : FieldBefore(rest, comma + 1);
    placement.found = true;
    placement.left = Less(DecTextToInt(leftText), kLeftOffset);
    placement.top = Less(DecTextToInt(topText), qint64(kTopOffset) + captionHeight);
    return placement;
}

int CProjectStore::RestorePageList(CPageListModel& list, int page, HWND window) const
{
    const QString section = Section(page);
    const int num = TextToLong(Read(section, kNum, kRowChars));
    list.DeleteAllItems();
    // Every row has its line, so a "num" far beyond the lines ends at the first missing one.
    for (int i = 0; i < num; ++i) {
        const QString value = Read(section, QString::number(i), kRowChars);
        const qsizetype keyEnd = value.indexOf(kComma);
        const uint32_t key = uint32_t(DecTextToInt(keyEnd < 0 ? value : value.left(keyEnd)));
        CSdoRecord record;
        if (!m_dictionary.Lookup(key, record))
            break;
        const QString rest = keyEnd < 0 ? QString() : value.mid(keyEnd + 1);
        const qsizetype valueEnd = rest.indexOf(kComma);
        QString unit = valueEnd < 0 ? QString() : rest.mid(valueEnd + 1);
        // A row saved without a unit shows the object's default one rather than none at all.
        QString defaultUnit;
        if (m_units.GetDefaultUnit(key, record.unitText, defaultUnit) && unit.isEmpty())
            unit = defaultUnit;

        const bool writable = record.attribute.contains(QLatin1Char('W'));
        if (record.attribute.contains(QLatin1Char('L')))
            m_link.AddLoop(window, key, writable ? 2 : 1);
        const QString label =
            writable ? QString::number(i + 1) : QString::number(i + 1) + QLatin1Char('*');
        const int row = list.InsertItem(list.GetItemCount(), label);
        list.SetItemText(row, Col::ColKey, QString::number(key));
        list.SetItemText(row, Col::ColName, record.name);
        list.SetItemText(row, Col::ColDataType, record.dataType);
        list.SetItemText(row, Col::ColAttribute, record.attribute);
        list.SetItemText(row, Col::ColValue, valueEnd < 0 ? rest : rest.left(valueEnd));
        list.SetItemText(row, Col::ColUnit, unit);
    }
    return list.GetItemCount();
}
