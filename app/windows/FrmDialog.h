#pragma once
// The warning before "&New database": OK replaces the catalogue with a new
// one holding a single blank record and shows it; Cancel changes nothing.

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace tavrin {

class Form1;

class FrmDialog : public QDialog {
    Q_OBJECT

public:
    explicit FrmDialog(Form1& form1);

    void OKButton_Click();
    void CancelButton_Click();

    QLabel* Label1 = nullptr;
    QPlainTextEdit* Text1 = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;

    static constexpr const char* kWarning =
        "You are about to delete your current database \r\n"
        "and create a new file. Click OK to continue or \r\n"
        "else click Cancel to retain your existing database.\r\n";

private:
    Form1& form1_;
};

} // namespace tavrin
