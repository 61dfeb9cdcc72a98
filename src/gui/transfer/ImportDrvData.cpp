#include "ImportDrvData.h"

#include "app/SysData.h"
#include "base/Report.h"
#include "transfer/TransferRuns.h"

#include <QDateTime>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace {
using Field = CTransferRowModel::Field;
} // namespace

CImportDrvData::CImportDrvData(CSysData& sys, QWidget* parent)
    : CTransferView(
          sys,
          {{Field::Number, QString(), 45, 50},
           {Field::Descriptor, QStringLiteral("index"), 90, 110},
           {Field::LoadValue, QStringLiteral("load value"), 100, 120},
           {Field::Value, QStringLiteral("read value"), 100, 120},
           {Field::Result, QStringLiteral("result"), 90, 100},
           {Field::Name, QStringLiteral("name"), 250, 300}},
          [this] { return m_run ? &m_run->rows() : nullptr; }, parent),
      m_run(new CImportRun(sys.link, sys, sys.dictionary, this)),
      m_store(new CStoreRun(sys.link, sys, this)), m_restart(new CRestartRun(sys.link, sys, this))
{
    setObjectName(QStringLiteral("CImportDrvData"));
    m_load = AddButton(tr("导入数据"), "load");
    m_write = AddButton(tr("写数据"), "write");
    m_storeButton = AddButton(tr("保存参数"), "store");
    m_restartButton = AddButton(tr("驱动器重启"), "restart");
    m_cancel = AddButton(tr("取消"), "cancel");
    // Kept from the window's first design: the log is saved by SaveLog, the button never shows.
    m_saveLog = AddButton(tr("保存结果"), "saveLog");
    m_saveLog->setEnabled(false);
    m_saveLog->hide();
    ShowRows();
    m_loadStatus = AddStatusLine("loadStatus");
    m_runStatus = AddStatusLine("runStatus");
    m_storeStatus = AddStatusLine("storeStatus");

    connect(m_load, &QPushButton::clicked, this, &CImportDrvData::ChooseConfiguration);
    connect(m_write, &QPushButton::clicked, this, &CImportDrvData::StartRun);
    connect(m_storeButton, &QPushButton::clicked, this, &CImportDrvData::StartStore);
    connect(m_restartButton, &QPushButton::clicked, this, &CImportDrvData::Restart);
    connect(m_cancel, &QPushButton::clicked, this, &CImportDrvData::CancelRun);
    connect(m_saveLog, &QPushButton::clicked, this, &CImportDrvData::ChooseLogFile);
    // Status and buttons follow the run from its start: a file without rows ends within Start.
    connect(m_run, &CTransferRun::started, this, [this] {
        m_model->RowsReset();
        m_runStatus->setText(QStringLiteral("Start to write data..."));
        m_runStatus->setToolTip(QString());
        UpdateButtons();
    });
    connect(m_run, &CTransferRun::rowDone, this, [this](const CRowResult& result) {
        // Alarm too: the drive took the write, it only holds another value than the file's.
        if (result.outcome == TransferOutcome::True || result.outcome == TransferOutcome::Alarm)
            m_unstoredWrites = true;
        m_model->RowChanged(result.row);
    });
    // The steps a PDO's mapping needs around its rows (disable it, count 0) are writes too; their
    // lines stay in the status tooltip, since the log keeps the file's rows only.
    connect(
        m_run, &CImportRun::stepDone, this, [this](const QString& line, TransferOutcome outcome) {
            if (outcome == TransferOutcome::True)
                m_unstoredWrites = true;
            const QString before = m_runStatus->toolTip();
            m_runStatus->setToolTip(before.isEmpty() ? line : before + QLatin1Char('\n') + line);
        });
    connect(m_run, &CTransferRun::finished, this, &CImportDrvData::RunFinished);
    connect(m_store, &CStoreRun::stepDone, this,
            [this](int, uint32_t, TransferOutcome outcome, const QString& reason) {
                if (outcome == TransferOutcome::Fail)
                    m_storeStatus->setToolTip(reason);
            });
    connect(m_store, &CStoreRun::finished, this, &CImportDrvData::StoreFinished);
    connect(m_restart, &CRestartRun::finished, this, [this](bool sent, const QString& reason) {
        if (sent)
            m_unstoredWrites = false;
        else
            ReportMessage(reason);
        UpdateButtons();
        JobEnded(false);
    });
    UpdateButtons();
}

CImportDrvData::~CImportDrvData()
{
    Leave(false);
}

bool CImportDrvData::running() const
{
    return m_run && m_run->running();
}

bool CImportDrvData::storing() const
{
    return m_store && m_store->running();
}

bool CImportDrvData::restarting() const
{
    return m_restart && m_restart->running();
}

const QVector<CTransferRow>& CImportDrvData::rows() const
{
    static const QVector<CTransferRow> none;
    return m_run ? m_run->rows() : none;
}

void CImportDrvData::SetRestartSettleMs(int ms)
{
    m_restart->SetSettleMs(ms);
}

void CImportDrvData::UpdateButtons()
{
    const bool busy = running() || storing();
    m_load->setEnabled(!busy);
    m_write->setEnabled(!busy);
    m_storeButton->setEnabled(!busy);
    m_cancel->setEnabled(running());
}

void CImportDrvData::ChooseConfiguration()
{
    // The dialog starts beside the shipped object list the first time, where the operator left
    // it later.
    static bool firstTime = true;
    const QString start = firstTime ? QFileInfo(DefaultListPath()).path() : QString();
    firstTime = false;
    const QString path = QFileDialog::getOpenFileName(this, tr("Open import data file"), start,
                                                      QStringLiteral("Files(*.cdi)"));
    if (!path.isEmpty())
        LoadConfiguration(path);
}

bool CImportDrvData::LoadConfiguration(const QString& path)
{
    if (running())
        return false;
    m_loadStatus->setText(QStringLiteral("Open import data file..."));
    m_load->setEnabled(false);
    QVector<CConfigEntry> entries;
    QString error;
    const bool read = ReadConfiguration(path, entries, error);
    m_run->SetRows(ImportRows(entries, m_sys.dictionary));
    m_model->RowsReset();
    if (read)
        m_rewritePrompted = false;
    else
        ReportMessage(error);
    m_loadStatus->setText(QStringLiteral("Import data finished."));
    UpdateButtons();
    return read;
}

void CImportDrvData::StartRun()
{
    m_cancelled = false;
    StartJob([this](QString& refusal) { return m_run->Start(refusal); });
}

void CImportDrvData::CancelRun()
{
    if (!running())
        return;
    m_cancelled = true;
    m_cancel->setEnabled(false);
    m_run->Cancel();
}

void CImportDrvData::RunFinished(const CTransferCounts& counts)
{
    QString summary = ImportSummaryText(counts);
    if (!m_cancelled && !m_rewritePrompted && !counts.allTrue()) {
        // Once per loaded file: later runs only update the status line.
        m_rewritePrompted = true;
        ReportMessage(summary + QStringLiteral("\n Please rewrite again!\n"));
    }
    if (m_cancelled)
        summary = tr("%1（已取消）").arg(summary);
    else if (m_run->linkFailed())
        summary = tr("%1（与驱动器的连接中断）").arg(summary);
    m_runStatus->setText(summary);
    UpdateButtons();
    JobEnded(m_cancelled || m_run->linkFailed());
    if (m_leaving) {
        if (m_unstoredWrites)
            StartStore();
        else
            CloseWindow();
    }
}

void CImportDrvData::StartStore()
{
    m_storeStatus->setToolTip(QString());
    if (!StartJob([this](QString& refusal) { return m_store->Start(refusal); })) {
        if (m_leaving)
            CloseWindow();
        return;
    }
    m_storeStatus->setText(QStringLiteral("Save data in the driver..."));
    UpdateButtons();
}

void CImportDrvData::StoreFinished(bool stored)
{
    if (stored)
        m_unstoredWrites = false;
    m_storeStatus->setText(stored ? QStringLiteral("Finished.")
                                  : tr("Finished. 参数未保存：%1").arg(m_storeStatus->toolTip()));
    UpdateButtons();
    JobEnded(m_store->linkFailed());
    if (m_leaving)
        CloseWindow();
}

void CImportDrvData::Restart()
{
    StartJob([this](QString& refusal) { return m_restart->Start(refusal); });
}

void CImportDrvData::ChooseLogFile()
{
    const QString chosen = QFileDialog::getSaveFileName(
        this, tr("write save file name without extend file name"),
        ImportLogDefaultName(m_sys.baseDir, QDateTime::currentDateTime()),
        QStringLiteral("Files(*.txt)"));
    if (!chosen.isEmpty())
        SaveLog(ImportLogSavePath(chosen));
}

bool CImportDrvData::SaveLog(const QString& path)
{
    m_storeStatus->setText(QStringLiteral("Start save data..."));
    QString error;
    if (!WriteImportLog(path, rows(), error)) {
        ReportMessage(error);
        return false;
    }
    m_storeStatus->setText(QStringLiteral("save finished."));
    return true;
}

bool CImportDrvData::MayClose()
{
    if (m_leaving || !m_unstoredWrites)
        return true;
    if (!m_leaveQuestion) {
        m_leaveQuestion = new QMessageBox(
            QMessageBox::Question, windowTitle(),
            tr("写入的数值尚未保存。未保存的数值在驱动器断电后丢失。\n离开前保存参数吗？"),
            QMessageBox::NoButton, this);
        m_leaveQuestion->setObjectName(QStringLiteral("leaveQuestion"));
        m_leaveQuestion->addButton(tr("保存参数"), QMessageBox::AcceptRole)
            ->setObjectName(QStringLiteral("storeAndLeave"));
        m_leaveQuestion->addButton(tr("不保存"), QMessageBox::DestructiveRole)
            ->setObjectName(QStringLiteral("leaveWithoutStore"));
        m_leaveQuestion->setDefaultButton(
            m_leaveQuestion->addButton(tr("取消"), QMessageBox::RejectRole));
        m_leaveQuestion->defaultButton()->setObjectName(QStringLiteral("stay"));
        connect(m_leaveQuestion, &QMessageBox::buttonClicked, this,
                [this](QAbstractButton* b) { LeaveAnswered(m_leaveQuestion->buttonRole(b)); });
    }
    // Asked without a nested event loop: the drive's answers keep coming while it is open.
    m_leaveQuestion->open();
    return false;
}

void CImportDrvData::LeaveAnswered(int role)
{
    if (role == QMessageBox::RejectRole)
        return;
    m_leaving = true;
    if (role == QMessageBox::DestructiveRole) {
        CloseWindow();
    } else if (running()) {
        // The store follows once the run has stopped.
        CancelRun();
    } else if (!storing()) {
        StartStore();
    }
}

void CImportDrvData::StopForClose()
{
    // Jobs that go are dropped with their hold on the link, so that the pages told to read again
    // can; the drive finishes a store on its own.
    if (running()) {
        delete m_run;
        m_run = nullptr;
        m_model->RowsReset();
    }
    if (storing()) {
        delete m_store;
        m_store = nullptr;
    }
    if (restarting()) {
        delete m_restart;
        m_restart = nullptr;
    }
    if (m_leaveQuestion)
        m_leaveQuestion->hide();
}
