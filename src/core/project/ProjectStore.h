#pragma once

#include "base/Handle.h"
#include "base/IniFile.h"
#include "pages/PageListModel.h"

#include <QDateTime>
#include <QPoint>
#include <QString>

#include <optional>

class CCtrlLink;
class CSdoDatabase;
class CUnitTable;

// One page's entry of the placement section, as ReadPlacement gives it back.
struct CProjectPlacement
{
    bool found = false; // the entry exists and the page was active when saved
    int left = 0;
    int top = 0;
};

// The project page store: the .dvp file (an INI file) that remembers which pages were open, where
// their windows stood and every list page's rows, so that a working set can be reopened. Its
// section prefix and the two paths are the dictionary's. A save collects what the pages write in
// memory and replaces the old file only once the new one is complete; an open reads the whole
// file first, so that a file that cannot be read changes nothing, and later pages of the run
// restore from what was read then.
class CProjectStore
{
public:
    // ReadPlacement takes these off the saved position (the frame's border, and its menu and
    // toolbar below the caption); a window placed back adds them again.
    static constexpr int kLeftOffset = 6;
    static constexpr int kTopOffset = 59;
    // Longest placement and row values read (the rest is cut).
    static constexpr int kPlacementChars = 64;
    static constexpr int kRowChars = 256;
    // A project is a few kilobytes; anything this large is not one.
    static constexpr qint64 kMaxFileBytes = 4 * 1024 * 1024;

    CProjectStore(CSdoDatabase& dictionary, CUnitTable& units, CCtrlLink& link);

    // The path a chosen file name saves to: its extension (from the last "." of the file name,
    // unless the name starts with it) replaced by ".dvp". "proj.old.txt" -> "proj.old.dvp",
    // "/a.b/proj" -> "/a.b/proj.dvp".
    static QString ProjectPath(const QString& chosen);
    // The open stamp of a project opened at that time: "%04d%02d%02d%02d%02d%02d".
    static QString OpenStamp(const QDateTime& when);

    void SetProjectWritePath(const QString& path);
    void SetProjectReadPath(const QString& path);
    QString projectWritePath() const;

    // Saving: BeginSave starts an empty project for the write path, the pages write their
    // sections, CommitSave writes it beside the old file and renames it into place. False with
    // the reason when it cannot be written; the old file is then as it was.
    void BeginSave();
    // The page's list section: "num" and one "key,value,unit" line per row. False outside a save.
    bool SavePageList(const CPageListModel& list, int page);
    // The page's entry of the placement section: "active,left,top" with left and top the
    // window's screen position minus the main frame's, the top less the caption height as well.
    bool SavePlacement(int page, const QPoint& window, const QPoint& mainFrame, int captionHeight,
                       bool active);
    bool CommitSave(QString& error);

    // Reads the whole project at path and makes it the one pages restore from. A file that is
    // missing, not a file, too large or not text is refused with the reason and nothing changes.
    bool OpenProject(const QString& path, QString& error);
    // The same on text already in memory (the file's bytes).
    void OpenProjectText(const QString& path, const QByteArray& bytes);

    // The page's placement: found when its entry exists and does not start with "0"; left and
    // top are the saved numbers less kLeftOffset and kTopOffset plus the caption height.
    CProjectPlacement ReadPlacement(int page, int captionHeight) const;
    // Refills the list from the page's section: every row up to "num" whose key the dictionary
    // knows, in order, stopping at the first it does not; polled objects are registered for the
    // window. Returns the rows restored.
    int RestorePageList(CPageListModel& list, int page, HWND window) const;

private:
    QString Section(int page) const;
    QString Read(const QString& section, const QString& key, int chars) const;

    CSdoDatabase& m_dictionary;
    CUnitTable& m_units;
    CCtrlLink& m_link;
    std::optional<CIniDocument> m_writing;
    CIniDocument m_read;
};
