#pragma once

#include <QDialog>

#include <cstdint>
#include <functional>

class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class TBaseMember;

// The member test dialog, "测试": the operator works the card device by hand
// (port, beep, read, write, a sample print) on the same device object the
// request listener uses. Outcomes go to the log file; the dialog shows only
// what a read returns.
class TMemberTestForm : public QDialog {
    Q_OBJECT

public:
    explicit TMemberTestForm(QWidget* owner = nullptr);

protected:
    // Enter presses the button that has the focus and nothing else: no
    // button is the default, so a card number confirmed with Enter in its
    // field never sets off some other device operation.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OpenPortBtnClick();
    void ClosePortBtnClick();
    void beepBtnClick();
    void ReadCardBtnClick();
    void WriteCardBtnClick();
    void PrintCardBtnClick();

    // The card channel named by ChannelCmb's text.
    int32_t Channel() const;
    // Runs one operation on CurrentMemberDevice (none when there is no
    // device) under a busy cursor, in its turn at the device, so that it never
    // interleaves with a request's card transaction.
    static void UseDevice(const std::function<void(TBaseMember&)>& operation);

    QPushButton* m_openPortBtn;
    QPushButton* m_closePortBtn;
    QLineEdit* m_cardNoEdit;
    QLineEdit* m_passwordEdit;
    QPushButton* m_readCardBtn;
    QPushButton* m_writeCardBtn;
    QPushButton* m_beepBtn;
    QComboBox* m_channelCmb;
    QPushButton* m_printCardBtn;
    QLabel* m_label1;
    QLabel* m_label2;
    QLabel* m_label3;
};

// Shows the test dialog, with no owner, in the middle of the screen, and
// returns when it has closed.
void ShowMemberTestDialog();
