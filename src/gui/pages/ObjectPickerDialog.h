#pragma once

#include <QDialog>

#include <cstdint>

class CSdoDatabase;
class QLineEdit;
class QTreeWidget;

// A simple search over the dictionary: the operator types part of an index or name and picks
// one object. Stands in for the dictionary browser when a page asks for an object to add.
class CObjectPickerDialog : public QDialog
{
    Q_OBJECT

public:
    CObjectPickerDialog(const CSdoDatabase& dictionary, QWidget* parent = nullptr);

    // The chosen object's key; 0 when none is chosen.
    uint32_t SelectedKey() const;
    // Shows only objects whose index ("6041", "6041:00") or name contains the text.
    void SetFilter(const QString& text);
    int VisibleCount() const;

private:
    void Fill(const CSdoDatabase& dictionary);
    void ApplyFilter(const QString& text);

    QLineEdit* m_filter;
    QTreeWidget* m_objects;
};
