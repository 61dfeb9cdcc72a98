#pragma once

#include "EdsReader.h"

#include <QByteArray>

// The program's dictionary for a device description: database records in the loader's layout
// (see DatabaseLayout) and the default values the virtual drive starts with, one
// "KEY<TAB>TYPE<TAB>ATTRIBUTE<TAB>VALUE" line per object. Names serve both languages (a
// description has one); units and help come from the standards' meanings of the objects.
struct CEdsDictionary
{
    QByteArray database;
    QByteArray defaults;
};

namespace Eds {

// Builds the dictionary of a device that was read without errors.
CEdsDictionary BuildDictionary(const CEdsDevice& device);

// A text of the defaults file on one line: backslash, tab and line feed escaped.
QByteArray EscapeDefaultsText(const QByteArray& text);

} // namespace Eds
