#pragma once

#include "TransferView.h"

class CImportRun;
class CRestartRun;
class CStoreRun;
class QLabel;
class QMessageBox;
class QPushButton;

// Writes a drive configuration back: the operator loads a configuration file (.cdi), writes every
// object of it into the drive, sees what the drive reports back and whether it matches, and can
// make the drive store its parameters and restart. Values written but not stored are lost when
// the drive is switched off, so leaving the view after writes without a store asks first.
class CImportDrvData : public CTransferView
{
    Q_OBJECT

public:
    explicit CImportDrvData(CSysData& sys, QWidget* parent = nullptr);
    ~CImportDrvData() override;

    // The buttons' work, after their file dialogs.
    bool LoadConfiguration(const QString& path);
    void StartRun();
    void CancelRun();
    void StartStore();
    void Restart();
    bool SaveLog(const QString& path);

    bool running() const;
    bool storing() const;
    bool restarting() const;
    // Written values the drive has not stored yet.
    bool unstoredWrites() const { return m_unstoredWrites; }
    const QVector<CTransferRow>& rows() const;
    // How long a restart gives the drive to come back (tests shorten it).
    void SetRestartSettleMs(int ms);

private:
    void StopForClose() override;
    bool MayClose() override;
    void ChooseConfiguration();
    void ChooseLogFile();
    void RunFinished(const CTransferCounts& counts);
    void StoreFinished(bool stored);
    void LeaveAnswered(int role);
    void UpdateButtons();

    CImportRun* m_run;
    CStoreRun* m_store;
    CRestartRun* m_restart;
    bool m_rewritePrompted = false;
    bool m_cancelled = false;
    bool m_unstoredWrites = false;
    // The operator chose to leave (after the store, when asked for one).
    bool m_leaving = false;
    QMessageBox* m_leaveQuestion = nullptr;
    QPushButton* m_load;
    QPushButton* m_write;
    QPushButton* m_storeButton;
    QPushButton* m_restartButton;
    QPushButton* m_cancel;
    QPushButton* m_saveLog;
    QLabel* m_loadStatus;
    QLabel* m_runStatus;
    QLabel* m_storeStatus;
};
