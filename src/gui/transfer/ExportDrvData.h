#pragma once

#include "TransferView.h"

class CExportRun;
class QLabel;
class QPushButton;

// Reads a drive configuration into a file: the operator loads an object list (.cdo), reads every
// listed object from the drive, one after the other, sees value and outcome per object and saves
// the result as a configuration file (.cdi or .txt) that the import view writes back.
class CExportDrvData : public CTransferView
{
    Q_OBJECT

public:
    explicit CExportDrvData(CSysData& sys, QWidget* parent = nullptr);
    ~CExportDrvData() override;

    // The buttons' work, after their file dialogs.
    bool LoadObjectList(const QString& path);
    void StartRun();
    void CancelRun();
    bool SaveResult(const QString& path);

    bool running() const;
    const QVector<CTransferRow>& rows() const;

private:
    void StopForClose() override;
    void ChooseObjectList();
    void ChooseResultFile();
    void RunFinished(const CTransferCounts& counts);
    void SetRunning(bool running);

    CExportRun* m_run;
    bool m_cancelled = false;
    QPushButton* m_load;
    QPushButton* m_read;
    QPushButton* m_save;
    QPushButton* m_cancel;
    QLabel* m_loadStatus;
    QLabel* m_runStatus;
    QLabel* m_saveStatus;
};
