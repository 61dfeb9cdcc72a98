// Input: the bytes of a project file. Opens it and, for every page number, reads the placement
// and restores the list over a small dictionary, so that no file, however damaged (any line
// ends, bad lines, huge or negative numbers, stray sections), crashes or makes rows the
// dictionary does not know. What is restored saves and restores again to the same rows and
// placements.

#include "base/Report.h"
#include "comm/CtrlLink.h"
#include "dictionary/DatabaseLayout.h"
#include "dictionary/SdoDatabase.h"
#include "project/ProjectStore.h"
#include "units/UnitTable.h"

#include <QStringList>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {
using Col = CPageListModel::Column;

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

QByteArray Record(const char* index, const char* sub, const char* type, const char* attribute,
                  const char* units)
{
    using namespace DatabaseLayout;
    QByteArray record(kRecordSize, '\0');
    const std::pair<Field, const char*> fields[] = {{Index, index},          {Subindex, sub},
                                                    {NameEnglish, "object"}, {DataType, type},
                                                    {Attribute, attribute},  {UnitText, units}};
    for (const auto& [field, text] : fields)
        record.replace(Offset(field), int(qstrlen(text)), text);
    return record;
}

// The objects 0x222001 (2236417), 0x222002 (polled, read-only) and 0x606C00 (6319104).
struct Rig
{
    Rig()
    {
        SetMessageSink([](const QString&, MessageKind) {});
        dictionary.LoadBytes(Record("2220", "01", "U16", "RWS", "") +
                                 Record("2220", "02", "I32", "RL", "[rpm rpm]N*60,[inc inc]N") +
                                 Record("606C", "00", "I32", "RL", "[v rpm]N*1"),
                             2);
    }
    CSdoDatabase dictionary;
    CUnitTable units;
    CLinkFlags flags;
    CCtrlLink link{flags, QString()};
    CProjectStore store{dictionary, units, link};
    // Each run saves a project: on memory, where the save's flush to disk costs nothing.
    QTemporaryDir folder{QStringLiteral("/dev/shm/project_file_fuzz-XXXXXX")};
};

// The rows as a save writes them (a control character becomes the replacement character), and
// whether every row's line fits what the reader takes of a line.
QStringList Rows(const CPageListModel& list, bool* fits = nullptr)
{
    QStringList rows;
    for (int r = 0; r < list.GetItemCount(); ++r) {
        int length = 2;
        for (int column : {Col::ColLabel, Col::ColKey, Col::ColValue, Col::ColUnit}) {
            // Through UTF-8 as the file holds it: half a surrogate pair cut off a long line
            // cannot be written.
            QString text = QString::fromUtf8(list.GetItemText(r, column).toUtf8());
            for (QChar& c : text)
                c = c.unicode() < 0x20 && c != QLatin1Char('\t') ? QChar::ReplacementCharacter : c;
            rows << text;
            length += column == Col::ColLabel ? 0 : int(rows.back().size());
        }
        if (fits && length >= CProjectStore::kRowChars)
            *fits = false;
    }
    return rows;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Rig rig;
    CProjectStore& store = rig.store;
    store.OpenProjectText(QStringLiteral("fuzz.dvp"),
                          QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    constexpr int kPages = 52;
    QStringList rows[kPages];
    bool fits[kPages];
    CProjectPlacement placements[kPages];
    const QString path = rig.folder.filePath(QStringLiteral("again.dvp"));
    store.SetProjectWritePath(path);
    store.BeginSave();
    for (int page = 0; page < kPages; ++page) {
        placements[page] = store.ReadPlacement(page, 0);
        CPageListModel list;
        const int restored = store.RestorePageList(list, page, HWND(1));
        Check(restored == list.GetItemCount());
        CSdoRecord record;
        for (int r = 0; r < restored; ++r) {
            Check(rig.dictionary.Lookup(list.RowKey(r), record));
            Check(!list.GetItemText(r, Col::ColValue).contains(QLatin1Char(',')));
        }
        fits[page] = true;
        rows[page] = Rows(list, &fits[page]);
        // Page 1 is the placement section itself; its list would be read from the same lines.
        if (page != 1)
            store.SavePageList(list, page);
        if (placements[page].found)
            store.SavePlacement(page,
                                {placements[page].left + CProjectStore::kLeftOffset,
                                 placements[page].top + CProjectStore::kTopOffset},
                                {0, 0}, 0, true);
    }
    QString error;
    Check(store.CommitSave(error));
    Check(store.OpenProject(path, error));
    for (int page = 2; page < kPages; ++page) {
        const CProjectPlacement again = store.ReadPlacement(page, 0);
        Check(again.found == placements[page].found && again.left == placements[page].left &&
              again.top == placements[page].top);
        CPageListModel list;
        store.RestorePageList(list, page, HWND(1));
        Check(!fits[page] || Rows(list) == rows[page]);
    }
    return 0;
}
