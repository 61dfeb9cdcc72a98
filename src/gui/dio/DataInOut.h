#pragma once

#include "dio/DataInOutPage.h"

#include <QWidget>

#include <array>
#include <memory>

class CFunctionDialog;
class CSysData;
class QLabel;
class QLineEdit;
class QToolButton;

// The I/O page: per input DIN1-8 and output DOUT1-5 the function text with its tip, a "..."
// button to the function dialog, the simulation and polarity switches and the state lamps. The
// logic is CDataInOutPage; this view only shows it and forwards clicks.
class CDataInOut : public QWidget
{
    Q_OBJECT

public:
    explicit CDataInOut(CSysData& sys, QWidget* parent = nullptr);
    ~CDataInOut() override;

    CDataInOutPage& page() { return *m_page; }
    CFunctionDialog* functionDialog(bool output) const { return m_dialogs[output ? 1 : 0]; }
    // Opens the function dialog of a channel (0-7 DIN1-8, 8-12 DOUT1-5).
    void OpenFunctionDialog(int channel);

private:
    struct Row
    {
        QLineEdit* function = nullptr;
        QToolButton* more = nullptr;
        QToolButton* simulation = nullptr;
        QToolButton* polarity = nullptr;
        QLabel* lamps[2] = {nullptr, nullptr};
    };
    void BuildRows();
    void ShowSwitches();
    void ShowLamps();
    void ShowFunction(int channel);

    CSysData& m_sys;
    std::unique_ptr<CDataInOutPage> m_page;
    std::array<Row, CDataInOutPage::kChannels> m_rows;
    CFunctionDialog* m_dialogs[2] = {nullptr, nullptr};
};
