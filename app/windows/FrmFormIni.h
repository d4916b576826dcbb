#pragma once
// The properties dialog: the default emulator and, for each emulator, the
// program that starts it and where it expects its disk image. Each load
// reads "bbc.ini" again and makes the stored emulator current.

#include "core/Configuration.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tavrin {

class Form1;

class FrmFormIni : public QDialog {
    Q_OBJECT

public:
    // The load: reads the file into the controls (ReadIni).
    explicit FrmFormIni(Form1& form1);

    // Fills the controls from the file and applies the stored emulator.
    void ReadIni();
    // The controls' text.
    FormIniValues values() const;

    void cmdUpdateEdits_Click();
    void cmdCancel_Click();

    QComboBox* cmbEmu = nullptr;
    QLineEdit* txtBeebEmDest = nullptr;
    QLineEdit* txtBeebEmExec = nullptr;
    QLineEdit* txtB_EmDest = nullptr;
    QLineEdit* txtB_EmExec = nullptr;
    QLineEdit* txtPcBBCDest = nullptr;
    QLineEdit* txtPcBBCExec = nullptr;
    QLineEdit* txtElectrEmExec = nullptr;
    QPushButton* cmdUpdateEdits = nullptr;
    QPushButton* cmdCancel = nullptr;

private:
    void setValues(const FormIniValues& v);

    // The values as read from the file, byte for byte.
    FormIniValues shown_;

    Form1& form1_;
};

} // namespace tavrin
