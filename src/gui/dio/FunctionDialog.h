#pragma once

#include "dio/IoBits.h"

#include <QDialog>

#include <cstdint>
#include <functional>

class QTreeWidget;

// The check list of input or output functions behind a channel's "..." button. Row r stands for
// mask bit r. It shows the channel's mask (every check cleared while no drive is connected) and
// hands a chosen mask back; a mix of the first fifteen functions and the later ones is refused.
class CFunctionDialog : public QDialog
{
    Q_OBJECT

public:
    CFunctionDialog(const QVector<Dio::CFunctionNames::Row>& rows, QWidget* parent = nullptr);

    // Shows the dialog for a channel: the channel, its mask, and whether a drive is connected.
    void Open(int channel, uint32_t mask, bool connected);
    uint32_t CheckedMask() const;
    int channel() const { return m_channel; }

    // "OK" with a mask that may be written; the dialog hides afterwards.
    std::function<void(int channel, uint32_t mask)> onChosen;

    void Accept(); // the "OK" button

private:
    QTreeWidget* m_list;
    int m_channel = -1;
};
