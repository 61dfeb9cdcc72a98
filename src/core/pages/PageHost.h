#pragma once

#include "PageListModel.h"
#include "comm/CtrlLink.h"
#include "comm/LinkFlags.h"
#include "units/FormulaEvaluator.h"
#include "units/UnitTable.h"

#include <QString>

#include <cstdint>

// What a parameter page needs from the program around it: the control link and its flags, the
// list layout for the screen, the project stamp, and the page-list operations. The program-wide
// data object provides it; the page logic never reaches further up.
class CPageHost : public CLinkFlags
{
public:
    virtual ~CPageHost() = default;

    virtual CCtrlLink& Link() = 0;
    virtual CUnitTable& Units() = 0;
    virtual CFormulaEvaluator& Evaluator() = 0;

    virtual void InitParamList(CPageListModel& list) = 0;
    // Adds the rows of the page file; false (and reported) when the file is refused whole.
    virtual bool LoadPageDefinition(CPageListModel& list, const QString& pageName, HWND hwnd) = 0;
    virtual void AddPageItem(CPageListModel& list, uint32_t key, int row, HWND hwnd,
                             bool includeStrings) = 0;
    virtual QString FindItemRow(const CPageListModel& list, uint32_t key, QString& dataType,
                                int& row) const = 0;
    virtual void RenumberRowsFrom(CPageListModel& list, int base) = 0;
    // Deletes the rows the view has selected and renumbers the rows below.
    virtual void DeleteSelectedRows(CPageListModel& list, QVector<int> selectedRows) = 0;
    virtual void WriteItem(HWND hwnd, const CPageListModel& list, int row) = 0;
    virtual QString ObjectHelpText(uint32_t key) const = 0; // empty when the key is unknown
    virtual void ShowObjectHelp(uint32_t key) const = 0;
    // Text typed in a unit as the raw value to write, checked against the object's type; a write
    // that waits for a drive constant is parked when park is set.
    virtual CRawWrite PrepareWrite(HWND window, uint32_t key, const QString& unit,
                                   const QString& dataType, const QString& text, bool park) = 0;
    // Raw to shown value through the unit formula.
    virtual bool ConvertForDisplay(HWND window, uint32_t key, const QString& unit, double* value,
                                   QString& formula, bool& done) = 0;

    // List column titles and widths (name, data, unit, and two more), screen dots per inch.
    QString titleName, titleData, titleUnit;
    int columnWidths[5] = {0, 0, 0, 0, 0};
    int dotsPerInch = 96;

    QString projectOpenStamp;
    HWND currentPageWnd = kNoWindow;
    HWND browserRequesterWnd = kNoWindow;
};
