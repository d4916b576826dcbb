#include "RecordWindow.h"

#include "Form1.h"
#include "FrmCreateImg.h"
#include "Twips.h"
#include "core/Paths.h"

#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace tavrin
{
namespace
{

QFont boldFont()
{
    // A bold sans-serif font of 8.25 points stands in for MS Sans Serif.
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    font.setBold(true);
    return font;
}

} // namespace

RecordWindow::RecordWindow(Form1& form1, RecordWindowKind kind)
    : QDialog(&form1, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      form1_(form1), editor_(kind, form1.f, form1.prompt())
{
    const bool isNew = kind == RecordWindowKind::New;
    setObjectName(isNew ? QStringLiteral("frmNewRecord") : QStringLiteral("frmEditDatabase"));
    setWindowTitle(isNew ? QStringLiteral("New record") : QStringLiteral("Edit record"));
    setModal(false);
    setFixedSize(twipsToPixels(10215, this), twipsToPixels(5850, this));
    buildControls();
    connect(this, &QDialog::finished, this, &QObject::deleteLater);

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect box(QPoint(), size());
        box.moveCenter(screen->availableGeometry().center());
        move(box.topLeft());
    }
}

void RecordWindow::buildControls()
{
    const bool isNew = editor_.kind() == RecordWindowKind::New;
    auto label = [this](QLabel*& l, const char* name, const char* caption, QRect at) {
        l = new QLabel(QString::fromUtf8(caption), this);
        l->setObjectName(QString::fromUtf8(name));
        l->setGeometry(at);
    };
    auto line = [this](QLineEdit*& box, const char* name, QRect at) {
        box = new QLineEdit(this);
        box->setObjectName(QString::fromUtf8(name));
        box->setGeometry(at);
    };
    auto button = [this](QPushButton*& b, const char* name, const char* caption, QRect at) {
        b = new QPushButton(QString::fromUtf8(caption), this);
        b->setObjectName(QString::fromUtf8(name));
        b->setFont(boldFont());
        b->setAutoDefault(false); // Enter in a box is no click
        b->setGeometry(at);
    };

    label(Label9, "Label9", "Fields marked * are mandatory", twipsRect(120, 120, 3015, 375, this));
    Label9->setFont(boldFont());
    label(Label1, "Label1", "Software*", twipsRect(120, 480, 1215, 375, this));
    line(txtSoftware, "txtSoftware", twipsRect(1200, 480, 2895, 375, this));
    label(Label2, "Label2", "Publisher*", twipsRect(120, 960, 1095, 375, this));
    line(txtPublisher, "txtPublisher", twipsRect(1200, 960, 2895, 375, this));
    label(Label3, "Label3", "Genre", twipsRect(120, 1440, 1215, 375, this));
    line(txtGenre, "txtGenre", twipsRect(1200, 1440, 2895, 375, this));
    label(Label4, "Label4", "Filepath*", twipsRect(120, 1920, 1215, 375, this));
    line(txtFilepath, "txtFilepath", twipsRect(1200, 1920, 2895, 375, this));
    label(Label5, "Label5", "Data1", twipsRect(120, 2400, 1215, 375, this));
    line(txtData1, "txtData1", twipsRect(1200, 2400, 2895, 375, this));
    txtData1->setReadOnly(true);
    label(Label6, "Label6", "Data2", twipsRect(120, 2880, 1215, 375, this));
    line(txtData2, "txtData2", twipsRect(1200, 2880, 2895, 375, this));
    txtData2->setReadOnly(true);
    label(Label7, "Label7", "Description1", twipsRect(120, 3360, 1215, 375, this));
    txtDescription1 = new QPlainTextEdit(this);
    txtDescription1->setObjectName(QStringLiteral("txtDescription1"));
    txtDescription1->setTabChangesFocus(true);
    txtDescription1->setGeometry(twipsRect(1200, 3360, 4815, 1815, this));
    Label1->setBuddy(txtSoftware);
    Label2->setBuddy(txtPublisher);
    Label3->setBuddy(txtGenre);
    Label4->setBuddy(txtFilepath);
    Label5->setBuddy(txtData1);
    Label6->setBuddy(txtData2);
    Label7->setBuddy(txtDescription1);

    button(cmdUpdateEdits, "cmdUpdateEdits", "Update", twipsRect(1200, 5280, 1095, 375, this));
    if (!isNew)
        button(cmdDelete, "cmdDelete", "Delete", twipsRect(2400, 5280, 1095, 375, this));
    button(cmdCancel, "cmdCancel", "Cancel", twipsRect(isNew ? 3000 : 3600, 5280, 1095, 375, this));

    dirMain = new DirListBox(this);
    dirMain->setObjectName(QStringLiteral("dirMain"));
    dirMain->setGeometry(twipsRect(6120, 120, 1815, 5040, this));
    filMain = new FileListBox(this);
    filMain->setObjectName(QStringLiteral("filMain"));
    filMain->setGeometry(twipsRect(8040, 120, 2055, 4965, this));

    // The tab order: Update, the boxes top to bottom, Cancel (the Edit
    // window's Delete after it), then the file list and the folder list.
    QList<QWidget*> order = {cmdUpdateEdits, txtSoftware, txtPublisher,    txtGenre, txtFilepath,
                             txtData1,       txtData2,    txtDescription1, cmdCancel};
    if (cmdDelete)
        order << cmdDelete;
    order << filMain << dirMain;
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
    cmdUpdateEdits->setFocus();

    connect(cmdUpdateEdits, &QPushButton::clicked, this, &RecordWindow::cmdUpdateEdits_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &RecordWindow::cmdCancel_Click);
    if (cmdDelete)
        connect(cmdDelete, &QPushButton::clicked, this, &RecordWindow::removeRecord);
    connect(dirMain, &DirListBox::Change, this, &RecordWindow::dirMain_Change);
    connect(filMain, &QListWidget::itemClicked, this, &RecordWindow::filMain_Click);
    connect(filMain, &QListWidget::itemActivated, this, &RecordWindow::filMain_Click);
}

QLineEdit* RecordWindow::lineBox(int box) const
{
    switch (box) {
    case boxPublisher:
        return txtPublisher;
    case boxSoftware:
        return txtSoftware;
    case boxGenre:
        return txtGenre;
    case boxFilepath:
        return txtFilepath;
    case boxData1:
        return txtData1;
    case boxData2:
        return txtData2;
    default:
        return nullptr; // the description is a multi-line box
    }
}

bool RecordWindow::load()
{
    // The New window starts in the software folder the configuration names,
    // the Edit window in "Files"; a missing folder gives the program's folder.
    const std::string start =
        editor_.kind() == RecordWindowKind::New ? form1_.f.sDiskImages : std::string("Files");
    if (!dirMain->setPath(QString::fromStdString(OsPathString(start))))
        dirMain->setPath(QDir::currentPath());

    if (!editor_.load()) {
        finished_ = true;
        deleteLater();
        return false;
    }
    showRecord();
    return true;
}

void RecordWindow::showRecord()
{
    const RecordBoxes boxes = editor_.ShowRecord();
    for (int b = 0; b < kRecordBoxCount; ++b) {
        const QString text = QString::fromStdString(boxes[b]);
        if (QLineEdit* box = lineBox(b)) {
            // A box takes at most its field's characters; a longer stored
            // value is shown whole, and Update says that it does not fit.
            const int size = editor_.fieldSize(static_cast<RecordBox>(b));
            box->setMaxLength(size > 0 ? std::max<int>(size, static_cast<int>(text.size()))
                                       : 32767);
            box->setText(text);
            shownTexts_[b] = box->text();
        } else {
            txtDescription1->setPlainText(text);
            shownTexts_[b] = txtDescription1->toPlainText();
        }
    }
}

RecordBoxes RecordWindow::boxTexts() const
{
    const RecordBoxes shown = editor_.ShowRecord();
    RecordBoxes out;
    for (int b = 0; b < kRecordBoxCount; ++b) {
        const QLineEdit* box = lineBox(b);
        const QString text = box ? box->text() : txtDescription1->toPlainText();
        // A box as it was filled hands back the record's own text.
        out[b] = text == shownTexts_[b] ? shown[b] : text.toStdString();
    }
    return out;
}

void RecordWindow::dirMain_Change()
{
    filMain->setPath(dirMain->path());
}

void RecordWindow::filMain_Click(QListWidgetItem* item)
{
    if (!item)
        return;
    const std::optional<FileChoice> choice =
        editor_.fileChosen(dirMain->path().toStdString(), item->text().toStdString());
    if (!choice)
        return;
    txtFilepath->setMaxLength(
        std::max(txtFilepath->maxLength(), static_cast<int>(choice->filepath.size())));
    txtFilepath->setText(QString::fromStdString(choice->filepath));
    if (choice->publisher)
        txtPublisher->setText(QString::fromStdString(*choice->publisher));
}

// The main window then shows the row the reloaded grid ends on, with the
// description as stored (the Edit window leaves an emptied one as it was).
void RecordWindow::cmdUpdateEdits_Click()
{
    if (!editor_.ValidateRecord(boxTexts()))
        return;
    finish();
}

void RecordWindow::cmdCancel_Click()
{
    if (editor_.iNewRecord() != 0) {
        if (editor_.DeleteRecord())
            finish();
        return;
    }
    finish();
}

void RecordWindow::removeRecord()
{
    if (editor_.DeleteRecord())
        finish();
}

void RecordWindow::reject()
{
    cmdCancel_Click();
}

void RecordWindow::finish()
{
    if (finished_)
        return;
    finished_ = true;
    editor_.CloseRecordWindow();
    form1_.focusGrid();
    QDialog::done(QDialog::Rejected);
}

} // namespace tavrin
