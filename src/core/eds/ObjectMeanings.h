#pragma once

#include "EdsReader.h"

#include <QString>

// What the standards say an object means, for a dictionary built from a device description: the
// unit text (in the unit table's "[name label]formula" form) and an operator help text. CiA 301
// objects are known in any device; the CiA 402 drive objects only in a device whose type (1000:00)
// names that profile, since other profiles give the same indices other meanings.
namespace ObjectMeanings {

// Whether the device type's low word is 402 (0x0192).
bool IsDriveProfile(const CEdsDevice& device);

// The unit text of an object; empty (plain decimal) where no standard defines a unit.
QString UnitText(const CEdsObject& object, bool driveProfile);

// The help text: the standard's meaning where it has one (the named bits of the statusword and
// controlword, the modes of operation), then the access and the limits from the file.
QString Help(const CEdsObject& object, bool driveProfile);

} // namespace ObjectMeanings
