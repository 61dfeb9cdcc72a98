#pragma once

// The files of whole-configuration transfer: object lists (.cdo), configurations (.cdi, .txt)
// and the import log, with the value texts both the export and the import side write. Every
// reader takes any bytes without harm; every writer replaces its file whole or not at all.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVector>

#include <cstdint>

class CSdoDatabase;

// How a row of a transfer ended. None: not run yet.
enum class TransferOutcome
{
    None,
    True,
    Alarm, // written, but the drive reports back another value
    Fail,  // refused, not answered, or not sent at all
};

// "", "True", "Alarm", "Fail": the texts the files and the lists show.
QString OutcomeText(TransferOutcome outcome);

// Object descriptor: key in bits 31..8, width in bits in 7..0. The key is always the upper 24
// bits without sign.
constexpr uint32_t DescriptorKey(uint32_t descriptor)
{
    return descriptor >> 8;
}
constexpr int DescriptorWidth(uint32_t descriptor)
{
    return int(descriptor & 0xFF);
}
constexpr uint32_t MakeDescriptor(uint32_t key, int bits)
{
    return (key << 8) | (uint32_t(bits) & 0xFF);
}
// "%08X"
QString DescriptorText(uint32_t descriptor);
// The dictionary name of the descriptor's object, or "? ? ? ?".
QString ObjectNameOf(const CSdoDatabase& dictionary, uint32_t descriptor);

// One row of an export or import list.
struct CTransferRow
{
    uint32_t descriptor = 0;
    QString descriptorText; // as the file had it (import) or "%08X" (export)
    QString name;           // dictionary name or "? ? ? ?"
    QString loadValue;      // import: the file's value text
    QString value;          // the value read (export) or read back (import), or the failure code
    TransferOutcome outcome = TransferOutcome::None;
    QString reason; // why a row is Alarm or Fail, in words (never written to the files)

    uint32_t key() const { return DescriptorKey(descriptor); }
    int width() const { return DescriptorWidth(descriptor); }
};

// The counts of a finished run.
struct CTransferCounts
{
    int total = 0;
    int alarms = 0;
    int errors = 0;
    bool allTrue() const { return alarms == 0 && errors == 0; }
};
CTransferCounts CountOutcomes(const QVector<CTransferRow>& rows);
// "Finish: Total:%d  Error:%d " and "Finish: Total:%d  Alarm:%d  Error:%d".
QString ExportSummaryText(const CTransferCounts& counts);
QString ImportSummaryText(const CTransferCounts& counts);

// --- Values ---------------------------------------------------------------------------------
// The text of a raw value as both files hold it: decimal by the dictionary type of the object
// (the page formatting, sign-extended for signed 8 and 16-bit types), or "0x%02x", "0x%04x",
// "0x%08x" by the descriptor's width for an object the dictionary lacks. False when neither
// gives a format (an unknown object of a width other than 8, 16 or 32).
bool FormatTransferValue(const CSdoDatabase& dictionary, uint32_t descriptor, uint32_t raw,
                         QString& text);
// A load value as the import writes it: hexadecimal when it holds a lower-case "x", else signed
// decimal up to the first other character. False for an empty text (nothing to write).
bool ParseLoadValue(const QString& text, uint32_t& raw);
// "0x%08x" (export) and "0x%x" (import) of an abort code.
QString ExportFailureText(uint32_t code);
QString ImportFailureText(uint32_t code);

// --- Object lists (.cdo) --------------------------------------------------------------------
// Pieces of at most 23 characters (a longer line goes on as the next piece), each read as
// hexadecimal text skipping every other character; a piece without any hexadecimal digit (a
// blank line) is no object.
constexpr int kObjectListPiece = 23;
QVector<uint32_t> ParseObjectList(const QByteArray& bytes);
// One "%08X" line per descriptor, CR LF.
QByteArray FormatObjectList(const QVector<uint32_t>& descriptors);
bool ReadObjectList(const QString& path, QVector<uint32_t>& descriptors, QString& error);
// Export rows of the list, names from the dictionary, nothing read yet.
QVector<CTransferRow> ExportRows(const QVector<uint32_t>& descriptors,
                                 const CSdoDatabase& dictionary);

// --- Configurations (.cdi, .txt) ------------------------------------------------------------
constexpr int kConfigurationPiece = 255;
// One line of a configuration that becomes an import row.
struct CConfigEntry
{
    QString descriptorText;
    uint32_t descriptor = 0;
    QString value;
};
// Lines as the import reads them: a line with a lower-case "i" after its first character (a
// failed export, "Fail") is skipped, and so is one whose first comma is missing or first; the
// value is the text between the first and the second comma. CR LF and LF alike.
QVector<CConfigEntry> ParseConfiguration(const QByteArray& bytes);
bool ReadConfiguration(const QString& path, QVector<CConfigEntry>& entries, QString& error);
QVector<CTransferRow> ImportRows(const QVector<CConfigEntry>& entries,
                                 const CSdoDatabase& dictionary);
// "descriptor,value,result" CR LF per row, as the export saves it.
QByteArray FormatConfiguration(const QVector<CTransferRow>& rows);
// "descriptor,load value,read value,result,name" CR LF per row (the import log).
QByteArray FormatImportLog(const QVector<CTransferRow>& rows);

// --- Saving ---------------------------------------------------------------------------------
// Writes the bytes beside the file and renames them into place: a save that fails leaves the
// previous file whole. False with the operator's message.
bool SaveWhole(const QString& path, const QByteArray& bytes, QString& error);
bool WriteConfiguration(const QString& path, const QVector<CTransferRow>& rows, QString& error);
bool WriteImportLog(const QString& path, const QVector<CTransferRow>& rows, QString& error);
// The path a configuration is saved to: the chosen name without its extension (a "." after the
// last "/"), then ".cdi" when the dialog's extension is exactly "cdi", else ".txt".
QString ConfigurationSavePath(const QString& chosen, const QString& dialogExtension);
// The import log's default name in folder: "%d-%02d-%02d %02d%02d%02d".
QString ImportLogDefaultName(const QString& folder, const QDateTime& when);
// The chosen log name without its extension, then ".txt".
QString ImportLogSavePath(const QString& chosen);
