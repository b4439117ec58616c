#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TOption;

// The member options dialog, "会员卡接口配置": shows MemberOption, and on OK
// saves the entries and puts them in force for the next card operation.
class TOptionForm : public QDialog {
    Q_OBJECT

public:
    explicit TOptionForm(QWidget* owner = nullptr);

private:
    void FormCreate();
    // Nothing changes, in memory or in the file, unless every entry converts
    // and the file was written; otherwise the error box tells why and the
    // dialog stays open with the operator's entries.
    void OKBtnClick();
    void CancelBtnClick();

    // MemberOption with the dialog's entries. Throws on the first number
    // field that does not convert, in the order of the fields.
    TOption EnteredOptions() const;

    QLabel* m_lbl1;
    QLabel* m_lbl2;
    QLabel* m_lbl3;
    QLabel* m_lbl4;
    QLabel* m_lbl5;
    QLabel* m_lbl6;
    QLabel* m_lbl7;
    QLabel* m_lbl8;
    QComboBox* m_cbbPortName;
    QComboBox* m_cbbBandrate;
    QLineEdit* m_edtBlockNoEdit;
    QLineEdit* m_edtRowlen;
    QLineEdit* m_edtYState;
    QPlainTextEdit* m_mmoadtext;
    QPushButton* m_okBtn;
    QPushButton* m_cancelBtn;
};

// Shows the options dialog, with no owner, in the middle of the screen, and
// returns when it has closed. The driver's ShowOptions runs this.
void ShowOptionForm();
