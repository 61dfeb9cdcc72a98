#pragma once

#include <QString>

// Where the programs' files are when no --base names a folder.
struct CBaseFolder
{
    QString base;         // sys/ (page files, default settings) and data/ (dictionary, texts)
    QString transportDir; // COM.so and CAN.so
    // An installation (under a prefix, maybe shared and maybe writable by whoever runs it): never
    // written to; the operator's settings and files live in the XDG folders.
    bool installed = false;
};

// The program's own folder when it holds data/velmor.dat or sys/sys.ini (the build tree, or a
// folder the program was copied into with its files: transports in its data/), else the
// installation around the program (PREFIX/bin): PREFIX/share/drivara with the transports in
// PREFIX/lib/<multiarch>/drivara, when that holds data/velmor.dat; else the program's own folder,
// whose missing files are then reported there. Never the current directory: a folder the program
// happens to be started from must not hand it a dictionary, settings or transport libraries.
CBaseFolder FindBaseFolder(const QString& programDir);

// Whether the folder holds data/velmor.dat.
bool HoldsDatabase(const QString& dir);
