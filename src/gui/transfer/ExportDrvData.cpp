#include "ExportDrvData.h"

#include "app/SysData.h"
#include "base/Report.h"
#include "transfer/TransferRuns.h"

#include <QFileDialog>
#include <QLabel>
#include <QPushButton>

namespace {
using Field = CTransferRowModel::Field;
} // namespace

CExportDrvData::CExportDrvData(CSysData& sys, QWidget* parent)
    : CTransferView(
          sys,
          {{Field::Number, QString(), 45, 50},
           {Field::Descriptor, QStringLiteral("index"), 85, 105},
           {Field::Value, QStringLiteral("value"), 95, 110},
           {Field::Result, QStringLiteral("result"), 60, 75},
           {Field::Name, QStringLiteral("name"), 250, 300}},
          [this] { return m_run ? &m_run->rows() : nullptr; }, parent),
      m_run(new CExportRun(sys.link, sys, sys.dictionary, this))
{
    setObjectName(QStringLiteral("CExportDrvData"));
    m_load = AddButton(tr("导入数据"), "load");
    m_read = AddButton(tr("读数据"), "read");
    m_save = AddButton(tr("保存结果"), "save");
    m_cancel = AddButton(tr("取消"), "cancel");
    m_cancel->setEnabled(false);
    ShowRows();
    m_loadStatus = AddStatusLine("loadStatus");
    m_runStatus = AddStatusLine("runStatus");
    m_saveStatus = AddStatusLine("saveStatus");

    connect(m_load, &QPushButton::clicked, this, &CExportDrvData::ChooseObjectList);
    connect(m_read, &QPushButton::clicked, this, &CExportDrvData::StartRun);
    connect(m_save, &QPushButton::clicked, this, &CExportDrvData::ChooseResultFile);
    connect(m_cancel, &QPushButton::clicked, this, &CExportDrvData::CancelRun);
    // Status and buttons follow the run from its start: a list without rows ends within Start.
    connect(m_run, &CTransferRun::started, this, [this] {
        m_model->RowsReset();
        m_runStatus->setText(QStringLiteral("Start to read data..."));
        SetRunning(true);
    });
    connect(m_run, &CTransferRun::rowDone, m_model,
            [this](const CRowResult& result) { m_model->RowChanged(result.row); });
    connect(m_run, &CTransferRun::finished, this, &CExportDrvData::RunFinished);
}

CExportDrvData::~CExportDrvData()
{
    Leave(false);
}

bool CExportDrvData::running() const
{
    return m_run && m_run->running();
}

const QVector<CTransferRow>& CExportDrvData::rows() const
{
    static const QVector<CTransferRow> none;
    return m_run ? m_run->rows() : none;
}

void CExportDrvData::ChooseObjectList()
{
    // The dialog starts at the shipped list the first time, where the operator left it later.
    static bool firstTime = true;
    const QString start = firstTime ? DefaultListPath() : QString();
    firstTime = false;
    const QString path = QFileDialog::getOpenFileName(this, tr("Open export object list file"),
                                                      start, QStringLiteral("Files(*.cdo)"));
    if (!path.isEmpty())
        LoadObjectList(path);
}

bool CExportDrvData::LoadObjectList(const QString& path)
{
    if (running())
        return false;
    m_loadStatus->setText(QStringLiteral("Open export object list..."));
    m_load->setEnabled(false);
    QVector<uint32_t> descriptors;
    QString error;
    const bool read = ReadObjectList(path, descriptors, error);
    // The old rows go whatever the file holds.
    m_run->SetRows(ExportRows(descriptors, m_sys.dictionary));
    m_model->RowsReset();
    if (!read)
        ReportMessage(error);
    m_loadStatus->setText(QStringLiteral("Export object list processed."));
    m_load->setEnabled(true);
    return read;
}

void CExportDrvData::StartRun()
{
    m_cancelled = false;
    StartJob([this](QString& refusal) { return m_run->Start(refusal); });
}

void CExportDrvData::CancelRun()
{
    if (!running())
        return;
    m_cancelled = true;
    m_cancel->setEnabled(false);
    m_run->Cancel();
}

void CExportDrvData::RunFinished(const CTransferCounts& counts)
{
    SetRunning(false);
    QString summary = ExportSummaryText(counts);
    if (m_cancelled)
        summary = tr("%1（已取消）").arg(summary);
    else if (m_run->linkFailed())
        summary = tr("%1（与驱动器的连接中断）").arg(summary);
    m_runStatus->setText(summary);
    JobEnded(m_cancelled || m_run->linkFailed());
}

void CExportDrvData::SetRunning(bool running)
{
    m_read->setEnabled(!running);
    m_save->setEnabled(!running);
    m_load->setEnabled(!running);
    m_cancel->setEnabled(running);
}

void CExportDrvData::ChooseResultFile()
{
    QString filter;
    const QString chosen = QFileDialog::getSaveFileName(
        this, tr("Open save file"), QDir(m_sys.userDir).filePath(QStringLiteral("name.cdi")),
        QStringLiteral("Files(*.cdi);;Files(*.txt)"), &filter);
    if (chosen.isEmpty())
        return;
    SaveResult(ConfigurationSavePath(chosen, filter.contains(QLatin1String("cdi"))
                                                 ? QStringLiteral("cdi")
                                                 : QStringLiteral("txt")));
}

bool CExportDrvData::SaveResult(const QString& path)
{
    m_save->setEnabled(false);
    m_saveStatus->setText(QStringLiteral("Start to save data..."));
    QString error;
    const bool saved = WriteConfiguration(path, rows(), error);
    m_save->setEnabled(!running());
    if (!saved) {
        ReportMessage(error);
        return false;
    }
    m_saveStatus->setText(QStringLiteral("save finished."));
    return true;
}

void CExportDrvData::StopForClose()
{
    // A run that goes is dropped with its hold on the link, so that the pages told to read again
    // can.
    if (running()) {
        delete m_run;
        m_run = nullptr;
        m_model->RowsReset();
    }
}
