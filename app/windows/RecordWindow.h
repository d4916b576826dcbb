#pragma once
// What the two record windows, "New record" and "Edit record", have in
// common: seven boxes for a catalogue record, Update and Cancel, a folder
// list and a file list to pick the software file from. The editing itself is
// the RecordEditor's; the window shows its state and forwards the clicks.

#include "catalogue/RecordEditor.h"

#include <QDialog>
#include <QString>

#include <array>
#include <memory>

class QLabel;
class QLineEdit;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;

namespace tavrin
{

class DirListBox;
class FileListBox;
class Form1;

class RecordWindow : public QDialog
{
    Q_OBJECT

  public:
    // The window's load steps; false when it cannot open (the reason has been
    // shown), and the window then deletes itself.
    bool load();
    // After Update, Delete or Cancel the window is done and deletes itself.
    bool isFinished() const { return finished_; }

    void cmdUpdateEdits_Click();
    void cmdCancel_Click();
    void dirMain_Change();
    void filMain_Click(QListWidgetItem* item);

    RecordEditor& editor() { return editor_; }

    QLabel* Label9 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* txtSoftware = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtPublisher = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* txtGenre = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* txtFilepath = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* txtData1 = nullptr;
    QLabel* Label6 = nullptr;
    QLineEdit* txtData2 = nullptr;
    QLabel* Label7 = nullptr;
    QPlainTextEdit* txtDescription1 = nullptr;
    QPushButton* cmdUpdateEdits = nullptr;
    QPushButton* cmdDelete = nullptr; // the Edit window's only
    QPushButton* cmdCancel = nullptr;
    DirListBox* dirMain = nullptr;
    FileListBox* filMain = nullptr;

  protected:
    RecordWindow(Form1& form1, RecordWindowKind kind);

    // Escape and the close box do what Cancel does.
    void reject() override;

    // Deletes the shown record; the Edit window's Delete button.
    void removeRecord();
    // Closes the window: the connection closes and the grid gets the focus.
    void finish();

    Form1& form1_;

  private:
    void buildControls();
    void showRecord();
    RecordBoxes boxTexts() const;
    QLineEdit* lineBox(int box) const;

    RecordEditor editor_;
    bool finished_ = false;
    std::array<QString, kRecordBoxCount> shownTexts_; // what each box held when filled
};

} // namespace tavrin
