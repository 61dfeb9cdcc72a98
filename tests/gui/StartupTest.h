#pragma once

#include <QObject>

// Start-up: the language chosen from the system and sys.ini, the English texts, the list
// columns, the command line.
class CStartupTest : public QObject
{
    Q_OBJECT

private slots:
    void languageAtStartUp_data();
    void languageAtStartUp();
    void missingEnglishTextsEndTheProgram();
    void languageDialogBeforeTheMainWindow_data();
    void languageDialogBeforeTheMainWindow();
    void commandLine_data();
    void commandLine();
};
