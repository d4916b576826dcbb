#include "FrmCreateImg.h"

#include "core/Paths.h"
#include "core/Prompt.h"
#include "diskimage/ImageTools.h"

#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>

namespace tavrin
{
namespace
{

constexpr const char* kStartFolder = "Files"; // the program's software folder
constexpr int kPathRole = Qt::UserRole;

QStringList entriesOf(const QString& folder, QDir::Filters filters)
{
    return QDir(folder).entryList(filters | QDir::NoDotAndDotDot,
                                  QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
}

} // namespace

DirListBox::DirListBox(QWidget* parent) : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(12);
    setUniformRowHeights(true);
    setAccessibleName(QStringLiteral("Folders"));
    // Whole names, and a scroll bar when they are wider than the list.
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        if (item)
            choose(item->data(0, kPathRole).toString());
    });
    connect(this, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        if (item)
            setPath(item->data(0, kPathRole).toString());
    });
}

void DirListBox::choose(const QString& folder)
{
    if (folder == path_ || !QDir(folder).exists())
        return;
    path_ = folder;
    emit Change();
}

// A deep folder's name may lie right of the list's edge: the list scrolls
// to it once the names have been measured.
void DirListBox::revealCurrent()
{
    QTreeWidgetItem* item = currentItem();
    if (!item)
        return;
    const QRect box = visualItemRect(item);
    if (box.left() >= 0 && box.left() + box.width() <= viewport()->width())
        return;
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + box.left() - indentation());
}

bool DirListBox::setPath(const QString& folder)
{
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.exists())
        return false;
    const QString absolute = QDir::cleanPath(dir.absolutePath());
    const bool changed = absolute != path_;
    path_ = absolute;
    fill();
    if (changed)
        emit Change();
    return true;
}

void DirListBox::fill()
{
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirIcon);

    // The chain from the root down to the current folder.
    QStringList chain;
    for (QDir dir(path_);; ) {
        chain.prepend(dir.absolutePath());
        if (!dir.cdUp())
            break;
    }
    QTreeWidgetItem* parent = nullptr;
    for (const QString& folder : chain) {
        const QString name = folder == QDir::rootPath() ? folder : QDir(folder).dirName();
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
        item->setText(0, name);
        item->setIcon(0, open);
        item->setData(0, kPathRole, folder);
        item->setToolTip(0, QDir::toNativeSeparators(folder));
        parent = item;
    }
    for (const QString& name : entriesOf(path_, QDir::Dirs)) {
        auto* item = new QTreeWidgetItem(parent);
        item->setText(0, name);
        item->setIcon(0, closed);
        item->setData(0, kPathRole, QDir(path_).filePath(name));
        item->setToolTip(0, QDir::toNativeSeparators(QDir(path_).filePath(name)));
    }
    expandAll();
    setCurrentItem(parent);
    scrollToItem(parent);
    QTimer::singleShot(0, this, &DirListBox::revealCurrent);
}

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent)
{
    setAccessibleName(QStringLiteral("Files"));
}

void FileListBox::setPath(const QString& folder)
{
    path_ = folder;
    refresh();
}

void FileListBox::refresh()
{
    clear();
    addItems(entriesOf(path_, QDir::Files));
}

FrmCreateImg::FrmCreateImg(Prompt& prompt, QWidget* parent) : QDialog(parent), prompt_(prompt)
{
    setObjectName(QStringLiteral("frmCreateImg"));
    setWindowTitle(QStringLiteral("Create an .IMG file"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    Label9 = new QLabel(
        QStringLiteral("Name the file and select the folder to store the .IMG file."), this);
    Label9->setObjectName(QStringLiteral("Label9"));
    Label1 = new QLabel(QStringLiteral("Filename"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    txtFilename = new QLineEdit(this);
    txtFilename->setObjectName(QStringLiteral("txtFilename"));
    Label1->setBuddy(txtFilename);
    dirMain = new DirListBox(this);
    dirMain->setObjectName(QStringLiteral("dirMain"));
    filMain = new FileListBox(this);
    filMain->setObjectName(QStringLiteral("filMain"));
    cmdCreate = new QPushButton(QStringLiteral("Create"), this);
    cmdCreate->setObjectName(QStringLiteral("cmdCreate"));
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    // Enter in the name box is not "Create": the name is checked only on a click.
    cmdCreate->setAutoDefault(false);
    cmdCancel->setAutoDefault(false);

    auto* grid = new QGridLayout(this);
    grid->addWidget(Label9, 0, 0, 1, 2);
    grid->addWidget(Label1, 1, 0, 1, 2);
    grid->addWidget(txtFilename, 2, 0, 1, 2);
    grid->addWidget(dirMain, 3, 0);
    grid->addWidget(filMain, 3, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdCreate);
    buttons->addWidget(cmdCancel);
    grid->addLayout(buttons, 4, 0, 1, 2);
    resize(520, 360);

    connect(dirMain, &DirListBox::Change, this, &FrmCreateImg::dirMain_Change);
    connect(cmdCreate, &QPushButton::clicked, this, &FrmCreateImg::cmdCreate_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &FrmCreateImg::cmdCancel_Click);

    // A program folder without "Files" starts at the program folder itself.
    if (!dirMain->setPath(QString::fromStdString(OsPathString(kStartFolder))))
        dirMain->setPath(QDir::currentPath());
}

void FrmCreateImg::dirMain_Change() { filMain->setPath(dirMain->path()); }

void FrmCreateImg::cmdCreate_Click()
{
    const CreateImgOutcome outcome =
        CreateImgFile(filMain->path().toStdString(), txtFilename->text().toStdString());
    if (outcome.created)
        filMain->refresh();
    const bool failed = !outcome.created && !outcome.nameRefused;
    prompt_.messageBox(outcome.message, PromptButtons::Ok,
                       failed ? PromptIcon::Exclamation : PromptIcon::None);
    if (outcome.created)
        close();
}

void FrmCreateImg::cmdCancel_Click() { close(); }

} // namespace tavrin
