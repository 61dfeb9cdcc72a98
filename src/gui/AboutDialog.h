#pragma once

#include <QDialog>

// The About window: the program's icon and its version line.
class CAboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CAboutDialog(QWidget* parent = nullptr);
};
