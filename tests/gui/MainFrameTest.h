#pragma once

#include <QObject>

// The main window against the virtual drive: connecting, the state indicator, connection loss,
// reconnection and the page windows.
class CMainFrameTest : public QObject
{
    Q_OBJECT

private slots:
    void connectThroughSerialSettings();
    void stateIconFollowsTheDrive_data();
    void stateIconFollowsTheDrive();
    void silentDriveAtOpenIsReported();
    void reconnectReadsEveryOpenPage();
    void pageCommandRaisesAnOpenPage();
    void pageWindowSizes_data();
    void pageWindowSizes();
    void everyPageCommandIsInTheMenus();
    void portInUseIsMarked();
    void canSettingsShowTheLibraryVersion();
};
