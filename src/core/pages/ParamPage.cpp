#include "ParamPage.h"
#include "comm/SdoFrame.h"

#include "ValueFormat.h"
#include "base/TextNumbers.h"
#include "comm/AbortCodes.h"
#include "units/FormatKeywords.h"

#include <cmath>

namespace {
using Col = CPageListModel::Column;

} // namespace

ProjectSave ProjectSaveFor(const CWindowInfo& page)
{
    switch (page.variant) {
    case PageVariant::Standard:
    case PageVariant::FuncConfig:
    case PageVariant::TorqueMode:
        return ProjectSave::ListAndPlacement;
    default:
        return ProjectSave::PlacementOnly;
    }
}

CPageMenuState PageMenuState(const CWindowInfo& page, bool anyRowSelected)
{
    CPageMenuState state;
    state.shown = page.rightClickMenu;
    if (!state.shown)
        return state;
    state.addEnabled = true;
    state.deleteEnabled = anyRowSelected;
    // The error history only switches "del"; its other items stay as they are.
    state.helpEnabled = page.variant == PageVariant::ErrorGroup ? true : anyRowSelected;
    return state;
}

CParamPage::CParamPage(CPageHost& sys, const CWindowInfo& page)
    : m_sys(sys), m_spec(page), m_handle(this)
{
    m_list.SetChoicesSource([this](int row) { return GetUnitChoices(row); });
}

// The page's polled objects go with it, so opening and closing pages never grows the list.
CParamPage::~CParamPage()
{
    m_sys.Link().RemoveLoop(hwnd());
}

QString CParamPage::pageName() const
{
    return m_spec.pageName;
}

bool CParamPage::KeepsListInProject() const
{
    return projectSave() == ProjectSave::ListAndPlacement;
}

void CParamPage::Create(const std::function<bool(CPageListModel&)>& restore)
{
    if (m_spec.variant == PageVariant::DriverProperty)
        SetUpDriverPropertyList();
    else
        m_sys.InitParamList(m_list);

    if (m_spec.variant == PageVariant::ErrorGroup) {
        m_sys.LoadPageDefinition(m_list, pageName(), hwnd());
        m_active = 1;
        StartReadPassIfConnected();
        return;
    }

    // A project opened in this run supplies the rows of the pages it stores.
    const auto& hook = restore ? restore : restoreHook;
    const bool projectOpened =
        !m_sys.projectOpenStamp.isEmpty() && m_sys.projectOpenStamp != m_restoreStamp;
    if (projectOpened && hook && KeepsListInProject() && m_spec.variant != PageVariant::FuncConfig)
        hook(m_list);

    if (m_list.GetItemCount() == 0)
        m_sys.LoadPageDefinition(m_list, pageName(), hwnd());
    Relabel();

    m_readCursor = 1;
    m_active = 1;
    ReadNext();
}

void CParamPage::SetUpDriverPropertyList()
{
    m_list.SetExtendedStyle(m_list.ExtendedStyle() | CPageListModel::StyleGridLines |
                            CPageListModel::StyleFullRowSelect);
    const bool standardDpi = m_sys.dotsPerInch == 96;
    QVector<CPageListModel::ColumnSpec> columns(CPageListModel::ColumnCount);
    columns[Col::ColLabel] = {QString(), 50, true, false};
    columns[Col::ColKey] = {QStringLiteral("ID"), 0, true, false};
    columns[Col::ColName] = {m_sys.titleName, standardDpi ? 150 : 200, true, false};
    columns[Col::ColDataType] = {QStringLiteral("DataType"), 0, false, false};
    columns[Col::ColValue] = {m_sys.titleData, standardDpi ? 260 : 320, false, false};
    columns[Col::ColAttribute] = {QStringLiteral("Attribute"), 0, false, false};
    columns[Col::ColUnit] = {m_sys.titleUnit, standardDpi ? 80 : 90, false, true};
    m_list.SetColumns(columns);
}

void CParamPage::StartReadPassIfConnected()
{
    if (m_sys.connected == 1) {
        m_readCursor = 1;
        ReadNext();
    } else {
        m_readCursor = 0;
    }
}

void CParamPage::ReadNext()
{
    if (m_readCursor <= 0)
        return;
    if (m_readCursor > m_list.GetItemCount()) {
        m_readCursor = 0;
        return;
    }
    // A request that the link did not take (not connected, the line held by another window,
    // the queue full) never gets an answer: the pass ends there instead of running ahead of it,
    // and the next reload starts it again.
    const int row = m_readCursor - 1;
    const uint32_t key = m_list.RowKey(row);
    const int queued = IsStringRow(row, m_list.GetItemText(row, Col::ColDataType))
                           ? m_sys.Link().RequestUpload(hwnd(), key)
                           : m_sys.Link().Request(hwnd(), SdoFrame::kRead, key, 0);
    if (queued < 0) {
        m_readCursor = 0;
        return;
    }
    ++m_readCursor;
}

void CParamPage::OnMessage(unsigned message, uint32_t wParam, uint32_t lParam)
{
    switch (message) {
    case WM_SDO_VALUE:
        OnValue(wParam, lParam);
        break;
    case WM_SDO_ABORT:
        MarkUnknown(lParam, AbortCodeText(wParam), true);
        break;
    case WM_SDO_FAILED:
        // An unconfirmed write is followed by what reading the object back finds; that outcome
        // shows, with the reason to doubt the write.
        if (wParam == kSdoUnconfirmed)
            m_unconfirmedWrites.insert(lParam);
        else
            MarkUnknown(lParam, SdoFailureText(wParam), false);
        break;
    case WM_SDO_UPLOAD:
        OnUpload(lParam);
        break;
    case WM_CELL_EDITED:
        OnCellEdited(static_cast<int>(wParam), static_cast<int>(lParam));
        break;
    case WM_ADD_OBJECT:
        OnAddObject(lParam);
        break;
    case WM_PAGE_CONTROL:
        OnPageControl(wParam);
        break;
    default:
        break;
    }
}

void CParamPage::OnValue(uint32_t raw, uint32_t key)
{
    QString dataType;
    int row = -1;
    const QString unit = m_sys.FindItemRow(m_list, key, dataType, row);

    // A string object read on its own (an added row) answers with its length only: its text
    // comes whole by an upload, and the pass goes on once that is in.
    if (IsStringRow(row, dataType)) {
        m_sys.Link().RequestUpload(hwnd(), key);
        return;
    }

    double value = 0.0;
    if (!RawToValue(dataType, raw, value)) {
        // A value the page cannot show is marked rather than left blank; the pass ends here.
        if (row >= 0) {
            m_list.SetItemText(row, Col::ColValue, QStringLiteral("???"));
            m_list.MarkAnswered(row);
        }
        return;
    }
    QString formula;
    bool done = false;
    if (!m_sys.ConvertForDisplay(hwnd(), key, unit, &value, formula, done))
        return;
    if (row >= 0) {
        m_list.SetItemText(row, Col::ColValue, FormatValue(unit, dataType, formula, value));
        m_list.SetItemNote(row, m_unconfirmedWrites.remove(key)
                                    ? QStringLiteral("%1; this is the value read back afterwards")
                                          .arg(SdoFailureText(kSdoUnconfirmed))
                                    : QString());
        m_list.MarkAnswered(row);
    }
    if (m_readCursor != 0)
        ReadNext();
}

void CParamPage::MarkUnknown(uint32_t key, const QString& why, bool answered)
{
    // The cell no longer shows a value known to be the drive's: it is marked, with why, and the
    // read pass goes on. A refusal is the drive's answer; a failure is none.
    QString dataType;
    int row = -1;
    m_sys.FindItemRow(m_list, key, dataType, row);
    if (row >= 0) {
        ShowUnknown(row, why);
        if (answered)
            m_list.MarkAnswered(row);
    }
    if (m_readCursor != 0)
        ReadNext();
}

void CParamPage::ShowUnknown(int row, const QString& why)
{
    m_list.SetItemText(row, Col::ColValue, QStringLiteral("????"));
    m_list.SetItemNote(row, why);
}

void CParamPage::MarkLineLost()
{
    m_list.MarkAllStale();
    // A live row would otherwise look as if it still followed the drive. Rows that already
    // say why they have no value (a refusal) keep their reason.
    const QString why = SdoFailureText(kSdoClosed);
    for (int row = 0; row < m_list.GetItemCount(); ++row) {
        if (m_list.GetItemText(row, Col::ColAttribute).contains(QLatin1Char('L')) &&
            m_list.GetItemNote(row).isEmpty() && !m_list.GetItemText(row, Col::ColValue).isEmpty())
            ShowUnknown(row, why);
    }
}

bool CParamPage::IsStringRow(int row, const QString& dataType) const
{
    return m_spec.variant == PageVariant::DriverProperty && row >= 0 && IsTextType(dataType);
}

void CParamPage::OnUpload(uint32_t key)
{
    QByteArray bytes;
    QString dataType;
    int row = -1;
    m_sys.FindItemRow(m_list, key, dataType, row);
    if (row >= 0 && m_sys.Link().TakeUpload(hwnd(), key, bytes)) {
        // The drive pads its strings with zero bytes; the text ends at the first one.
        const int end = bytes.indexOf('\0');
        m_list.SetItemText(row, Col::ColValue,
                           QString::fromLocal8Bit(end >= 0 ? bytes.left(end) : bytes));
        m_list.SetItemNote(row, QString());
        m_list.MarkAnswered(row);
    }
    if (m_readCursor != 0)
        ReadNext();
}

void CParamPage::OnCellEdited(int row, int column)
{
    if (m_sys.connected != 1 || row < 0 || row >= m_list.GetItemCount())
        return;
    if (column == Col::ColValue)
        m_sys.WriteItem(hwnd(), m_list, row);
    else if (column == Col::ColUnit)
        m_sys.Link().Request(hwnd(), SdoFrame::kRead, m_list.RowKey(row), 0);
}

void CParamPage::Relabel()
{
    if (m_spec.variant == PageVariant::BusPanel)
        m_sys.RenumberRowsFrom(m_list, 0);
}

void CParamPage::OnAddObject(uint32_t key)
{
    const int focused = focusedSelectionHook ? focusedSelectionHook() : -1;
    const int position =
        focused >= 0 && focused < m_list.GetItemCount() ? focused : m_list.GetItemCount();
    m_sys.AddPageItem(m_list, key, position, hwnd(), false);
    Relabel();
}

void CParamPage::OnPageControl(uint32_t action)
{
    switch (action) {
    case ActionActivate:
        StartReadPassIfConnected();
        m_sys.Link().EnableLoop(hwnd());
        m_active = 1;
        break;
    case ActionClose:
        m_readCursor = 0;
        m_active = 0;
        m_sys.Link().DisableLoop(hwnd());
        break;
    case ActionReload:
        if (m_spec.variant != PageVariant::TorqueMode && m_active)
            StartReadPassIfConnected();
        break;
    case ActionSave:
        if (saveHook)
            saveHook(*this);
        break;
    case ActionRestore:
        if (KeepsListInProject() && restoreHook)
            restoreHook(m_list);
        StartReadPassIfConnected();
        break;
    case ActionLinkState:
        // Values stay on show, marked as not current, until the pass after the reconnect
        // (action 2) or the next call-up (action 0) answers them again.
        if (m_sys.connected != 1)
            MarkLineLost();
        break;
    default:
        break;
    }
}

void CParamPage::CommandAdd()
{
    m_sys.browserRequesterWnd = hwnd();
    SendMessage(m_sys.mainFrameWnd, WM_OPEN_WINDOW, 2, 0);
}

void CParamPage::CommandDelete(const QVector<int>& selectedRows)
{
    m_sys.DeleteSelectedRows(m_list, selectedRows);
    Relabel();
}

QString CParamPage::CommandHelp(int focusedSelectedRow) const
{
    if (focusedSelectedRow < 0 || focusedSelectedRow >= m_list.GetItemCount())
        return {};
    const uint32_t key =
        static_cast<uint32_t>(DecTextToInt(m_list.GetItemText(focusedSelectedRow, Col::ColKey)));
    return m_sys.ObjectHelpText(key);
}

QStringList CParamPage::UnitChoices(const QVector<CUnitRecord>* records)
{
    const QString dec = FormatKeyword::kDec;
    if (records == nullptr || records->isEmpty())
        return {dec};
    QStringList choices;
    bool decLabel = false;
    for (const CUnitRecord& record : *records) {
        if (record.label.isEmpty())
            choices.append(record.name);
        else if (record.label == dec)
            decLabel = true;
        else
            choices.append(record.label);
    }
    if (decLabel)
        choices.append(dec);
    return choices;
}

QStringList CParamPage::GetUnitChoices(int row) const
{
    if (row < 0 || row >= m_list.GetItemCount())
        return {};
    return UnitChoices(m_sys.Units().LookupUnits(m_list.RowKey(row)));
}

QString CParamPage::WriteRefusal(int row, const QString& text) const
{
    if (row < 0 || row >= m_list.GetItemCount())
        return QString();
    const CRawWrite write = m_sys.PrepareWrite(
        m_handle.hwnd(), m_list.RowKey(row), m_list.GetItemText(row, Col::ColUnit),
        m_list.GetItemText(row, Col::ColDataType), text, false);
    return write.outcome == CRawWrite::Refused ? write.error : QString();
}
