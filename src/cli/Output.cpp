#include "Output.h"

#include "CliOptions.h"

#include "app/SysData.h"
#include "base/TextNumbers.h"
#include "comm/AbortCodes.h"

#include <unistd.h>

QTextStream& Out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& Err()
{
    static QTextStream stream(stderr);
    return stream;
}

bool KeyArgument(const CSdoDatabase& dictionary, const CliOptions& options, int argCount,
                 const char* usage, uint32_t& key, CSdoRecord& record)
{
    if (options.args.size() != argCount || !ParseObjectKey(options.args.at(0), key)) {
        Err() << usage << '\n';
        return false;
    }
    if (!dictionary.Lookup(key, record)) {
        Err() << KeyText(key) << " is not in the dictionary\n";
        return false;
    }
    return true;
}

QString KeyText(uint32_t key)
{
    return QStringLiteral("%1").arg(key & 0xFFFFFF, 6, 16, QLatin1Char('0')).toUpper();
}

QString RawText(const TypeWidth& type, uint32_t raw)
{
    if (!type.valid())
        return QStringLiteral("%1 (0x%2)").arg(raw).arg(raw, 8, 16, QLatin1Char('0'));
    return QStringLiteral("%1 (0x%2)")
        .arg(type.value(raw))
        .arg(type.mask(raw), type.bits / 4, 16, QLatin1Char('0'));
}

QString RawText(const QString& dataType, uint32_t raw)
{
    return RawText(TypeWidthOf(dataType), raw);
}

QString AbortText(uint32_t code)
{
    return QStringLiteral("abort 0x%1 %2")
        .arg(code, 8, 16, QLatin1Char('0'))
        .arg(AbortCodeText(code));
}

CProgress::CProgress(const QString& what, int total, bool rowsOnStdout)
    : m_what(what), m_total(total),
      m_enabled(isatty(STDERR_FILENO) && (!rowsOnStdout || !isatty(STDOUT_FILENO)))
{
}

void CProgress::Show(int done)
{
    if (!m_enabled || (m_visible && m_lastDrawn.elapsed() < 100 && done < m_total))
        return;
    Err() << '\r' << m_what << ' ' << done << '/' << m_total << "\x1b[K";
    Err().flush();
    m_visible = true;
    m_lastDrawn.start();
}

void CProgress::Done()
{
    if (!m_visible)
        return;
    Err() << "\r\x1b[K";
    Err().flush();
    m_visible = false;
}
