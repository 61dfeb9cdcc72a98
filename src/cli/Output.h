#pragma once

#include <QString>
#include <QTextStream>

#include <cstdint>

// Standard output and error as text streams (UTF-8), flushed at exit.
QTextStream& Out();
QTextStream& Err();

// "604100": the object key as six upper-case hexadecimal digits.
QString KeyText(uint32_t key);
// A raw value as decimal (signed for signed types) with its hexadecimal form.
QString RawText(const QString& dataType, uint32_t raw);
