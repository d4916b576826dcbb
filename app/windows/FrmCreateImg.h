#pragma once
// The dialog "Create an .IMG file": a name, a folder chosen in a folder list
// (which starts at "Files") and a file list showing what that folder holds;
// "Create" writes a blank 80-track image there.

#include <QDialog>
#include <QListWidget>
#include <QTreeWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tavrin
{

class Prompt;

// A folder list: the chain of folders from the root down to the open
// folder, each open inside the one before, and in the open folder its
// subfolders. A click on a folder makes it the path (the file list shows
// its files); activating one (double click or Enter) also opens it. Names
// are shown whole: the list scrolls sideways, to the current folder's name
// when it opens one.
class DirListBox : public QTreeWidget
{
    Q_OBJECT

  public:
    explicit DirListBox(QWidget* parent = nullptr);

    // The current folder, absolute.
    QString path() const { return path_; }
    // Shows `folder`; signals Change when the path changed. False, with
    // nothing changed, when it is no folder.
    bool setPath(const QString& folder);

  signals:
    void Change();

  private:
    void fill();
    void choose(const QString& folder);
    void revealCurrent();
    QString path_;
};

// A file list: the files of one folder, by name.
class FileListBox : public QListWidget
{
    Q_OBJECT

  public:
    explicit FileListBox(QWidget* parent = nullptr);

    QString path() const { return path_; }
    void setPath(const QString& folder);
    // Lists the folder again.
    void refresh();

  private:
    QString path_;
};

class FrmCreateImg : public QDialog
{
    Q_OBJECT

  public:
    // The dialog's load: the folder list starts at "Files" (the current
    // folder when there is none). Closing the dialog deletes it.
    explicit FrmCreateImg(Prompt& prompt, QWidget* parent = nullptr);

    void cmdCreate_Click();
    void cmdCancel_Click();
    void dirMain_Change();

    QLabel* Label9 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* txtFilename = nullptr;
    DirListBox* dirMain = nullptr;
    FileListBox* filMain = nullptr;
    QPushButton* cmdCreate = nullptr;
    QPushButton* cmdCancel = nullptr;

  private:
    Prompt& prompt_;
};

} // namespace tavrin
