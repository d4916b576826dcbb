#pragma once
// The emulator set-up assistant: for each emulator slot what was found on
// this computer and a choice among it, a folder to look in as well, and the
// default emulator. Save writes the choices to "bbc.ini" and makes the
// default emulator current; Try it saves and runs the catalogue's first
// title with it.

#include "launch/EmulatorSetUp.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;

namespace tavrin {

class Form1;

class FrmSetUpEmulators : public QDialog {
    Q_OBJECT

public:
    explicit FrmSetUpEmulators(Form1& form1, EmulatorSearch search = CurrentEmulatorSearch());

    // Looks again, also in `folder`; a known program found there is chosen.
    void lookInFolder(const QString& folder);
    void cmdFolder_Click();
    void cmdSave_Click();
    void cmdTryIt_Click();
    void cmdCancel_Click();

    QComboBox* cmbBeebEm = nullptr;
    QComboBox* cmbB_Em = nullptr;
    QComboBox* cmbElectrEm = nullptr;
    QComboBox* cmbEmu = nullptr; // the default emulator
    QPushButton* cmdFolder = nullptr;
    QPushButton* cmdTryIt = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdCancel = nullptr;

    // Asks for the folder to look in; a folder dialog when unset.
    std::function<QString()> chooseFolder;

private:
    struct Slot {
        Emulator emulator;
        QComboBox* choice;
        QLabel* shows; // what the choice writes
        std::vector<FoundEmulator> found; // item i + 1 of the choice
    };
    void lookAgain();
    void fillChoices(bool preferPicked);
    void showChoice(Slot& slot);
    void chooseDefault();
    // Writes the choices; false when refused or not written (said why).
    bool save();
    void message(const std::string& text);
    std::filesystem::path appFolder() const;

    Form1& form1_;
    EmulatorSearch search_;
    FormIniValues stored_;
    std::vector<Slot> slots_;
    bool defaultChosenByUser_ = false;
};

} // namespace tavrin
