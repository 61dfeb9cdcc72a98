#pragma once

#include <QString>

class CSysData;
class QWidget;

// File > Open device description: converts an EDS or DCF file into the operator's own
// dictionary (the user data folder), which loads in place of the shipped one from the next start.
// A running dictionary is not swapped: the open pages, their polling and the unit constants all
// hold on to the objects it has, so the operator is told to start the program again.
class CDeviceDescriptionCommand
{
public:
    CDeviceDescriptionCommand(QWidget& owner, CSysData& sys) : m_owner(owner), m_sys(sys) {}

    // A file dialog in the user folder, then ConvertFrom. Cancel does nothing.
    void Open();
    // Converts the file at path; false, the operator told the line and the reason, when the file
    // is broken (nothing is written) or the dictionary could not be written (the old one stays).
    bool ConvertFrom(const QString& path);

private:
    QWidget& m_owner;
    CSysData& m_sys;
};
