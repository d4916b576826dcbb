#pragma once
// The question after an emulator ran on a catalogue's ".img" image: OK
// copies the emulator's working copy back over the catalogue's image, No
// leaves it alone. Shown modally.

#include <QDialog>

class QLabel;
class QPushButton;

namespace tavrin {

class Launcher;

class FrmUpdateImg : public QDialog {
    Q_OBJECT

public:
    FrmUpdateImg(Launcher& launcher, QWidget* parent = nullptr);

    void OKButton_Click();
    void NoButton_Click();

    QLabel* Image1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* NoButton = nullptr;

private:
    Launcher& launcher_;
};

} // namespace tavrin
