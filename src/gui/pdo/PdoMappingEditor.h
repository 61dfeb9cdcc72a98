#pragma once

#include "pdo/PdoApply.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class CSysData;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

// The mapping of one PDO as the operator edits it: the entries in order, objects added from the
// dictionary's mappable objects of the PDO's direction, a bar of the 64 bits a PDO carries, and
// "Apply", which runs CPdoApply (refusing before any write what the drive would refuse) with its
// log, then offers to store.
class CPdoMappingEditor : public QWidget
{
    Q_OBJECT

public:
    CPdoMappingEditor(CSysData& sys, const Pdo::Address& pdo, QWidget* parent = nullptr);
    ~CPdoMappingEditor() override;

    // Where the objects to add come from. By default a list of the dictionary's mappable objects
    // of the PDO's direction; the dictionary browser with its mappable filter can take its place
    // by calling back with the chosen key.
    using ObjectPicker = std::function<void(const std::function<void(uint32_t key)>& chosen)>;
    void SetObjectPicker(ObjectPicker picker) { m_picker = std::move(picker); }

    const std::vector<uint32_t>& entries() const { return m_entries; }
    void SetEntries(const std::vector<uint32_t>& entries);
    bool AddObject(uint32_t key); // false when the dictionary lacks it
    void RemoveSelected();
    void Apply();
    void ReadFromDrive();
    CPdoApply& apply() { return *m_apply; }
    QString logText() const;

private:
    void ShowEntries();
    void StateChanged(CPdoApply::State state);

    CSysData& m_sys;
    Pdo::Address m_pdo;
    std::vector<uint32_t> m_entries;
    std::unique_ptr<CPdoApply> m_apply;
    ObjectPicker m_picker;
    bool m_applying = false;
    QTableWidget* m_table;
    QComboBox* m_objects;
    QProgressBar* m_budget;
    QLabel* m_status;
    QPushButton* m_add;
    QPushButton* m_remove;
    QPushButton* m_read;
    QPushButton* m_applyButton;
    QPushButton* m_store;
    QPlainTextEdit* m_log;
};
