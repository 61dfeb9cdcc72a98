#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

// The program's own pictures, drawn with QPainter so that they stay sharp at any screen density.
// The three drive states differ in shape as well as colour (a hollow ring, a disc with a tick, a
// triangle with a bar), so they are told apart at a glance and in grey-scale.
namespace Icons {

enum class Tool
{
    ProjectOpen,
    ProjectSave,
    Connect,
    Oscilloscope,
    InOut,
    ReadConfig,
    WriteConfig,
    Tile,
    Cascade
};

// State icon by its number: 205 no drive, 211 drive answers, 210 fault. Null for others.
QIcon StateIcon(int id);
QIcon ToolIcon(Tool tool);
// The connect button of the settings windows: plug joined (connected) or apart.
QIcon ConnectIcon(bool connected);
// A switch of the I/O page (simulation, polarity): lever to the right and green when on.
QIcon SwitchIcon(bool on);
QIcon AppIcon();
// The picture stretched over the window area behind the pages.
QPixmap BackgroundPicture(const QSize& size);

} // namespace Icons
