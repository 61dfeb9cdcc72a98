#include "DriverOscillo.h"

#include "CurveGraph.h"
#include "PageViews.h"
#include "ScopePicture.h"
#include "app/SysData.h"
#include "base/TextNumbers.h"
#include "comm/DriveObjects.h"
#include "plot/PlotMath.h"
#include "scope/ScopeFiles.h"
#include "scope/ScopeFormat.h"
#include "scope/ScopeItems.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace {

// A column head is never cut: its edit grows with the unit it names.
void SetHead(QLineEdit* head, const QString& text)
{
    head->setText(text);
    const QFontMetrics metrics = head->fontMetrics();
    head->setFixedWidth(std::max(metrics.horizontalAdvance(text),
                                 metrics.horizontalAdvance(QStringLiteral("-00000.00"))) +
                        12);
}

// The trigger edge picture: a red triangle pointing up (rising) or down (falling).
QIcon EdgeIcon(bool rising)
{
    QPixmap picture(16, 16);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(220, 0, 0));
    const QPolygonF up{{8, 2}, {15, 14}, {1, 14}};
    const QPolygonF down{{8, 14}, {15, 2}, {1, 2}};
    p.drawPolygon(rising ? up : down);
    return QIcon(picture);
}

QLineEdit* ReadOnlyEdit(const QString& name, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setReadOnly(true);
    return edit;
}

QToolButton* SpinButton(const QString& name, Qt::ArrowType arrow, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFixedWidth(button->fontMetrics().height() + 2);
    return button;
}

} // namespace

CDriverOscillo::CDriverOscillo(CSysData& sys, QWidget* parent)
    : QWidget(parent), m_sys(sys), m_handle(this),
      m_items(std::make_unique<CScopeItemLists>(sys.dictionary, &sys.unitTable))
{
    setObjectName(QStringLiteral("oscilloscope"));
    BuildForm();
    Retranslate();
    m_items->LoadConfig(m_sys.sysDir + QStringLiteral("Oscilloscope.ini"));
    FillTriggerSelector();
    for (int n = 0; n < kChannels; ++n) {
        FillChannelSelector(n);
        m_channels[size_t(n)].autoScale->setChecked(true);
    }
    m_status->setText(tr("处理完毕"));
    CursorModeChosen(0);

    m_capture = std::make_unique<CScopeCapture>(m_sys, m_items.get());
    CScopeCapture* capture = m_capture.get();
    connect(capture, &CScopeCapture::valueApplied, this, &CDriverOscillo::ValueApplied);
    connect(capture, &CScopeCapture::channelChanged, this, &CDriverOscillo::ShowChannel);
    connect(capture, &CScopeCapture::settingsRead, this, [this] { SanitiseOffsets(false); });
    connect(capture, &CScopeCapture::progress, this, &CDriverOscillo::Progress);
    connect(capture, &CScopeCapture::recordReady, this, &CDriverOscillo::RecordReady);
    connect(capture, &CScopeCapture::captureEnded, this, &CDriverOscillo::CaptureEnded);
    m_capture->ReadSettings(1);
}

CDriverOscillo::~CDriverOscillo() = default;

QString CDriverOscillo::title() const
{
    return tr("示波器");
}

void CDriverOscillo::BuildForm()
{
    // The plot's rectangles are given in pixels of the screen for its density; where Qt scales
    // the screen, the widget is laid out in device-independent pixels.
    const qreal ratio = devicePixelRatioF() > 0 ? devicePixelRatioF() : 1.0;
    const int dpi = qRound((logicalDpiX() > 0 ? logicalDpiX() : 96) * ratio);
    const Plot::PageRects rects = Plot::RectsForScreen(dpi, m_sys.programLanguage);
    // The graph is its own widget: the page's area and mouse rectangles moved to its corner.
    const QPoint corner = rects.area.topLeft();
    auto scaled = [ratio, corner](const QRect& r) {
        const QRect moved = r.translated(-corner);
        return QRect(qRound(moved.left() / ratio), qRound(moved.top() / ratio),
                     qRound(moved.width() / ratio), qRound(moved.height() / ratio));
    };
    m_graph = new CCurveGraph(scaled(rects.area), scaled(rects.mouse), this);
    connect(m_graph, &CCurveGraph::extentsChanged, this, [this] {
        ShowScalesFromGraph();
        UpdateReadout();
    });

    const int sliderMax = std::max(1, m_graph->geometry().width - 4);
    const char* sliderNames[] = {"cursor1Slider", "cursor2Slider"};
    for (int i = 0; i < 2; ++i) {
        auto* slider = new QSlider(Qt::Horizontal, this);
        slider->setObjectName(QLatin1String(sliderNames[i]));
        slider->setRange(1, sliderMax);
        slider->setPageStep(1);
        slider->setValue(m_graph->cursorPosition(i + 1));
        slider->setEnabled(false);
        // The slider's groove spans the plot, so its handle sits over the cursor line.
        slider->setFixedWidth(m_graph->geometry().width + 2 * m_graph->geometry().x0);
        connect(slider, &QSlider::valueChanged, this,
                [this, i](int value) { CursorMoved(i + 1, value); });
        m_cursorSlider[size_t(i)] = slider;
    }

    // Below the plot: the recorder, the channels with the capture commands under them, the
    // cursor read-out.
    auto* lower = new QHBoxLayout;
    lower->setContentsMargins(4, 0, 4, 0);
    lower->addWidget(BuildRecorderBox(), 0, Qt::AlignTop);
    auto* middle = new QVBoxLayout;
    middle->setSpacing(2);
    middle->addWidget(BuildChannelBox());
    middle->addWidget(BuildCommandBox());
    lower->addLayout(middle, 1);
    lower->addSpacing(6);
    lower->addWidget(BuildCursorBox(), 0, Qt::AlignTop);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 2);
    layout->setSpacing(0);
    layout->addWidget(m_cursorSlider[1]);
    layout->addWidget(m_graph);
    layout->addWidget(m_cursorSlider[0]);
    layout->addLayout(lower);
    layout->addStretch();
}

QWidget* CDriverOscillo::BuildRecorderBox()
{
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(4);
    auto label = [this, box](const char* name) {
        auto* l = new QLabel(box);
        l->setObjectName(QLatin1String(name));
        m_labels.push_back(l);
        return l;
    };
    auto edit = [box](const char* name) {
        auto* e = new QLineEdit(box);
        e->setObjectName(QLatin1String(name));
        return e;
    };
    m_period = edit("period");
    m_periodText = ReadOnlyEdit(QStringLiteral("periodText"), box);
    m_periodText->setText(QStringLiteral("0 us"));
    m_pointerOffset = edit("pointerOffset");
    m_count = edit("sampleCount");
    m_trigger = new QComboBox(box);
    m_trigger->setObjectName(QStringLiteral("trigger"));
    m_pickTrigger = new QPushButton(QStringLiteral("..."), box);
    m_pickTrigger->setObjectName(QStringLiteral("pickTrigger"));
    m_edge = new QToolButton(box);
    m_edge->setObjectName(QStringLiteral("triggerEdge"));
    m_edge->setIcon(EdgeIcon(true));
    m_level = edit("triggerLevel");
    m_levelUnit = new QComboBox(box);
    m_levelUnit->setObjectName(QStringLiteral("triggerLevelUnit"));
    // Numbers of up to six digits; the object names get the room.
    const int numberWidth = fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 10;
    for (QLineEdit* e : {m_period, m_pointerOffset, m_count, m_level})
        e->setFixedWidth(numberWidth);
    m_periodText->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("937.5us")) + 10);
    m_trigger->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_trigger->setMinimumContentsLength(7);
    m_levelUnit->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_levelUnit->setMinimumContentsLength(5);

    grid->addWidget(label("periodLabel"), 0, 0);
    grid->addWidget(m_period, 0, 1);
    grid->addWidget(m_periodText, 0, 2, 1, 2);
    grid->addWidget(label("pointerOffsetLabel"), 1, 0);
    grid->addWidget(m_pointerOffset, 1, 1);
    grid->addWidget(label("sampleCountLabel"), 2, 0);
    grid->addWidget(m_count, 2, 1);
    grid->addWidget(label("triggerLabel"), 3, 0);
    grid->addWidget(m_trigger, 3, 1, 1, 2);
    grid->addWidget(m_pickTrigger, 3, 3);
    m_pickTrigger->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("...")) + 12);
    grid->addWidget(m_edge, 4, 0);
    grid->addWidget(m_level, 4, 1);
    grid->addWidget(m_levelUnit, 4, 2, 1, 2);
    connect(m_pickTrigger, &QPushButton::clicked, this, [this] { PickObject(0); });
    using namespace DriveObject;
    const std::pair<QLineEdit*, uint32_t> settings[] = {
        {m_period, kRecorderPeriod}, {m_pointerOffset, kRecorderOffset}, {m_count, kRecorderCount}};
    for (const auto& [field, key] : settings) {
        connect(field, &QLineEdit::returnPressed, this, [this, e = field, k = key] {
            m_capture->WriteSetting(k, uint32_t(DecTextToInt(e->text())));
        });
    }
    connect(m_edge, &QToolButton::clicked, this, [this] {
        m_capture->WriteSetting(kRecorderEdge, m_capture->settings().triggerEdge == 0 ? 1 : 0);
    });
    connect(m_trigger, &QComboBox::activated, this, &CDriverOscillo::TriggerChosen);
    connect(m_level, &QLineEdit::returnPressed, this, &CDriverOscillo::LevelEntered);
    connect(m_levelUnit, &QComboBox::activated, this, [this] {
        m_levelUnit->setToolTip(m_levelUnit->currentText());
        ValueApplied(kRecorderLevel, uint32_t(m_capture->settings().triggerLevel));
    });
    return box;
}

QWidget* CDriverOscillo::BuildChannelBox()
{
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(3);
    grid->setVerticalSpacing(2);
    const char* heads[] = {"channelHead", "objectHead", "scaleHead",
                           "offsetHead",  "unitHead",   "autoHead"};
    const int headColumns[] = {0, 1, 3, 6, 9, 10};
    for (int i = 0; i < 6; ++i) {
        if (i == 1)
            continue; // the channel head stands over the object selectors as well
        auto* l = new QLabel(box);
        l->setObjectName(QLatin1String(heads[i]));
        m_labels.push_back(l);
        grid->addWidget(l, 0, headColumns[i], 1, i == 0 ? 2 : i == 2 || i == 3 ? 3 : 1);
    }
    for (int n = 0; n < kChannels; ++n) {
        Channel& c = m_channels[size_t(n)];
        const QString suffix = QString::number(n + 1);
        c.enabled = new QCheckBox(QStringLiteral(" &%1").arg(n + 1), box);
        c.enabled->setObjectName(QStringLiteral("channel") + suffix);
        QPalette palette = c.enabled->palette();
        palette.setColor(QPalette::WindowText, CCurveGraph::ChannelColour(n));
        c.enabled->setPalette(palette);
        c.enabled->setStyleSheet(
            QStringLiteral("QCheckBox { color: %1; font-weight: bold; }")
                .arg(CCurveGraph::ChannelColour(n).darker(n == 0 ? 130 : 100).name()));
        c.object = new QComboBox(box);
        c.object->setObjectName(QStringLiteral("object") + suffix);
        c.object->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        c.object->setMinimumContentsLength(5);
        c.pick = new QPushButton(QStringLiteral("..."), box);
        c.pick->setObjectName(QStringLiteral("pickObject") + suffix);
        c.pick->setFixedWidth(c.pick->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 12);
        c.scaleText = ReadOnlyEdit(QStringLiteral("scale") + suffix, box);
        c.scaleText->setText(QStringLiteral("1e-6"));
        c.scaleText->setFixedWidth(
            c.scaleText->fontMetrics().horizontalAdvance(QStringLiteral("5e-10")) + 8);
        c.scaleUp = SpinButton(QStringLiteral("scaleUp") + suffix, Qt::UpArrow, box);
        c.scaleDown = SpinButton(QStringLiteral("scaleDown") + suffix, Qt::DownArrow, box);
        c.offset = new QLineEdit(QStringLiteral("0"), box);
        c.offset->setObjectName(QStringLiteral("offset") + suffix);
        c.offset->setFixedWidth(
            c.offset->fontMetrics().horizontalAdvance(QStringLiteral("-0000.000")) + 8);
        c.offsetUp = SpinButton(QStringLiteral("offsetUp") + suffix, Qt::UpArrow, box);
        c.offsetDown = SpinButton(QStringLiteral("offsetDown") + suffix, Qt::DownArrow, box);
        c.unit = new QComboBox(box);
        c.unit->setObjectName(QStringLiteral("unit") + suffix);
        c.unit->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        c.unit->setMinimumContentsLength(4);
        c.autoScale = new QCheckBox(box);
        c.autoScale->setObjectName(QStringLiteral("auto") + suffix);
        const int row = n + 1;
        grid->addWidget(c.enabled, row, 0);
        grid->addWidget(c.object, row, 1);
        grid->addWidget(c.pick, row, 2);
        grid->addWidget(c.scaleText, row, 3);
        grid->addWidget(c.scaleUp, row, 4);
        grid->addWidget(c.scaleDown, row, 5);
        grid->addWidget(c.offset, row, 6);
        grid->addWidget(c.offsetUp, row, 7);
        grid->addWidget(c.offsetDown, row, 8);
        grid->addWidget(c.unit, row, 9);
        grid->addWidget(c.autoScale, row, 10, Qt::AlignCenter);
        ConnectChannel(n);
    }
    grid->setColumnStretch(1, 1);
    return box;
}

void CDriverOscillo::ConnectChannel(int n)
{
    Channel& c = m_channels[size_t(n)];
    connect(c.scaleUp, &QToolButton::clicked, this, [this, n] { StepScale(n, true); });
    connect(c.scaleDown, &QToolButton::clicked, this, [this, n] { StepScale(n, false); });
    connect(c.offsetUp, &QToolButton::clicked, this, [this, n] { StepOffset(n, true); });
    connect(c.offsetDown, &QToolButton::clicked, this, [this, n] { StepOffset(n, false); });
    connect(c.offset, &QLineEdit::returnPressed, this, [this, n] { OffsetEntered(n); });
    connect(c.unit, &QComboBox::activated, this, [this, n] { UnitChosen(n); });
    connect(c.pick, &QPushButton::clicked, this, [this, n] { PickObject(n + 1); });
    connect(c.autoScale, &QCheckBox::toggled, this,
            [this, n](bool on) { m_graph->data().SetAutoScale(n, on); });
    connect(c.enabled, &QCheckBox::clicked, this, [this, n] { ChannelClicked(n); });
    connect(c.object, &QComboBox::activated, this, [this, n] { ChannelObjectChosen(n); });
}

QWidget* CDriverOscillo::BuildCursorBox()
{
    auto* box = new QGroupBox(this);
    box->setObjectName(QStringLiteral("cursorGroup"));
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(4, 2, 4, 2);
    grid->setVerticalSpacing(1);
    // The three modes stand in a column right of the read-out.
    for (int mode = 0; mode < 3; ++mode) {
        auto* radio = new QRadioButton(box);
        radio->setObjectName(QStringLiteral("cursorMode%1").arg(mode));
        connect(radio, &QRadioButton::clicked, this, [this, mode] { CursorModeChosen(mode); });
        grid->addWidget(radio, mode, 3);
        m_cursorMode[size_t(mode)] = radio;
    }
    auto* channelLabel = new QLabel(box);
    channelLabel->setObjectName(QStringLiteral("readChannelLabel"));
    m_labels.push_back(channelLabel);
    m_readChannel = new QComboBox(box);
    m_readChannel->setObjectName(QStringLiteral("readChannel"));
    m_readChannel->addItems(
        {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
    connect(m_readChannel, &QComboBox::activated, this, [this] { UpdateReadout(); });
    grid->addWidget(channelLabel, 0, 0, 1, 2);
    grid->addWidget(m_readChannel, 0, 2);
    m_timeHead = ReadOnlyEdit(QStringLiteral("timeHead"), box);
    m_valueHead = ReadOnlyEdit(QStringLiteral("valueHead"), box);
    grid->addWidget(m_timeHead, 1, 1);
    grid->addWidget(m_valueHead, 1, 2);
    const char* names[] = {"time1", "value1", "time2", "value2", "timeDiff", "valueDiff"};
    const char* rows[] = {"row1Label", "row2Label", "diffLabel"};
    for (int row = 0; row < 3; ++row) {
        auto* l = new QLabel(box);
        l->setObjectName(QLatin1String(rows[row]));
        m_labels.push_back(l);
        grid->addWidget(l, row + 2, 0);
        for (int col = 0; col < 2; ++col) {
            QLineEdit* edit = ReadOnlyEdit(QLatin1String(names[row * 2 + col]), box);
            edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("-00000.00")) +
                                12);
            m_readout[size_t(row * 2 + col)] = edit;
            grid->addWidget(edit, row + 2, col + 1);
        }
    }
    // 1/dt of the two cursors: the period of an oscillation read off as a frequency.
    m_frequency = ReadOnlyEdit(QStringLiteral("frequency"), box);
    m_frequency->setFixedWidth(
        m_frequency->fontMetrics().horizontalAdvance(QStringLiteral("00000.00 Hz")) + 12);
    grid->addWidget(m_frequency, 4, 3);
    return box;
}

QWidget* CDriverOscillo::BuildCommandBox()
{
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    m_start = new QPushButton(box);
    m_start->setObjectName(QStringLiteral("start"));
    m_reread = new QPushButton(box);
    m_reread->setObjectName(QStringLiteral("reread"));
    m_continuous = new QCheckBox(box);
    m_continuous->setObjectName(QStringLiteral("continuous"));
    m_showPrevious = new QCheckBox(box);
    m_showPrevious->setObjectName(QStringLiteral("showPrevious"));
    connect(m_showPrevious, &QCheckBox::toggled, m_graph, &CCurveGraph::SetPreviousShown);
    m_status = ReadOnlyEdit(QStringLiteral("status"), box);
    m_import = new QPushButton(box);
    m_import->setObjectName(QStringLiteral("import"));
    connect(m_import, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(
            this, QStringLiteral("Choose import to file"), m_sys.userDir + QStringLiteral("name"),
            QStringLiteral("File(*.txt)"));
        if (!path.isEmpty())
            Import(path);
    });
    m_export = new QPushButton(box);
    m_export->setObjectName(QStringLiteral("export"));
    connect(m_export, &QPushButton::clicked, this, &CDriverOscillo::Export);
    connect(m_start, &QPushButton::clicked, this, &CDriverOscillo::StartPressed);
    connect(m_reread, &QPushButton::clicked, this, &CDriverOscillo::RereadPressed);
    connect(m_continuous, &QCheckBox::toggled, this,
            [this](bool on) { m_capture->SetContinuous(on); });
    grid->setVerticalSpacing(2);
    grid->addWidget(m_start, 0, 0);
    grid->addWidget(m_reread, 0, 1);
    grid->addWidget(m_continuous, 0, 2);
    grid->addWidget(m_showPrevious, 0, 3);
    grid->addWidget(m_status, 1, 0, 1, 2);
    grid->addWidget(m_import, 1, 2);
    grid->addWidget(m_export, 1, 3);
    return box;
}

void CDriverOscillo::Retranslate()
{
    const QString texts[][2] = {
        {QStringLiteral("periodLabel"), tr("采集周期(ms)")},
        {QStringLiteral("pointerOffsetLabel"), tr("指针偏移")},
        {QStringLiteral("sampleCountLabel"), tr("采集个数")},
        {QStringLiteral("triggerLabel"), tr("触发")},
        {QStringLiteral("channelHead"), tr("通 道")},
        {QStringLiteral("objectHead"), QString()},
        {QStringLiteral("scaleHead"), tr("刻度")},
        {QStringLiteral("offsetHead"), tr("偏移")},
        {QStringLiteral("unitHead"), tr("单 位")},
        {QStringLiteral("autoHead"), tr("自动")},
        {QStringLiteral("readChannelLabel"), tr("通道号")},
        {QStringLiteral("row1Label"), QStringLiteral(" 1 ")},
        {QStringLiteral("row2Label"), QStringLiteral(" 2 ")},
        {QStringLiteral("diffLabel"), tr("差值")},
    };
    for (QLabel* label : m_labels) {
        for (const auto& text : texts) {
            if (label->objectName() == text[0])
                label->setText(text[1]);
        }
    }
    if (m_trigger->count() == 0)
        m_trigger->addItem(tr("手动触发"));
    else
        m_trigger->setItemText(0, tr("手动触发"));
    static_cast<QGroupBox*>(m_cursorMode[0]->parentWidget())->setTitle(tr("游标"));
    for (int mode = 0; mode < 3; ++mode)
        m_cursorMode[size_t(mode)]->setText(QStringLiteral(" &%1 - ").arg(mode) + tr("游标"));
    m_start->setText(tr("开始采集"));
    m_reread->setText(tr("重读数据"));
    m_continuous->setText(tr("连续采集"));
    m_showPrevious->setText(tr("显示上次采集"));
    m_import->setText(tr("导入"));
    m_export->setText(tr("导出"));
    SetHead(m_timeHead, tr("时间(%1)").arg(QStringLiteral("us")));
    SetHead(m_valueHead, tr("数据(%1)").arg(QStringLiteral("DEC")));
}

void CDriverOscillo::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        Retranslate();
    QWidget::changeEvent(event);
}

void CDriverOscillo::OnMessage(unsigned message, uint32_t wParam, uint32_t lParam)
{
    if (message == WM_ADD_OBJECT) {
        ObjectPicked(lParam);
        return;
    }
    if (message != WM_PAGE_CONTROL)
        return;
    switch (wParam) {
    case 0:
        m_capture->ReadSettings(1);
        m_refreshOnActivate = true;
        break;
    case 1:
        // The frame closes: every flag the capture took goes back.
        m_refreshOnActivate = false;
        m_capture->Close();
        ShowIdle();
        break;
    case 2:
        if (!m_refreshOnActivate || m_sys.connected != 1)
            break;
        [[fallthrough]];
    case 4:
        m_sys.currentPageWnd = hwnd();
        m_capture->ReadSettings(1);
        break;
    case 3:
        if (saveHook)
            saveHook(*this);
        break;
    default:
        break;
    }
}

void CDriverOscillo::SendPageControl(int action)
{
    OnMessage(WM_PAGE_CONTROL, uint32_t(action), 0);
}

void CDriverOscillo::FillTriggerSelector()
{
    m_trigger->clear();
    m_trigger->addItem(tr("手动触发"));
    for (const ScopeItem& item : m_items->trigger())
        m_trigger->addItem(item.name);
}

void CDriverOscillo::FillChannelSelector(int n)
{
    QComboBox* object = m_channels[size_t(n)].object;
    const int current = object->currentIndex();
    object->clear();
    for (int i = 0; i < m_items->ChannelEntryCount(n + 1); ++i)
        object->addItem(m_items->ChannelEntry(n + 1, i)->name);
    object->setCurrentIndex(std::min(current, object->count() - 1));
}

void CDriverOscillo::ValueApplied(uint32_t key, uint32_t value)
{
    using namespace DriveObject;
    const ScopeSettings& settings = m_capture->settings();
    switch (key) {
    case kRecorderPeriod:
        m_period->setText(QString::number(value));
        if (const QString text = ScopeFormat::PeriodText(int32_t(value)); !text.isEmpty())
            m_periodText->setText(text);
        m_graph->data().SetSamplePeriod(value);
        break;
    case kRecorderOffset:
        m_pointerOffset->setText(QString::number(settings.pointerOffset));
        break;
    case kRecorderCount:
        m_count->setText(QString::number(value));
        if (m_capture->idle())
            m_status->setText(tr("处理完毕"));
        break;
    case kRecorderEdge:
        m_edge->setIcon(EdgeIcon((value & 0xFF) != 0));
        break;
    case kRecorderTrigger: {
        const bool manual = value == 0;
        if (!manual && m_trigger->count() != int(m_items->trigger().size()) + 1)
            FillTriggerSelector(); // the drive named an object the list did not have
        m_trigger->setCurrentIndex(manual ? 0 : settings.triggerItem);
        m_trigger->setToolTip(m_trigger->currentText());
        m_level->setEnabled(!manual);
        m_levelUnit->setEnabled(!manual);
        if (!manual)
            FillUnits(m_levelUnit, settings.triggerKey);
        break;
    }
    case kRecorderLevel:
        m_level->setText(FormatInUnit(m_levelUnit, settings.triggerKey, value, false));
        break;
    default:
        // A unit formula may have waited for this drive constant.
        for (int n = 0; n < kChannels; ++n) {
            if (m_channels[size_t(n)].key == key)
                m_graph->data().SetCoefficient(n, UnitCoefficient(n));
        }
        break;
    }
}

void CDriverOscillo::ShowChannel(int channel)
{
    const int n = channel - 1;
    Channel& c = m_channels[size_t(n)];
    const int entry = m_capture->channelEntry(channel);
    c.key = m_capture->channelKey(channel);
    if (entry < 0) {
        c.enabled->setChecked(false);
        m_graph->data().SetEnabled(n, false);
        m_graph->Redraw();
        return;
    }
    if (c.object->count() != m_items->ChannelEntryCount(channel))
        FillChannelSelector(n);
    c.object->setCurrentIndex(entry);
    c.object->setToolTip(c.object->currentText());
    c.enabled->setChecked(true);
    m_graph->data().SetEnabled(n, true);
    FillUnits(c.unit, c.key);
    m_graph->data().SetCoefficient(n, UnitCoefficient(n));
}

void CDriverOscillo::ChannelClicked(int n)
{
    Channel& c = m_channels[size_t(n)];
    const ScopeItem* item = m_items->ChannelEntry(n + 1, c.object->currentIndex());
    if (!item) {
        c.enabled->setChecked(false);
        return;
    }
    const bool on = c.enabled->isChecked();
    m_graph->data().SetEnabled(n, on);
    if (!on)
        m_graph->Redraw();
    m_capture->SetChannel(n + 1, on, item->descriptor);
}

void CDriverOscillo::ChannelObjectChosen(int n)
{
    Channel& c = m_channels[size_t(n)];
    c.enabled->setChecked(false);
    if (const ScopeItem* item = m_items->ChannelEntry(n + 1, c.object->currentIndex()))
        FillUnits(c.unit, item->key());
    c.object->setToolTip(c.object->currentText());
}

void CDriverOscillo::TriggerChosen(int index)
{
    const ScopeItem* item = m_items->TriggerEntry(index);
    m_trigger->setToolTip(m_trigger->currentText());
    m_capture->WriteTrigger(item ? item->descriptor : 0);
}

void CDriverOscillo::LevelEntered()
{
    const QString unit = m_levelUnit->currentText();
    const ScopeFormat::LevelWrite level = ScopeFormat::TriggerLevel(
        m_sys, hwnd(), m_capture->settings().triggerKey, unit, m_level->text());
    if (level.outcome == ScopeFormat::LevelWrite::Ready)
        m_capture->WriteSetting(DriveObject::kRecorderLevel, level.raw);
}

void CDriverOscillo::ObjectPicked(uint32_t key)
{
    if (m_pickerTarget == 0) {
        int entry = m_items->FindTriggerEntryByKey(key);
        if (entry < 0 && m_items->AddTriggerItem(key)) {
            FillTriggerSelector();
            entry = 1;
        }
        if (entry < 0)
            return;
        m_trigger->setCurrentIndex(entry);
        TriggerChosen(entry);
        return;
    }
    const int n = m_pickerTarget - 1;
    int entry = m_items->FindChannelEntryByKey(n + 1, key);
    if (entry < 0 && m_items->AddChannelItem(key, n + 1)) {
        FillChannelSelector(n);
        entry = 0;
    }
    if (entry < 0)
        return;
    Channel& c = m_channels[size_t(n)];
    c.object->setCurrentIndex(entry);
    c.enabled->setChecked(true);
    ChannelClicked(n);
}

void CDriverOscillo::HandSettingsToGraph()
{
    // The channels without automatic scale keep what the operator set.
    CCurveData& curves = m_graph->data();
    for (int n = 0; n < kChannels; ++n) {
        Channel& c = m_channels[size_t(n)];
        curves.SetEnabled(n, c.enabled->isChecked());
        curves.SetAutoScale(n, c.autoScale->isChecked());
        curves.SetCoefficient(n, UnitCoefficient(n));
        if (!c.autoScale->isChecked()) {
            c.scale = ScopeFormat::ScaleFromText(c.scaleText->text());
            curves.SetScale(n, c.scale);
            curves.MoveOffset(n, c.offset->text().toDouble(), 0);
        }
    }
}

void CDriverOscillo::StartPressed()
{
    if (!m_capture->idle()) {
        m_capture->Cancel();
        return;
    }
    SanitiseOffsets(true);
    HandSettingsToGraph();
    m_capture->SetContinuous(m_continuous->isChecked());
    if (!m_capture->Start())
        return;
    m_start->setText(tr("取消采集"));
    m_reread->setEnabled(false);
}

void CDriverOscillo::RereadPressed()
{
    HandSettingsToGraph();
    if (!m_capture->Reread())
        return;
    CursorModeChosen(0);
    m_start->setEnabled(false);
    m_reread->setEnabled(false);
}

void CDriverOscillo::Progress(CScopeCapture::Progress kind, int dots)
{
    const QString points = QStringLiteral(" ") + QString(dots, QLatin1Char('.'));
    if (kind == CScopeCapture::Progress::Waiting) {
        m_status->setText(tr("等待采集数据") + points);
        return;
    }
    // The English texts have always skipped the fourth step.
    if (dots == 4 && m_sys.programLanguage != 1)
        return;
    m_status->setText(tr("读取数据") + points);
    SanitiseOffsets(false);
}

void CDriverOscillo::RecordReady(const ScopeRecord& record)
{
    m_shownRecord = record;
    HandSettingsToGraph();
    m_graph->data().SetSamplePeriod(m_capture->settings().samplePeriod);
    m_graph->SetRecord(record.samples);
    ShowScalesFromGraph();
    UpdateReadout();
}

void CDriverOscillo::ShowIdle()
{
    m_start->setText(tr("开始采集"));
    m_status->setText(tr("处理完毕"));
    m_start->setEnabled(true);
    m_reread->setEnabled(true);
}

void CDriverOscillo::CaptureEnded(CScopeCapture::Outcome outcome, uint32_t detail)
{
    ShowIdle();
    QString text;
    switch (outcome) {
    case CScopeCapture::Outcome::Refused:
        text = tr("驱动器拒绝了采集（中止代码 0x%1）。").arg(detail, 8, 16, QLatin1Char('0'));
        break;
    case CScopeCapture::Outcome::LinkFailed:
        text = tr("驱动器没有应答，采集已停止。");
        break;
    case CScopeCapture::Outcome::TooLong:
        text = tr("记录长于 8 KiB（%1 字节），未显示。").arg(detail);
        break;
    default:
        return;
    }
    m_status->setText(text);
    // Not modal to the code: the page and the link go on while the message is open.
    auto* box = new QMessageBox(QMessageBox::Warning, title(), text, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("scopeMessage"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void CDriverOscillo::StepScale(int n, bool up)
{
    Channel& c = m_channels[size_t(n)];
    if (!c.enabled->isChecked())
        return;
    const QString before = c.scaleText->text();
    const QString text = ScopeFormat::StepScale(before, up, c.scale);
    if (text == before)
        return;
    c.scaleText->setText(text);
    m_graph->data().SetScale(n, c.scale);
    m_graph->Redraw();
}

void CDriverOscillo::StepOffset(int n, bool up)
{
    Channel& c = m_channels[size_t(n)];
    if (!c.enabled->isChecked())
        return;
    CCurveData& curves = m_graph->data();
    curves.MoveOffset(n, curves.channel(n).mapping.scale, up ? 1 : -1);
    c.offset->setText(Plot::FormatC("%.3f", curves.channel(n).mapping.offset));
    m_graph->Redraw();
}

void CDriverOscillo::OffsetEntered(int n)
{
    m_graph->data().MoveOffset(n, m_channels[size_t(n)].offset->text().toDouble(), 0);
    m_graph->Redraw();
}

void CDriverOscillo::UnitChosen(int n)
{
    Channel& c = m_channels[size_t(n)];
    m_graph->data().SetCoefficient(n, UnitCoefficient(n));
    m_graph->ComputeExtents();
    ShowScalesFromGraph();
    c.unit->setToolTip(c.unit->currentText());
    UpdateReadout();
}

void CDriverOscillo::ShowScalesFromGraph()
{
    const CCurveData& curves = m_graph->data();
    for (int n = 0; n < kChannels; ++n) {
        Channel& c = m_channels[size_t(n)];
        if (!c.enabled->isChecked())
            continue;
        c.scale = curves.channel(n).mapping.scale;
        c.scaleText->setText(ScopeFormat::ScaleToText(c.scale));
        c.offset->setText(Plot::FormatC("%.3f", curves.channel(n).mapping.offset));
    }
}

void CDriverOscillo::SanitiseOffsets(bool atCaptureStart)
{
    for (int n = 0; n < kChannels; ++n) {
        QLineEdit* edit = m_channels[size_t(n)].offset;
        QString text = edit->text();
        double value = 0;
        if (ScopeFormat::SanitiseOffset(text, value, atCaptureStart)) {
            edit->setText(text);
            m_graph->data().MoveOffset(n, value, 0);
        }
    }
}

void CDriverOscillo::CursorModeChosen(int mode)
{
    m_cursorMode[size_t(mode)]->setChecked(true);
    m_graph->SetCursorMode(mode);
    m_cursorSlider[0]->setEnabled(mode >= 1);
    m_cursorSlider[1]->setEnabled(mode == 2);
    UpdateReadout();
}

void CDriverOscillo::CursorMoved(int cursor, int position)
{
    if (m_graph->cursorMode() < cursor)
        return;
    m_graph->SetCursorPosition(cursor, position);
    UpdateReadout();
}

void CDriverOscillo::UpdateReadout()
{
    const int mode = m_graph->cursorMode();
    const int n = m_readChannel->currentIndex();
    if (mode == 0 || n < 0)
        return;
    for (QLineEdit* edit : m_readout)
        edit->setText(QStringLiteral("0"));
    m_frequency->clear();
    const Channel& c = m_channels[size_t(n)];
    const bool shown = c.enabled->isChecked() && c.key != 0;
    SetHead(m_valueHead, tr("数据(%1)").arg(shown ? c.unit->currentText() : QString()));
    if (!shown)
        return;
    const CCurveData& curves = m_graph->data();
    const uint32_t period = curves.samplePeriod();
    std::array<Plot::Lookup, 2> at;
    std::array<double, 2> time{};
    for (int i = 0; i < mode; ++i) {
        at[size_t(i)] = curves.ValueAt(n, m_graph->cursorPosition(i + 1));
        time[size_t(i)] = Plot::SampleTimeUs(at[size_t(i)].sample, period);
    }
    const Plot::TimeUnit unit = Plot::TimeUnitFor(time[0]);
    SetHead(m_timeHead, tr("时间(%1)").arg(QLatin1String(unit.name)));
    auto value = [&](double raw, bool allowUnsigned) {
        return FormatInUnit(c.unit, c.key, uint32_t(int32_t(std::trunc(raw))), allowUnsigned);
    };
    for (int i = 0; i < mode; ++i) {
        m_readout[size_t(2 * i)]->setText(Plot::FormatC("%.2f", time[size_t(i)] / unit.divisor));
        m_readout[size_t(2 * i + 1)]->setText(value(at[size_t(i)].value, true));
    }
    if (mode < 2)
        return;
    // The later cursor minus the earlier one.
    const bool secondLater = time[1] >= time[0];
    const double dt = std::fabs(time[1] - time[0]);
    const double dv = secondLater ? at[1].value - at[0].value : at[0].value - at[1].value;
    m_readout[4]->setText(Plot::FormatC("%.2f", dt / unit.divisor));
    m_readout[5]->setText(value(dv, false));
    if (dt > 0)
        m_frequency->setText(Plot::FormatC("%.2f Hz", 1e6 / dt));
}

QString CDriverOscillo::FormatInUnit(QComboBox* unit, uint32_t key, uint32_t raw,
                                     bool allowUnsigned)
{
    if (unit->count() == 0)
        unit->addItem(QStringLiteral("DEC"));
    if (unit->currentIndex() < 0)
        unit->setCurrentIndex(std::max(0, unit->findText(QStringLiteral("DEC"))));
    m_sys.currentPageWnd = hwnd();
    return ScopeFormat::FormatRaw(m_sys, hwnd(), m_sys.dictionary, key, unit->currentText(), raw,
                                  allowUnsigned);
}

double CDriverOscillo::UnitCoefficient(int n)
{
    const Channel& c = m_channels[size_t(n)];
    if (c.key == 0)
        return 1;
    return ScopeFormat::UnitCoefficient(m_sys, hwnd(), m_sys.dictionary, c.key,
                                        c.unit->currentText());
}

void CDriverOscillo::FillUnits(QComboBox* unit, uint32_t key)
{
    unit->clear();
    unit->addItems(ScopeFormat::UnitEntries(m_sys, m_sys.dictionary, key));
    unit->setCurrentIndex(unit->count() - 1);
    unit->setToolTip(unit->currentText());
}

void CDriverOscillo::PickObject(int target)
{
    m_pickerTarget = target;
    // The main frame opens the dictionary browser, whose double-click answers with WM_ADD_OBJECT.
    m_sys.browserRequesterWnd = hwnd();
    SendMessage(m_sys.mainFrameWnd, WM_OPEN_WINDOW, 2, 0);
}

bool CDriverOscillo::Import(const QString& path)
{
    ScopeSettings settings;
    ScopeRecord record;
    m_import->setEnabled(false);
    const bool read = ScopeFiles::ReadTxt(path, settings, record);
    m_import->setEnabled(true);
    if (!read)
        return false;
    // The form shows the file's settings; nothing is written to the drive.
    m_period->setText(QString::number(settings.samplePeriod));
    if (const QString text = ScopeFormat::PeriodText(int32_t(settings.samplePeriod));
        !text.isEmpty())
        m_periodText->setText(text);
    m_pointerOffset->setText(QString::number(settings.pointerOffset));
    m_count->setText(QString::number(settings.sampleCount));
    int trigger = 0;
    if (settings.triggerItem != 0) {
        trigger = m_items->FindTriggerEntryByKey(settings.triggerKey);
        if (trigger < 0 && m_items->AddTriggerItem(settings.triggerKey)) {
            FillTriggerSelector();
            trigger = 1;
        }
    }
    m_trigger->setCurrentIndex(std::max(trigger, 0));
    m_level->setEnabled(trigger > 0);
    m_levelUnit->setEnabled(trigger > 0);
    if (trigger > 0) {
        FillUnits(m_levelUnit, settings.triggerKey);
        m_level->setText(settings.triggerLevelText);
        m_levelUnit->setCurrentIndex(settings.triggerUnitIndex);
    }
    m_continuous->setChecked(settings.continuous);

    CCurveData& curves = m_graph->data();
    curves.SetSamplePeriod(settings.samplePeriod);
    m_graph->SetRecord(record.samples);
    for (int n = 0; n < kChannels; ++n) {
        const ScopeChannelSettings& in = settings.channels[size_t(n)];
        Channel& c = m_channels[size_t(n)];
        c.enabled->setChecked(in.enabled);
        curves.SetEnabled(n, in.enabled);
        if (!in.enabled)
            continue;
        c.key = ScopeDescriptor::KeyOf(in.descriptor);
        int entry = m_items->FindChannelEntryByKey(n + 1, c.key);
        if (entry < 0 && m_items->AddChannelItem(c.key, n + 1)) {
            FillChannelSelector(n);
            entry = 0;
        }
        c.object->setCurrentIndex(entry);
        FillUnits(c.unit, c.key);
        c.unit->setCurrentIndex(in.unitIndex);
        c.scale = in.scale;
        curves.SetScale(n, in.scale);
        curves.MoveOffset(n, in.offset, 0);
        curves.SetCoefficient(n, in.unitCoefficient);
        c.autoScale->setChecked(in.autoScale);
        curves.SetAutoScale(n, in.autoScale);
    }
    m_shownRecord = record;
    ShowScalesFromGraph();
    m_graph->Redraw();
    UpdateReadout();
    return true;
}

ScopeSettings CDriverOscillo::FileSettings() const
{
    // Everything as the form shows it, so that a file loaded and saved again stays the same.
    ScopeSettings settings;
    settings.samplePeriod = uint32_t(DecTextToInt(m_period->text()));
    settings.pointerOffset = DecTextToInt(m_pointerOffset->text());
    settings.sampleCount = uint32_t(DecTextToInt(m_count->text()));
    settings.triggerItem = m_trigger->currentIndex();
    if (const ScopeItem* item = m_items->TriggerEntry(settings.triggerItem))
        settings.triggerKey = item->key();
    settings.triggerLevelText = m_level->text();
    settings.triggerUnitIndex = m_levelUnit->currentIndex();
    settings.continuous = m_continuous->isChecked();
    for (int n = 0; n < kChannels; ++n) {
        const Channel& c = m_channels[size_t(n)];
        ScopeChannelSettings& out = settings.channels[size_t(n)];
        const Plot::Mapping& mapping = m_graph->data().channel(n).mapping;
        out.enabled = c.enabled->isChecked();
        if (const ScopeItem* item = m_items->ChannelEntry(n + 1, c.object->currentIndex()))
            out.descriptor = item->descriptor;
        out.scale = mapping.scale;
        out.offset = mapping.offset;
        out.unitCoefficient = mapping.coefficient;
        out.unitIndex = c.unit->currentIndex();
        out.autoScale = c.autoScale->isChecked();
    }
    return settings;
}

void CDriverOscillo::Export()
{
    const QString chosen = QFileDialog::getSaveFileName(
        this, QStringLiteral("save data to file"), m_sys.userDir + QStringLiteral("name"),
        QStringLiteral("File(*.csv);;File(*.txt);;File(*.bmp);;File(*.png)"));
    if (!chosen.isEmpty())
        ExportTo(chosen);
}

void CDriverOscillo::ExportTo(const QString& chosen)
{
    m_export->setEnabled(false);
    ScopeFiles::Kind kind = ScopeFiles::Kind::None;
    const QString path = ScopeFiles::ExportPath(chosen, kind);
    if (kind == ScopeFiles::Kind::Csv)
        ScopeFiles::WriteCsv(path, m_shownRecord);
    else if (kind == ScopeFiles::Kind::Txt)
        ScopeFiles::WriteTxt(path, FileSettings(), m_shownRecord);
    else if (kind == ScopeFiles::Kind::Bmp || chosen.endsWith(QLatin1String(".png")))
        SavePicture(kind == ScopeFiles::Kind::Bmp ? path : chosen);
    m_export->setEnabled(true);
}

bool CDriverOscillo::SavePicture(const QString& path)
{
    // The page as shown, without the lowest 50 pixels where the file buttons are.
    const QRect shown = rect().adjusted(3, 4, -4, -50);
    return WritePagePicture(grab(shown).toImage(), path);
}
