#include "DriverOscillo.h"

#include "CurveGraph.h"
#include "PageViews.h"
#include "ScopePicture.h"
#include "app/SysData.h"
#include "base/TextNumbers.h"
#include "plot/PlotMath.h"
#include "units/FormatKeywords.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace {

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
    return button;
}

} // namespace

CDriverOscillo::CDriverOscillo(CSysData& sys, QWidget* parent)
    : QWidget(parent), m_sys(sys), m_handle(this)
{
    setObjectName(QStringLiteral("oscilloscope"));
    BuildForm();
    Retranslate();
    for (Channel& c : m_channels)
        c.autoScale->setChecked(true);
    m_status->setText(tr("处理完毕"));
    CursorModeChosen(0);
}

CDriverOscillo::~CDriverOscillo() = default;

QString CDriverOscillo::title() const
{
    return tr("示波器");
}

void CDriverOscillo::BuildForm()
{
    const int dpi = logicalDpiX() > 0 ? logicalDpiX() : 96;
    const Plot::PageRects rects = Plot::RectsForScreen(dpi, m_sys.programLanguage);
    // The graph is its own widget: the page's area and mouse rectangles moved to its corner.
    const QPoint corner = rects.area.topLeft();
    m_graph =
        new CCurveGraph(rects.area.translated(-corner), rects.mouse.translated(-corner), this);
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

    auto* lower = new QHBoxLayout;
    lower->addWidget(BuildRecorderBox());
    lower->addWidget(BuildChannelBox(), 1);
    auto* right = new QVBoxLayout;
    right->addWidget(BuildCursorBox());
    right->addWidget(BuildCommandBox());
    lower->addLayout(right);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 4);
    layout->setSpacing(2);
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
    m_edge->setArrowType(Qt::UpArrow);
    m_level = edit("triggerLevel");
    m_levelUnit = new QComboBox(box);
    m_levelUnit->setObjectName(QStringLiteral("triggerLevelUnit"));

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
    grid->addWidget(m_edge, 4, 0);
    grid->addWidget(m_level, 4, 1);
    grid->addWidget(m_levelUnit, 4, 2, 1, 2);
    connect(m_pickTrigger, &QPushButton::clicked, this, [this] { PickObject(0); });
    return box;
}

QWidget* CDriverOscillo::BuildChannelBox()
{
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(3);
    const char* heads[] = {"channelHead", "objectHead", "scaleHead",
                           "offsetHead",  "unitHead",   "autoHead"};
    const int headColumns[] = {0, 1, 3, 6, 9, 10};
    for (int i = 0; i < 6; ++i) {
        auto* l = new QLabel(box);
        l->setObjectName(QLatin1String(heads[i]));
        m_labels.push_back(l);
        grid->addWidget(l, 0, headColumns[i], 1, i == 2 || i == 3 ? 3 : 1);
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
        c.object->setMinimumContentsLength(14);
        c.pick = new QPushButton(QStringLiteral("..."), box);
        c.pick->setObjectName(QStringLiteral("pickObject") + suffix);
        c.pick->setFixedWidth(c.pick->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 12);
        c.scaleText = ReadOnlyEdit(QStringLiteral("scale") + suffix, box);
        c.scaleText->setText(QStringLiteral("1e-6"));
        c.scaleText->setFixedWidth(
            c.scaleText->fontMetrics().horizontalAdvance(QStringLiteral("5e-6000")) + 8);
        c.scaleUp = SpinButton(QStringLiteral("scaleUp") + suffix, Qt::UpArrow, box);
        c.scaleDown = SpinButton(QStringLiteral("scaleDown") + suffix, Qt::DownArrow, box);
        c.offset = new QLineEdit(QStringLiteral("0"), box);
        c.offset->setObjectName(QStringLiteral("offset") + suffix);
        c.offset->setFixedWidth(
            c.offset->fontMetrics().horizontalAdvance(QStringLiteral("-00000.000")) + 8);
        c.offsetUp = SpinButton(QStringLiteral("offsetUp") + suffix, Qt::UpArrow, box);
        c.offsetDown = SpinButton(QStringLiteral("offsetDown") + suffix, Qt::DownArrow, box);
        c.unit = new QComboBox(box);
        c.unit->setObjectName(QStringLiteral("unit") + suffix);
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
}

QWidget* CDriverOscillo::BuildCursorBox()
{
    auto* box = new QGroupBox(this);
    box->setObjectName(QStringLiteral("cursorGroup"));
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(4, 2, 4, 2);
    grid->setVerticalSpacing(1);
    auto* modes = new QHBoxLayout;
    for (int mode = 0; mode < 3; ++mode) {
        auto* radio = new QRadioButton(box);
        radio->setObjectName(QStringLiteral("cursorMode%1").arg(mode));
        connect(radio, &QRadioButton::clicked, this, [this, mode] { CursorModeChosen(mode); });
        modes->addWidget(radio);
        m_cursorMode[size_t(mode)] = radio;
    }
    grid->addLayout(modes, 0, 0, 1, 4);
    auto* channelLabel = new QLabel(box);
    channelLabel->setObjectName(QStringLiteral("readChannelLabel"));
    m_labels.push_back(channelLabel);
    m_readChannel = new QComboBox(box);
    m_readChannel->setObjectName(QStringLiteral("readChannel"));
    m_readChannel->addItems(
        {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
    connect(m_readChannel, &QComboBox::activated, this, [this] { UpdateReadout(); });
    grid->addWidget(channelLabel, 1, 0);
    grid->addWidget(m_readChannel, 1, 1);
    m_timeHead = ReadOnlyEdit(QStringLiteral("timeHead"), box);
    m_valueHead = ReadOnlyEdit(QStringLiteral("valueHead"), box);
    grid->addWidget(m_timeHead, 2, 1);
    grid->addWidget(m_valueHead, 2, 2);
    const char* names[] = {"time1", "value1", "time2", "value2", "timeDiff", "valueDiff"};
    const char* rows[] = {"row1Label", "row2Label", "diffLabel"};
    for (int row = 0; row < 3; ++row) {
        auto* l = new QLabel(box);
        l->setObjectName(QLatin1String(rows[row]));
        m_labels.push_back(l);
        grid->addWidget(l, row + 3, 0);
        for (int col = 0; col < 2; ++col) {
            QLineEdit* edit = ReadOnlyEdit(QLatin1String(names[row * 2 + col]), box);
            edit->setMinimumWidth(
                edit->fontMetrics().horizontalAdvance(QStringLiteral("-00000.00")));
            m_readout[size_t(row * 2 + col)] = edit;
            grid->addWidget(edit, row + 3, col + 1);
        }
    }
    // 1/dt of the two cursors: the period of an oscillation read off as a frequency.
    m_frequency = ReadOnlyEdit(QStringLiteral("frequency"), box);
    m_frequency->setMinimumWidth(
        m_frequency->fontMetrics().horizontalAdvance(QStringLiteral("0000.00 Hz")));
    grid->addWidget(m_frequency, 5, 3);
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
    m_export = new QPushButton(box);
    m_export->setObjectName(QStringLiteral("export"));
    connect(m_export, &QPushButton::clicked, this, &CDriverOscillo::Export);
    grid->addWidget(m_start, 0, 0);
    grid->addWidget(m_reread, 0, 1);
    grid->addWidget(m_continuous, 1, 0);
    grid->addWidget(m_showPrevious, 1, 1);
    grid->addWidget(m_status, 2, 0, 1, 2);
    grid->addWidget(m_import, 3, 0);
    grid->addWidget(m_export, 3, 1);
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
        {QStringLiteral("row1Label"), QStringLiteral(" &1 ")},
        {QStringLiteral("row2Label"), QStringLiteral(" &2")},
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
    m_timeHead->setText(tr("时间(%1)").arg(QStringLiteral("us")));
    m_valueHead->setText(tr("数据(%1)").arg(QStringLiteral("DEC")));
}

void CDriverOscillo::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        Retranslate();
    QWidget::changeEvent(event);
}

void CDriverOscillo::OnMessage(unsigned message, uint32_t wParam, uint32_t lParam)
{
    (void)wParam;
    if (message == WM_ADD_OBJECT) {
        (void)lParam;
    }
}

void CDriverOscillo::SendPageControl(int action)
{
    OnMessage(WM_PAGE_CONTROL, uint32_t(action), 0);
}

void CDriverOscillo::StepScale(int n, bool up)
{
    Channel& c = m_channels[size_t(n)];
    if (!c.enabled->isChecked())
        return;
    QString text = c.scaleText->text();
    if (!Plot::StepScaleText(text, c.scale, up))
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
        c.scaleText->setText(Plot::ScaleToText(c.scale));
        c.offset->setText(Plot::FormatC("%.3f", curves.channel(n).mapping.offset));
    }
}

void CDriverOscillo::SanitiseOffsets(bool atCaptureStart)
{
    for (Channel& c : m_channels) {
        const QString text = c.offset->text();
        if (text == QLatin1String("-0") || text == QLatin1String("-0.") || text.size() > 10)
            c.offset->setText(Plot::FormatC(atCaptureStart ? "%.f" : "%.3f", 0));
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
    m_valueHead->setText(tr("数据(%1)").arg(shown ? c.unit->currentText() : QString()));
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
    m_timeHead->setText(tr("时间(%1)").arg(QLatin1String(unit.name)));
    auto value = [&](double raw, bool allowUnsigned) {
        return FormatInUnit(c.unit, c.key, int64_t(std::trunc(raw)), allowUnsigned);
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

QString CDriverOscillo::FormatInUnit(QComboBox* unit, uint32_t key, int64_t raw, bool allowUnsigned)
{
    CSdoRecord record;
    int size = 0;
    if (m_sys.dictionary.Lookup(key, record)) {
        size = DecTextToInt(record.dataType);
        if (record.dataType.startsWith(QLatin1Char('I'), Qt::CaseInsensitive))
            ++size;
    }
    if (unit->count() == 0) {
        unit->addItem(QString(FormatKeyword::kDec));
        unit->setCurrentIndex(0);
    }
    const QString name = unit->currentText();
    const uint32_t word = uint32_t(raw);
    const bool asUnsigned = allowUnsigned && (size == 8 || size == 16 || size == 32);
    auto integer = [&] {
        return asUnsigned ? QString::number(word) : QString::number(int32_t(word));
    };
    if (name == FormatKeyword::kDec)
        return integer();
    if (name == FormatKeyword::kHex)
        return QString::number(word, 16);
    double value = double(int32_t(word));
    if (asUnsigned)
        value = double(word);
    QString formula;
    bool done = false;
    m_sys.currentPageWnd = hwnd();
    if (!m_sys.ConvertForDisplay(hwnd(), key, name, &value, formula, done))
        return QString();
    if (formula == QLatin1String("N*1"))
        return integer();
    return Plot::FormatC("%0.6f", value);
}

double CDriverOscillo::UnitCoefficient(int n)
{
    const Channel& c = m_channels[size_t(n)];
    return FormatInUnit(c.unit, c.key, 1, true).toDouble();
}

void CDriverOscillo::FillUnits(QComboBox* unit, uint32_t key)
{
    unit->clear();
    bool dec = false;
    if (const QVector<CUnitRecord>* records = m_sys.unitTable.LookupUnits(key)) {
        for (const CUnitRecord& record : *records) {
            if (record.label == FormatKeyword::kDec)
                dec = true;
            else
                unit->addItem(record.DisplayName());
        }
    }
    if (dec || unit->count() == 0)
        unit->addItem(QString(FormatKeyword::kDec));
    unit->setCurrentIndex(unit->count() - 1);
}

void CDriverOscillo::PickObject(int target)
{
    m_pickerTarget = target;
    m_sys.browserRequesterWnd = hwnd();
    OpenObjectPicker(m_sys, hwnd(), this);
}

void CDriverOscillo::Export()
{
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("save data to file"), QString(),
        QStringLiteral("File(*.csv);;File(*.txt);;File(*.bmp);;File(*.png)"));
    if (path.isEmpty())
        return;
    m_export->setEnabled(false);
    const QString extension = path.mid(path.lastIndexOf(QLatin1Char('.')) + 1);
    if (extension == QLatin1String("bmp") || extension == QLatin1String("png"))
        SavePicture(path);
    m_export->setEnabled(true);
}

bool CDriverOscillo::SavePicture(const QString& path)
{
    // The page as shown, without the lowest 50 pixels where the file buttons are.
    const QRect shown = rect().adjusted(3, 4, -4, -50);
    return WritePagePicture(grab(shown).toImage(), path);
}
