#include "ScopeFiles.h"

#include "base/TextNumbers.h"

#include <QFileInfo>
#include <QHash>
#include <QSaveFile>

#include <cmath>

namespace ScopeFiles {

namespace {

const char* const kSection = "oscilloscope";

// The parallel walk over the four channels: at step i every channel that still has a sample
// contributes it.
template <class Visit> void Walk(const ScopeRecord& record, Visit visit)
{
    const size_t steps = record.longest();
    for (size_t i = 0; i < steps; ++i) {
        for (int channel = 1; channel <= kScopeChannels; ++channel) {
            const auto& samples = record.samples[size_t(channel - 1)];
            if (i < samples.size())
                visit(i, channel, samples[i]);
        }
        visit(i, 0, 0.0); // end of the step
    }
}

QString Number(double value)
{
    return QString::asprintf("%.0f", value);
}

bool Save(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace

QString ExportPath(const QString& chosen, Kind& kind)
{
    const QFileInfo info(chosen);
    const QString name = info.fileName();
    const int dot = int(name.lastIndexOf(QLatin1Char('.')));
    const QString extension = dot < 0 ? QString() : name.mid(dot + 1);
    kind = extension == QLatin1String("csv")   ? Kind::Csv
           : extension == QLatin1String("txt") ? Kind::Txt
           : extension == QLatin1String("bmp") ? Kind::Bmp
                                               : Kind::None;
    return chosen;
}

QByteArray CsvBytes(const ScopeRecord& record)
{
    QByteArray bytes;
    Walk(record, [&](size_t, int channel, double value) {
        if (channel == 0)
            bytes.append("\r\n");
        else
            bytes.append(Number(value).toLatin1()).append(',');
    });
    return bytes;
}

QByteArray TxtBytes(const ScopeSettings& settings, const ScopeRecord& record)
{
    QString text;
    const auto line = [&](const QString& key, const QString& value) {
        text += key + QLatin1Char('=') + value + QLatin1Char('\n');
    };
    text += QStringLiteral("[oscilloscope]\n");
    line(QStringLiteral("time"), QString::number(int32_t(settings.samplePeriod)));
    line(QStringLiteral("offset"), QString::number(settings.pointerOffset));
    line(QStringLiteral("number"), QString::number(int32_t(settings.sampleCount)));
    line(QStringLiteral("trigger item"), QString::number(settings.triggerItem));
    line(QStringLiteral("trigger item value"), QString::number(int32_t(settings.triggerKey)));
    line(QStringLiteral("trigger collect value"), settings.triggerLevelText);
    line(QStringLiteral("trigger collect unit"), QString::number(settings.triggerUnitIndex));
    line(QStringLiteral("continue"), QString::number(settings.continuous ? 1 : 0));
    for (int n = 1; n <= kScopeChannels; ++n) {
        const ScopeChannelSettings& channel = settings.channels[size_t(n - 1)];
        const QString ch = QStringLiteral("ch%1 ").arg(n);
        line(ch + QLatin1String("check"), QString::number(channel.enabled ? 1 : 0));
        if (!channel.enabled)
            continue;
        line(ch + QLatin1String("item"), QString::number(int32_t(channel.descriptor)));
        line(ch + QLatin1String("scale"), QString::asprintf("%f", channel.scale));
        line(ch + QLatin1String("offset"), QString::asprintf("%f", channel.offset));
        line(ch + QLatin1String("unit coef"), QString::asprintf("%f", channel.unitCoefficient));
        line(ch + QLatin1String("unit"), QString::number(channel.unitIndex));
        line(ch + QLatin1String("auto"), QString::number(channel.autoScale ? 1 : 0));
    }
    Walk(record, [&](size_t i, int channel, double value) {
        if (channel != 0)
            line(QStringLiteral("ch%1-%2").arg(channel).arg(i + 1), Number(value));
    });
    QByteArray bytes(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    if (QSysInfo::ByteOrder == QSysInfo::BigEndian) {
        for (int i = 0; i + 1 < bytes.size(); i += 2)
            std::swap(bytes[i], bytes[i + 1]);
    }
    return bytes;
}

bool ParseTxt(const QByteArray& bytes, ScopeSettings& settings, ScopeRecord& record)
{
    settings = ScopeSettings();
    record.clear();
    if (bytes.size() % 2 != 0)
        return false;
    QString text(bytes.size() / 2, Qt::Uninitialized);
    for (int i = 0; i < text.size(); ++i)
        text[i] = QChar(uint16_t(uint8_t(bytes[2 * i]) | (uint8_t(bytes[2 * i + 1]) << 8)));
    // Keys of section "oscilloscope", compared without case; the first one wins.
    QHash<QString, QString> keys;
    bool inSection = false;
    for (const QStringView raw : QStringView(text).split(QLatin1Char('\n'))) {
        const QStringView row = raw.trimmed();
        if (row.startsWith(QLatin1Char('['))) {
            const int close = int(row.indexOf(QLatin1Char(']')));
            inSection =
                close > 0 && row.mid(1, close - 1)
                                     .trimmed()
                                     .compare(QLatin1String(kSection), Qt::CaseInsensitive) == 0;
            continue;
        }
        const int equals = int(row.indexOf(QLatin1Char('=')));
        if (!inSection || equals <= 0)
            continue;
        const QString key = row.left(equals).trimmed().toString().toLower();
        if (!keys.contains(key))
            keys.insert(key, row.mid(equals + 1).trimmed().toString().left(63));
    }
    const auto get = [&](const QString& key) { return keys.value(key); };
    const auto number = [&](const QString& key) { return DecTextToInt(get(key)); };
    settings.samplePeriod = uint32_t(number(QStringLiteral("time")));
    settings.pointerOffset = number(QStringLiteral("offset"));
    settings.sampleCount = uint32_t(number(QStringLiteral("number")));
    settings.triggerItem = number(QStringLiteral("trigger item"));
    settings.triggerKey = uint32_t(number(QStringLiteral("trigger item value")));
    settings.triggerLevelText = get(QStringLiteral("trigger collect value"));
    settings.triggerUnitIndex = number(QStringLiteral("trigger collect unit"));
    settings.continuous = number(QStringLiteral("continue")) != 0;
    for (int n = 1; n <= kScopeChannels; ++n) {
        ScopeChannelSettings& channel = settings.channels[size_t(n - 1)];
        const QString ch = QStringLiteral("ch%1 ").arg(n);
        channel.enabled = number(ch + QLatin1String("check")) != 0;
        if (!channel.enabled)
            continue;
        channel.descriptor = uint32_t(number(ch + QLatin1String("item")));
        channel.scale = get(ch + QLatin1String("scale")).toDouble();
        channel.offset = get(ch + QLatin1String("offset")).toDouble();
        channel.unitCoefficient = get(ch + QLatin1String("unit coef")).toDouble();
        channel.unitIndex = number(ch + QLatin1String("unit"));
        channel.autoScale = number(ch + QLatin1String("auto")) != 0;
    }
    // As many samples as the settings say, a missing one read as 0; a count beyond what any
    // record can hold is not believed.
    const uint32_t count = std::min<uint32_t>(settings.sampleCount, 65536u);
    for (int n = 1; n <= kScopeChannels; ++n) {
        if (!settings.channels[size_t(n - 1)].enabled)
            continue;
        auto& samples = record.samples[size_t(n - 1)];
        samples.reserve(count);
        for (uint32_t i = 1; i <= count; ++i)
            samples.push_back(double(number(QStringLiteral("ch%1-%2").arg(n).arg(i))));
    }
    return true;
}

bool WriteCsv(const QString& path, const ScopeRecord& record, QString* error)
{
    return Save(path, CsvBytes(record), error);
}

bool WriteTxt(const QString& path, const ScopeSettings& settings, const ScopeRecord& record,
              QString* error)
{
    return Save(path, TxtBytes(settings, record), error);
}

bool ReadTxt(const QString& path, ScopeSettings& settings, ScopeRecord& record, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return ParseTxt(file.readAll(), settings, record);
}

} // namespace ScopeFiles
