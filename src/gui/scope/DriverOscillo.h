#pragma once

#include "comm/MessageLayer.h"
#include "scope/ScopeCapture.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class CCurveGraph;
class CScopeItemLists;
class CSysData;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QToolButton;

// The oscilloscope page: the recorder's settings, the four channels with their objects, scales,
// offsets and units, the capture buttons, the plot with its cursors and the cursor read-out.
// The recorder's exchange with the drive is the scope core's; this window shows what it reports
// and hands the operator's commands to it.
class CDriverOscillo : public QWidget, public CMessageReceiver
{
    Q_OBJECT

public:
    static constexpr int kChannels = 4;

    CDriverOscillo(CSysData& sys, QWidget* parent = nullptr);
    ~CDriverOscillo() override;

    HWND hwnd() const { return m_handle.hwnd(); }
    CCurveGraph* graph() const { return m_graph; }
    CScopeCapture& capture() { return *m_capture; }
    CScopeItemLists& items() { return *m_items; }
    QString title() const;

    void OnMessage(unsigned message, uint32_t wParam, uint32_t lParam) override;
    // WM_PAGE_CONTROL (0 called up, 1 closing, 2 connection back, 3 project save, 4 restore).
    void SendPageControl(int action);
    // Whether the window reads the recorder's settings again when the link comes back; the
    // project keeps it as the window's active flag.
    bool refreshOnActivate() const { return m_refreshOnActivate; }

    // Action 3: the project store writes the window's placement and refresh flag.
    std::function<void(const CDriverOscillo& view)> saveHook;

    // The cursor read-out of the channel chosen in "通道号" (texts of the six read-out edits and
    // the frequency of the difference row); public for the tests and the benchmark.
    void UpdateReadout();
    // Writes the page as a picture: ".bmp" (the drive tools' bitmap) or ".png", first beside the
    // file and then renamed into place, so that a failed write never leaves half a picture.
    bool SavePicture(const QString& path);
    // Loads a TXT capture file into the form and the plot; writes nothing to the drive.
    bool Import(const QString& path);
    // Writes the capture on screen: ".csv", ".txt", ".bmp" or ".png" by the extension.
    void ExportTo(const QString& chosen);

protected:
    void changeEvent(QEvent* event) override;

private:
    struct Channel
    {
        QCheckBox* enabled = nullptr;
        QComboBox* object = nullptr;
        QPushButton* pick = nullptr;
        QLineEdit* scaleText = nullptr;
        QToolButton* scaleUp = nullptr;
        QToolButton* scaleDown = nullptr;
        QLineEdit* offset = nullptr;
        QToolButton* offsetUp = nullptr;
        QToolButton* offsetDown = nullptr;
        QComboBox* unit = nullptr;
        QCheckBox* autoScale = nullptr;
        double scale = 0;
        uint32_t key = 0; // the object shown on the channel
    };

    void BuildForm();
    QWidget* BuildRecorderBox();
    QWidget* BuildChannelBox();
    QWidget* BuildCursorBox();
    QWidget* BuildCommandBox();
    void Retranslate();
    void ConnectChannel(int n);

    void StepScale(int n, bool up);
    void StepOffset(int n, bool up);
    void OffsetEntered(int n);
    void UnitChosen(int n);
    void ShowScalesFromGraph();
    void SanitiseOffsets(bool atCaptureStart);
    void CursorModeChosen(int mode);
    void CursorMoved(int cursor, int position);
    void PickObject(int target);
    void Export();
    ScopeSettings FileSettings() const;
    void ObjectPicked(uint32_t key);

    // The capture: the operator's commands and what the scope core reports.
    void StartPressed();
    void RereadPressed();
    void HandSettingsToGraph();
    void ShowIdle();
    void ValueApplied(uint32_t key, uint32_t value);
    void ShowChannel(int channel);
    void ChannelClicked(int n);
    void ChannelObjectChosen(int n);
    void TriggerChosen(int index);
    void LevelEntered();
    void RecordReady(const ScopeRecord& record);
    void CaptureEnded(CScopeCapture::Outcome outcome, uint32_t detail);
    void Progress(CScopeCapture::Progress kind, int dots);
    void FillChannelSelector(int n);
    void FillTriggerSelector();

    // A raw value in the unit chosen on a unit selector (DEC, HEX or a unit formula).
    QString FormatInUnit(QComboBox* unit, uint32_t key, uint32_t raw, bool allowUnsigned);
    double UnitCoefficient(int n);
    void FillUnits(QComboBox* unit, uint32_t key);

    CSysData& m_sys;
    CWindowHandle m_handle;
    std::unique_ptr<CScopeItemLists> m_items;
    std::unique_ptr<CScopeCapture> m_capture;
    bool m_refreshOnActivate = true;
    CCurveGraph* m_graph = nullptr;
    std::array<QSlider*, 2> m_cursorSlider{};
    QLineEdit* m_period = nullptr;
    QLineEdit* m_periodText = nullptr;
    QLineEdit* m_pointerOffset = nullptr;
    QLineEdit* m_count = nullptr;
    QComboBox* m_trigger = nullptr;
    QPushButton* m_pickTrigger = nullptr;
    QToolButton* m_edge = nullptr;
    QLineEdit* m_level = nullptr;
    QComboBox* m_levelUnit = nullptr;
    std::array<Channel, kChannels> m_channels;
    QPushButton* m_start = nullptr;
    QPushButton* m_reread = nullptr;
    QCheckBox* m_continuous = nullptr;
    QCheckBox* m_showPrevious = nullptr;
    QLineEdit* m_status = nullptr;
    QPushButton* m_import = nullptr;
    QPushButton* m_export = nullptr;
    std::array<QRadioButton*, 3> m_cursorMode{};
    QComboBox* m_readChannel = nullptr;
    QLineEdit* m_timeHead = nullptr;
    QLineEdit* m_valueHead = nullptr;
    std::array<QLineEdit*, 6> m_readout{}; // time 1, value 1, time 2, value 2, dt, dv
    QLineEdit* m_frequency = nullptr;
    std::vector<QLabel*> m_labels;
    int m_pickerTarget = 0;
    ScopeRecord m_shownRecord; // the capture or the file on screen
};
