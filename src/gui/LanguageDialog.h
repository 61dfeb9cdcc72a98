#pragma once

#include <QDialog>

class CSysData;
class QRadioButton;

// Chooses the language of the next start ("lang" in sys.ini). A system that is not Chinese
// always gets English: the dialog writes it on opening and refuses Chinese on OK.
class CLanguageDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CLanguageDialog(CSysData& sys, QWidget* parent = nullptr);

    // OK: writes the choice and closes, or refuses Chinese and stays open.
    void Ok();
    QRadioButton* chineseButton() const { return m_chinese; }
    QRadioButton* englishButton() const { return m_english; }

private:
    CSysData& m_sys;
    QRadioButton* m_chinese = nullptr;
    QRadioButton* m_english = nullptr;
};
