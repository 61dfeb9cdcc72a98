#pragma once

#include "rterror/RealtimeErrorPage.h"

#include <QVector>
#include <QWidget>

#include <memory>

class CSysData;
class QCheckBox;
class QLabel;

// The real-time error page: the drive's 32 error bits in two groups of 16 rows, each row a mask
// check box captioned with the bit's hexadecimal mask, a lamp and the error's name. The core's
// CRealtimeErrorPage reads, polls and writes; the window only shows what it holds.
class CRealtimeError : public QWidget
{
    Q_OBJECT

public:
    explicit CRealtimeError(CSysData& sys, QWidget* parent = nullptr);
    ~CRealtimeError() override;

    CRealtimeErrorPage& page() { return *m_page; }
    QCheckBox* check(int bit) const { return m_checks.value(bit); }
    // Whether the lamp of bit shows a raised error.
    bool lampLit(int bit) const;

private:
    void Changed(uint32_t key);
    void ShowLamps(int firstBit, uint32_t word);
    void ShowChecks(int firstBit, uint32_t word);

    std::unique_ptr<CRealtimeErrorPage> m_page;
    QVector<QCheckBox*> m_checks;
    QVector<QLabel*> m_lamps;
    QVector<bool> m_lit;
};
