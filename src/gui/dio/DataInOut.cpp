#include "DataInOut.h"

#include "FunctionDialog.h"
#include "Icons.h"
#include "app/SysData.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace {
// Icons by the numbers the page has always used: switches 206 on / 207 off, lamps 211 / 205.
QIcon SwitchIcon(bool on)
{
    return Icons::SwitchIcon(on);
}
QIcon LampIcon(bool on)
{
    return Icons::StateIcon(on ? 211 : 205);
}
} // namespace

CDataInOut::CDataInOut(CSysData& sys, QWidget* parent)
    : QWidget(parent), m_sys(sys),
      m_page(std::make_unique<CDataInOutPage>(
          sys, sys.dictionary, sys.sysDir + QStringLiteral("/DataInOut.ini"), sys.programLanguage))
{
    setObjectName(QStringLiteral("CDataInOut"));
    // The tip window's colour for the function tips.
    setStyleSheet(QStringLiteral("QToolTip { background-color: rgb(250, 250, 210); color: black; "
                                 "border: 1px solid #8a8a70; }"));
    BuildRows();
    m_page->onChanged = [this](CDataInOutPage::Change change, int channel) {
        switch (change) {
        case CDataInOutPage::Change::Switches:
            return ShowSwitches();
        case CDataInOutPage::Change::Lamps:
            return ShowLamps();
        case CDataInOutPage::Change::Function:
            return ShowFunction(channel);
        }
    };
    m_page->Create();
    for (bool output : {false, true}) {
        auto* dialog = new CFunctionDialog(m_page->names().DialogRows(output), this);
        dialog->setWindowFlag(Qt::Dialog);
        dialog->onChosen = [this](int channel, uint32_t mask) {
            m_page->ChooseFunctions(channel, mask);
        };
        m_dialogs[output ? 1 : 0] = dialog;
    }
}

CDataInOut::~CDataInOut() = default;

void CDataInOut::BuildRows()
{
    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);
    const int side = fontMetrics().height() + 6;
    const QSize iconSize(side - 4, side - 4);
    enum Column
    {
        Label,
        Function,
        More,
        Simulation,
        Polarity,
        Lamp1,
        Lamp2
    };
    auto caption = [&](const QString& text, int row, int column) {
        // A caption of two words takes two lines, so that the columns stay as narrow as a word.
        auto* label = new QLabel(QString(text).replace(QLatin1Char(' '), QLatin1Char('\n')), this);
        label->setAlignment(Qt::AlignCenter);
        grid->addWidget(label, row, column);
    };
    auto button = [&](const QString& name) {
        auto* b = new QToolButton(this);
        b->setObjectName(name);
        b->setAutoRaise(true);
        b->setIconSize(iconSize);
        b->setIcon(SwitchIcon(false));
        return b;
    };
    auto lamp = [&](const QString& name) {
        auto* l = new QLabel(this);
        l->setObjectName(name);
        l->setAlignment(Qt::AlignCenter);
        l->setPixmap(LampIcon(false).pixmap(iconSize));
        return l;
    };
    int row = 0;
    for (bool output : {false, true}) {
        caption(tr("功能"), row, Function);
        caption(tr("仿真"), row, Simulation);
        caption(tr("极性"), row, Polarity);
        if (output) {
            caption(tr("实际输出"), row, Lamp1);
        } else {
            caption(tr("实际输入"), row, Lamp1);
            caption(tr("虚拟状态"), row, Lamp2);
        }
        ++row;
        const int first = output ? Dio::kInputs : 0;
        const int count = output ? Dio::kOutputs : Dio::kInputs;
        for (int n = 0; n < count; ++n, ++row) {
            const int channel = first + n;
            const QString name = QStringLiteral("%1%2")
                                     .arg(output ? QStringLiteral("dout") : QStringLiteral("din"))
                                     .arg(n + 1);
            Row& r = m_rows[size_t(channel)];
            grid->addWidget(new QLabel(name.toUpper(), this), row, Label);
            r.function = new QLineEdit(QStringLiteral("NULL"), this);
            r.function->setObjectName(name + QStringLiteral("_function"));
            r.function->setReadOnly(true);
            r.function->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('M')) * 8);
            grid->addWidget(r.function, row, Function);
            r.more = new QToolButton(this);
            r.more->setObjectName(name + QStringLiteral("_more"));
            r.more->setText(QStringLiteral("..."));
            r.more->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("...")) + 14);
            grid->addWidget(r.more, row, More);
            connect(r.more, &QToolButton::clicked, this,
                    [this, channel] { OpenFunctionDialog(channel); });
            r.simulation = button(name + QStringLiteral("_simulation"));
            r.polarity = button(name + QStringLiteral("_polarity"));
            grid->addWidget(r.simulation, row, Simulation, Qt::AlignCenter);
            grid->addWidget(r.polarity, row, Polarity, Qt::AlignCenter);
            using S = CDataInOutPage::Switch;
            const S simulation = output ? S::OutputSimulation : S::InputSimulation;
            const S polarity = output ? S::OutputPolarity : S::InputPolarity;
            connect(r.simulation, &QToolButton::clicked, this,
                    [this, simulation, n] { m_page->ToggleSwitch(simulation, n); });
            connect(r.polarity, &QToolButton::clicked, this,
                    [this, polarity, n] { m_page->ToggleSwitch(polarity, n); });
            r.lamps[0] = lamp(name + QStringLiteral("_actual"));
            grid->addWidget(r.lamps[0], row, Lamp1);
            if (!output) {
                r.lamps[1] = lamp(name + QStringLiteral("_virtual"));
                grid->addWidget(r.lamps[1], row, Lamp2);
            }
        }
        if (!output) {
            auto* line = new QFrame(this);
            line->setFrameShape(QFrame::HLine);
            line->setFrameShadow(QFrame::Sunken);
            grid->addWidget(line, row++, 0, 1, Lamp2 + 1);
        }
    }
    grid->setColumnStretch(Function, 1);
    grid->setRowStretch(row, 1);
}

void CDataInOut::OpenFunctionDialog(int channel)
{
    if (channel < 0 || channel >= CDataInOutPage::kChannels)
        return;
    m_dialogs[CDataInOutPage::IsOutput(channel) ? 1 : 0]->Open(
        channel, m_page->functionMask(channel), m_sys.connected == 1);
}

void CDataInOut::ShowSwitches()
{
    using S = CDataInOutPage::Switch;
    for (int channel = 0; channel < CDataInOutPage::kChannels; ++channel) {
        const bool output = CDataInOutPage::IsOutput(channel);
        const int bit = output ? channel - Dio::kInputs : channel;
        const uint32_t simulation =
            m_page->switchWord(output ? S::OutputSimulation : S::InputSimulation);
        const uint32_t polarity = m_page->switchWord(output ? S::OutputPolarity : S::InputPolarity);
        Row& r = m_rows[size_t(channel)];
        r.simulation->setIcon(SwitchIcon(Dio::ChannelBit(simulation, bit)));
        r.polarity->setIcon(SwitchIcon(Dio::ChannelBit(polarity, bit)));
        r.polarity->setProperty("on", Dio::ChannelBit(polarity, bit));
        r.simulation->setProperty("on", Dio::ChannelBit(simulation, bit));
    }
}

void CDataInOut::ShowLamps()
{
    using L = CDataInOutPage::Lamps;
    const QSize size = m_rows[0].polarity->iconSize();
    for (int channel = 0; channel < CDataInOutPage::kChannels; ++channel) {
        const bool output = CDataInOutPage::IsOutput(channel);
        const int bit = output ? channel - Dio::kInputs : channel;
        Row& r = m_rows[size_t(channel)];
        const uint32_t first = m_page->lampWord(output ? L::OutputActual : L::InputActual);
        r.lamps[0]->setPixmap(LampIcon(Dio::ChannelBit(first, bit)).pixmap(size));
        r.lamps[0]->setProperty("on", Dio::ChannelBit(first, bit));
        if (r.lamps[1]) {
            const bool on = Dio::ChannelBit(m_page->lampWord(L::InputVirtual), bit);
            r.lamps[1]->setPixmap(LampIcon(on).pixmap(size));
            r.lamps[1]->setProperty("on", on);
        }
    }
}

void CDataInOut::ShowFunction(int channel)
{
    if (channel < 0 || channel >= CDataInOutPage::kChannels)
        return;
    Row& r = m_rows[size_t(channel)];
    r.function->setText(m_page->functionText(channel));
    r.function->setCursorPosition(0);
    r.function->setToolTip(m_page->functionTip(channel).join(QLatin1Char('\n')));
}
