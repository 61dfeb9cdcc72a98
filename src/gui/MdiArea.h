#pragma once

#include <QMdiArea>
#include <QPixmap>

// The area behind the page windows, with the program's picture stretched over all of it.
class CMdiArea : public QMdiArea
{
    Q_OBJECT

public:
    explicit CMdiArea(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_picture;
};
