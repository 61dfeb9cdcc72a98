#include "FormulaText.h"

#include <clocale>
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
