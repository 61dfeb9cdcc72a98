#pragma once

#include <QObject>

// The initialise/save dialog against the virtual drive, and the language dialog's rules.
class CDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void initSaveWithoutConnectionSendsNothing();
    void initSaveHoldsTheLinkWhileOpen();
    void storeDisablesButtonsUntilTheDriveIsIdle();
    void initialiseIsAcknowledged();
    void languageDialog_data();
    void languageDialog();
};
