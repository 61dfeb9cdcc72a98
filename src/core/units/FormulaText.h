#pragma once

#include <QString>

// The standard string-to-double conversion (strtod) in the "C" locale: leading blanks, a sign,
// the longest number that parses; 0 when none does; +-HUGE_VAL on overflow. Qt sets the process
// locale from the environment, so plain strtod would read "1.5" as 1 under a comma locale.
double StandardTextToDouble(const QString& text);

// A value with three decimals exactly as printf("%0.3f") gives it, whatever the process locale;
// values too large for the buffer are cut, which no unit reaches.
QString ThreeDecimals(double value);
