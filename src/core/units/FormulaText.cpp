#include "FormulaText.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

namespace {
locale_t ClassicLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return locale;
}
} // namespace

double StandardTextToDouble(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    const locale_t locale = ClassicLocale();
    if (locale == locale_t(nullptr))
        return std::strtod(bytes.constData(), nullptr);
    return strtod_l(bytes.constData(), nullptr, locale);
}

QString ThreeDecimals(double value)
{
    // printf itself, in the "C" locale of this thread only: Qt's own formatting differs in
    // details (the sign of a negative zero).
    const locale_t classic = ClassicLocale();
    const locale_t previous = classic != locale_t(nullptr) ? uselocale(classic) : locale_t(nullptr);
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%0.3f", value);
    if (previous != locale_t(nullptr))
        uselocale(previous);
    return QString::fromLatin1(buffer);
}
