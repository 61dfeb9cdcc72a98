#pragma once

#include <QString>

class CMainFrame;
class CSysData;

// File > Open and Save project, and the toolbar's two project buttons. Saving asks every open
// page to write itself into the project and then replaces the file in one step; opening reads the
// file first (a file that cannot be read changes nothing), closes every page and reopens those
// the project lists where they stood, each restoring its own rows.
class CProjectCommands
{
public:
    CProjectCommands(CMainFrame& frame, CSysData& sys) : m_frame(frame), m_sys(sys) {}

    // The commands: a file dialog in the user folder, then SaveTo or OpenFrom. Cancel does nothing.
    void Save();
    void Open();

    // Saves into the project path of the chosen name (its extension made ".dvp"); false, the
    // operator told why, when it could not be written: the file there is then unchanged.
    bool SaveTo(const QString& chosen);
    // Opens the project at path; false, the operator told why, when it cannot be read, and no
    // page changed.
    bool OpenFrom(const QString& path);

private:
    QString StartFile() const;

    CMainFrame& m_frame;
    CSysData& m_sys;
};
