#pragma once
// "Internet Source Select": the five Internet sources as option buttons,
// OK (the default button) and Cancel (also Escape and the close box). Not
// modal; it goes away when it has been answered.

#include <QDialog>

#include <array>

class QLabel;
class QPushButton;
class QRadioButton;

namespace tavrin
{

class Form1;

class FrmInternetSourceSelect : public QDialog
{
    Q_OBJECT

  public:
    explicit FrmInternetSourceSelect(Form1& form);

    // OK: the checked source becomes the grid's list.
    void cmdOK_Click();
    // Cancel: back to the local catalogue.
    void cmdCancel_Click();

    QLabel* lblHeading = nullptr;
    QLabel* lblSelect = nullptr;
    std::array<QRadioButton*, 5> Option{};
    QLabel* Picture1 = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

  public slots:
    void reject() override;

  private:
    Form1& form_;
    bool answered_ = false;
};

} // namespace tavrin
