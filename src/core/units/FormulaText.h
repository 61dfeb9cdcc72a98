#pragma once

#include <QString>

// The standard string-to-double conversion (strtod) in the "C" locale: leading blanks, a sign,
// the longest number that parses; 0 when none does; +-HUGE_VAL on overflow. Qt sets the process
// locale from the environment, so plain strtod would read "1.5" as 1 under a comma locale.
double StandardTextToDouble(const QString& text);
