#pragma once
// The properties dialog: the default emulator and, for each emulator, the
// program that starts it and where it expects its disk image. Each load
// reads "bbc.ini" again and makes the stored emulator current.

#include "core/Configuration.h"

#include <QDialog>

#include <functional>

class QComboBox;
class QLabel;
class QFormLayout;
class QLineEdit;
class QPushButton;
class QToolButton;

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

    // A browse button beside each box, and beside each program box the mark
    // of a program that does not exist or cannot be run (empty otherwise).
    struct PathRow {
        QLineEdit* box;
        QToolButton* browse;
        QLabel* mark; // program boxes only
    };
    std::vector<PathRow> pathRows() const { return rows_; }

    // What a file dialog asks: a program to open, or a file to save as.
    struct FileRequest {
        QString caption;
        QString start; // the folder, or the proposed file
        bool save = false;
    };
    // Asks for a file; an empty answer is a cancel. A file dialog when unset.
    std::function<QString(const FileRequest&)> chooseFile;

    void browseProgram(QLineEdit* box);
    void browseDestination(QLineEdit* box);
    // Shows the mark beside a program box for the text it holds now.
    void checkProgramBox(QLineEdit* box);

private:
    void setValues(const FormIniValues& v);
    QWidget* pathRow(QLineEdit* box, bool program);
    void nameBoxesByLabels(QFormLayout* form);
    std::string boxValue(const QLineEdit* box) const;
    QString askForFile(const FileRequest& request);

    std::vector<PathRow> rows_;

    // The values as read from the file, byte for byte.
    FormIniValues shown_;

    Form1& form1_;
};

} // namespace tavrin
