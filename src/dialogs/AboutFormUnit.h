#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// The About box: the interface title and version beside the artwork.
class TAboutForm : public QDialog {
    Q_OBJECT

public:
    explicit TAboutForm(QWidget* owner = nullptr);

private:
    void FormCreate();

    QLabel* m_image1;
    QLabel* m_lblAppTitle;
    QLabel* m_lblVersion;
    QLabel* m_lblCopyright;
    QLabel* m_lblCompany;
    QPlainTextEdit* m_mmo;
    QPushButton* m_btnOK;
};

// Shows the About box, with no owner, in the middle of the screen.
void ShowAboutBox();
