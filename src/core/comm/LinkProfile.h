#pragma once

#include <QString>

// The rules a connection's exchanges follow. drive: the drive's own reduced SDO protocol (every
// reply width from the request, a write confirmed with the value it set). canopen (CAN only):
// the SDO protocol of CANopen devices as CiA 301 lays it down (reply widths from the size bits
// or the dictionary, a bare write confirmation followed by a read, segmented writes).
enum class LinkProfile : int
{
    Drive = 0,
    CanOpen = 1,
};

inline QString LinkProfileName(LinkProfile profile)
{
    return profile == LinkProfile::CanOpen ? QStringLiteral("canopen") : QStringLiteral("drive");
}

// A name from a file or the command line; false for anything else (profile left as it was).
inline bool LinkProfileFromName(const QString& name, LinkProfile& profile)
{
    const QString n = name.trimmed().toLower();
    if (n == QLatin1String("canopen"))
        profile = LinkProfile::CanOpen;
    else if (n == QLatin1String("drive"))
        profile = LinkProfile::Drive;
    else
        return false;
    return true;
}
