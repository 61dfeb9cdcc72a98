#pragma once

#include <QString>

// The base folder of the programs (sys/, data/, user/) when no --base names one: the program's
// own folder when it holds data/velmor.dat or sys/sys.ini (the build tree, or a folder the
// program was copied into with its files), else PROGRAM/../lib/drivara when that holds
// data/velmor.dat (an installation), else the program's own folder, whose missing files are then
// reported there. Never the current directory: a folder the program happens to be started from
// must not hand it a dictionary, settings or transport libraries of its own.
QString FindBaseFolder(const QString& programDir);

// Whether the folder holds data/velmor.dat.
bool HoldsDatabase(const QString& dir);
