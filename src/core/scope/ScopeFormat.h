#pragma once

#include "base/Handle.h"

#include <QString>
#include <QStringList>

#include <cstdint>

class CPageHost;
class CSdoDatabase;

// Texts of the oscilloscope's settings: the 1-2-5 scale notation ("1e-6", "2e3", "5e0"), the
// sampling period, the offset edits, and raw values in an object's unit.
namespace ScopeFormat {

// "1e-6" for a text shorter than 3 characters or not starting with 1, 2 or 5.
double ScaleFromText(const QString& text);
// Empty below 0.000001.
QString ScaleToText(double value);
// One step of the scale spin button: up 1->2->5->1e+1, down the reverse; "1e-6" does not step
// down, any other mantissa does not step. The new value goes to value.
QString StepScale(const QString& text, bool up, double& value);

// "937.5us", "1.00ms", "1.00s"; empty for a negative value (the text stays as it was).
QString PeriodText(int32_t period);

// An offset text the form would not keep ("-0", "-0.", longer than 10 characters) becomes the
// formatted 0 ("%.3f", or "%.f" at a capture start); others stay. True when it was replaced.
bool SanitiseOffset(QString& text, double& value, bool atCaptureStart);

// The entries of a unit selector for an object: each unit's display name in table order, "DEC"
// last; just "DEC" for an object without units. Registers the object's unit text on first use.
QStringList UnitEntries(CPageHost& host, const CSdoDatabase& dictionary, uint32_t key);

// A raw value in a unit (an entry of UnitEntries; empty = "DEC"): decimal ("%u" for an unsigned
// object when allowUnsigned), "HEX" as "%x", other units through their formula with "%0.6f" (a
// formula "N*1" as the integer). Empty when the conversion fails.
QString FormatRaw(CPageHost& host, HWND window, const CSdoDatabase& dictionary, uint32_t key,
                  const QString& unit, uint32_t raw, bool allowUnsigned);

// Engineering units per raw count in a unit: the raw value 1 formatted and read back; 0 when
// the conversion gives nothing.
double UnitCoefficient(CPageHost& host, HWND window, const CSdoDatabase& dictionary, uint32_t key,
                       const QString& unit);

// The trigger level typed in a unit, as the raw value to write. Parked: the conversion waits for
// a drive constant and the host completes the write later.
struct LevelWrite
{
    enum Outcome
    {
        Ready,
        Parked,
        Refused
    };
    Outcome outcome = Refused;
    uint32_t raw = 0;
};
LevelWrite TriggerLevel(CPageHost& host, HWND window, uint32_t triggerKey, const QString& unit,
                        const QString& text);

} // namespace ScopeFormat
