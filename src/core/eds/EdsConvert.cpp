#include "EdsConvert.h"

#include "EdsDictionary.h"
#include "dictionary/DatabaseCheck.h"
#include "dictionary/DatabaseLayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <memory>
#include <vector>

namespace Eds {

CEdsConversion ConvertInto(const QString& edsPath, const QString& folder)
{
    CEdsConversion result;
    QFile file(edsPath);
    if (!file.open(QIODevice::ReadOnly)) {
        result.reason = file.errorString();
        return result;
    }
    const QByteArray source = file.readAll();
    const CEdsDevice device = Read(source);
    result.product = device.productName;
    result.notes = int(device.notes.size());
    result.errors = int(device.errors.size());
    if (!device.ok()) {
        result.line = device.errors.first().line;
        result.reason = device.errors.first().reason;
        return result;
    }
    const CEdsDictionary dictionary = BuildDictionary(device);
    result.objects = int(dictionary.database.size() / DatabaseLayout::kRecordSize);
    if (result.objects == 0) {
        result.reason = QStringLiteral("the file describes no object the program can carry");
        return result;
    }

    const QDir dir(folder);
    if (!QDir().mkpath(folder)) {
        result.reason = QStringLiteral("cannot make the folder %1").arg(folder);
        return result;
    }
    const QString database = dir.filePath(QStringLiteral("velmor.dat"));
    const std::pair<QString, QByteArray> outputs[] = {
        {database, dictionary.database},
        {DatabaseCheck::PathFor(database), DatabaseCheck::Build(dictionary.database)},
        {dir.filePath(QStringLiteral("velmor-defaults.tsv")), dictionary.defaults},
        {dir.filePath(QStringLiteral("device.eds")), source}};
    // A development folder links the shipped files; the save below would follow such a link and
    // overwrite the file it points to.
    for (const auto& [path, bytes] : outputs) {
        if (QFileInfo(path).isSymLink())
            QFile::remove(path);
    }
    std::vector<std::unique_ptr<QSaveFile>> files;
    for (const auto& [path, bytes] : outputs) {
        files.push_back(std::make_unique<QSaveFile>(path));
        QSaveFile& out = *files.back();
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) {
            result.reason = QStringLiteral("%1: %2").arg(path, out.errorString());
            for (const auto& prepared : files)
                prepared->cancelWriting();
            return result;
        }
    }
    for (const auto& out : files) {
        if (!out->commit()) {
            result.reason = QStringLiteral("%1: %2").arg(out->fileName(), out->errorString());
            return result;
        }
    }
    result.ok = true;
    return result;
}

} // namespace Eds
