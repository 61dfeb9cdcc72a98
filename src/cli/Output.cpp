#include "Output.h"

#include "CliOptions.h"

#include "app/SysData.h"
#include "base/TextNumbers.h"
#include "comm/AbortCodes.h"

#include <QRegularExpression>
#include <utility>

#include <QJsonArray>
#include <QJsonDocument>

#include <unistd.h>

namespace {
QTextStream* g_out = nullptr; // a capture's streams, or null for the standard ones
QTextStream* g_err = nullptr;
OutputFormat g_format = OutputFormat::Text;

// A JSON value as compact text: the array around it is dropped.
QString JsonText(const QJsonValue& value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}
} // namespace

QTextStream& Out()
{
    static QTextStream stream(stdout);
    return g_out ? *g_out : stream;
}

QTextStream& Err()
{
    static QTextStream stream(stderr);
    return g_err ? *g_err : stream;
}

COutputCapture::COutputCapture()
{
    Out().flush();
    Err().flush();
    m_outerOut = std::exchange(g_out, &m_outStream);
    m_outerErr = std::exchange(g_err, &m_errStream);
}

COutputCapture::~COutputCapture()
{
    g_out = m_outerOut;
    g_err = m_outerErr;
}

QString COutputCapture::out()
{
    m_outStream.flush();
    return m_out;
}

QString COutputCapture::err()
{
    m_errStream.flush();
    return m_err;
}

void SetOutputFormat(OutputFormat format)
{
    g_format = format;
}

OutputFormat CurrentOutputFormat()
{
    return g_format;
}

CRecord& CRecord::Add(const char* name, const QJsonValue& value)
{
    m_fields.append({QLatin1String(name), value, QString()});
    return *this;
}

CRecord& CRecord::AddJson(const char* name, const QString& json)
{
    m_fields.append({QLatin1String(name), QJsonValue(json), json});
    return *this;
}

QString CRecord::Line(OutputFormat format) const
{
    QStringList parts;
    for (const auto& [name, value, json] : m_fields) {
        if (format == OutputFormat::Json) {
            parts << JsonText(name) + QLatin1Char(':') + (json.isEmpty() ? JsonText(value) : json);
            continue;
        }
        // A tab or line break inside a value would split its row.
        QString text = value.isString() ? value.toString()
                       : value.isNull() ? QString()
                                        : JsonText(value);
        static const QRegularExpression breaks(QStringLiteral("[\\t\\r\\n]"));
        parts << text.replace(breaks, QStringLiteral(" "));
    }
    return format == OutputFormat::Json
               ? QLatin1Char('{') + parts.join(QLatin1Char(',')) + QLatin1Char('}')
               : parts.join(QLatin1Char('\t'));
}

void CRecord::Print() const
{
    Out() << Line(g_format == OutputFormat::Text ? OutputFormat::Tsv : g_format) << '\n';
    Out().flush();
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
    return QStringLiteral("%1:%2")
        .arg((key >> 8) & 0xFFFF, 4, 16, QLatin1Char('0'))
        .arg(key & 0xFF, 2, 16, QLatin1Char('0'))
        .toUpper();
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

QString AbortField(uint32_t code)
{
    return QStringLiteral("0x%1 %2").arg(code, 8, 16, QLatin1Char('0')).arg(AbortCodeText(code));
}

CProgress::CProgress(const QString& what, int total, bool rowsOnStdout)
    : m_what(what), m_total(total),
      m_enabled(!g_err && isatty(STDERR_FILENO) && (!rowsOnStdout || !isatty(STDOUT_FILENO)))
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
