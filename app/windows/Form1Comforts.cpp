// The main window's everyday comforts: finding a title (search box and
// type-ahead), the progress of "&Sort database and exit", and running an
// image file that is not in the catalogue.

#include "Accessibility.h"
#include "BusyCursor.h"
#include "Form1.h"
#include "Twips.h"
#include "catalogue/Catalogue.h"
#include "core/FileHelpers.h"
#include "launch/Launcher.h"

#include <QAction>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressDialog>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <algorithm>

namespace tavrin {
namespace {

// "&Sort database and exit" shows its progress from this many records on.
constexpr int kProgressFrom = 10000;

// A dropped or chosen file as the bytes of its name on disk.
std::string localName(const QString& file) { return QFile::encodeName(file).toStdString(); }

} // namespace

// ---------------------------------------------------------------------------
// Finding a title.

void Form1::buildSearch()
{
    txtSearch = new QLineEdit(client);
    txtSearch->setObjectName(QStringLiteral("txtSearch"));
    txtSearch->setPlaceholderText(QStringLiteral("Publisher, title or genre"));
    txtSearch->setClearButtonEnabled(true);
    txtSearch->setAccessibleName(QStringLiteral("Search"));
    for (QToolButton* clear : txtSearch->findChildren<QToolButton*>())
        clear->setAccessibleName(QStringLiteral("Clear the search"));
    txtSearch->setGeometry(twipsRect(2520, 1335, 4620, 330, this));
    txtSearch->hide();
    txtSearch->installEventFilter(this);
    connect(txtSearch, &QLineEdit::textChanged, this, &Form1::applySearch);

    mnuFind = new QAction(QStringLiteral("&Find"), this);
    mnuFind->setObjectName(QStringLiteral("mnuFind"));
    mnuFind->setShortcut(QKeySequence::Find);
    mnuFind->setShortcutContext(Qt::WindowShortcut);
    addAction(mnuFind);
    connect(mnuFind, &QAction::triggered, this, &Form1::openSearch);

    MSFlexGridView->installEventFilter(this);

    // The view shows every row again after the grid was refilled, sorted or
    // changed; the search then runs again once the change is over.
    FlexGrid* grid = &f.MSFlexGrid;
    connect(grid, &QAbstractItemModel::modelReset, this, &Form1::searchLater);
    connect(grid, &QAbstractItemModel::layoutChanged, this, &Form1::searchLater);
    connect(grid, &QAbstractItemModel::rowsInserted, this, &Form1::searchLater);
    connect(grid, &QAbstractItemModel::rowsRemoved, this, &Form1::searchLater);
    connect(grid, &QAbstractItemModel::dataChanged, this, &Form1::searchLater);

    setAcceptDrops(true);
}

void Form1::openSearch()
{
    txtSearch->show();
    txtSearch->raise();
    showHistoryFilters(true);
    txtSearch->setFocus(Qt::ShortcutFocusReason);
    txtSearch->selectAll();
}

void Form1::closeSearch()
{
    {
        const QSignalBlocker block(txtSearch);
        txtSearch->clear();
    }
    txtSearch->hide();
    showHistoryFilters(false);
    applySearch();
    // The selected row stays selected, now among all rows.
    const QModelIndex current = f.MSFlexGrid.index(f.MSFlexGrid.Row(), f.MSFlexGrid.Col());
    if (current.isValid())
        MSFlexGridView->scrollTo(current, QAbstractItemView::PositionAtCenter);
    focusGrid();
}

void Form1::searchLater()
{
    if (searchPending_ || !txtSearch || (txtSearch->text().isEmpty() && !historyFiltersOn()))
        return;
    searchPending_ = true;
    QTimer::singleShot(0, this, [this] {
        searchPending_ = false;
        searchText_.clear(); // the rows changed: no narrowing from the last result
        applySearch();
    });
}

void Form1::applySearch()
{
    const std::string text = !txtSearch->isHidden()
                                 ? txtSearch->text().toStdString()
                                 : std::string();
    RowsShown shown;
    if (!text.empty()) {
        // A longer text shows no row the shorter one hid.
        const bool narrowing = !searchText_.empty() && text.starts_with(searchText_) &&
                               static_cast<int>(rowsShown_.size()) == f.MSFlexGrid.Rows();
        shown = GridSearchRows(f.MSFlexGrid, text, narrowing ? &rowsShown_ : nullptr);
    }
    searchText_ = text;
    filterByHistory(shown);
    showRows(shown);
    const std::vector<int> order = recentlyPlayedOrder(shown);
    orderViewRows(order);
    if (shown.empty())
        return;
    // The current row hidden: the first shown row becomes the current
    // title (the window follows it).
    const int row = f.MSFlexGrid.Row();
    const bool currentShown = row >= 0 && row < static_cast<int>(shown.size()) &&
                              shown[static_cast<size_t>(row)];
    if (currentShown)
        return;
    const auto first = std::find(shown.begin(), shown.end(), 1);
    if (first == shown.end())
        return;
    f.MSFlexGrid.setRow(order.empty() ? static_cast<int>(first - shown.begin()) : order.front());
}

// Hides and shows rows of the view, only those that change. The header
// hears nothing while the rows change, so that a change of 100,000 rows
// costs one layout, not one per row.
void Form1::showRows(const RowsShown& shown)
{
    QHeaderView* header = MSFlexGridView->verticalHeader();
    const int rows = header->count();
    const bool all = static_cast<int>(shown.size()) != rows;
    bool changed = false;
    MSFlexGridView->setUpdatesEnabled(false);
    {
        const QSignalBlocker block(header);
        for (int r = 0; r < rows; ++r) {
            const bool hide = !all && !shown[static_cast<size_t>(r)];
            if (header->isSectionHidden(r) != hide) {
                header->setSectionHidden(r, hide);
                changed = true;
            }
        }
    }
    MSFlexGridView->setUpdatesEnabled(true);
    rowsShown_ = all ? RowsShown() : shown;
    if (changed) {
        QMetaObject::invokeMethod(MSFlexGridView, "updateGeometries");
        MSFlexGridView->viewport()->update();
    }
}

bool Form1::typeAhead(const QString& typed, qint64 nowMs)
{
    const std::string& text = typeAhead_.add(typed.toStdString(), nowMs);
    const int row = TypeAheadRow(f.MSFlexGrid, text, rowsShown_);
    if (row < 0)
        return false;
    f.MSFlexGrid.setRow(row);
    const QModelIndex current = f.MSFlexGrid.index(row, f.MSFlexGrid.Col());
    MSFlexGridView->scrollTo(current);
    return true;
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    // A press on the grid: its click shows the row again unless the press
    // moves to another row (which the window follows at once).
    if (event->type() == QEvent::MouseButtonPress && watched == MSFlexGridView->viewport())
        shownSincePress_ = false;
    if (event->type() != QEvent::KeyPress)
        return QMainWindow::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Escape && !txtSearch->isHidden() &&
        (watched == txtSearch || watched == MSFlexGridView)) {
        closeSearch();
        return true;
    }
    if (watched == txtSearch && (key->key() == Qt::Key_Down || key->key() == Qt::Key_Return ||
                                 key->key() == Qt::Key_Enter)) {
        focusGrid();
        return true;
    }
    if (watched == MSFlexGridView) {
        const QString text = key->text();
        const bool command = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
        if (!command && !text.isEmpty() && text.at(0).isPrint()) {
            typeAhead(text, QDateTime::currentMSecsSinceEpoch());
            return true; // the view's own search would jump elsewhere
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// "&Sort database and exit": the busy cursor, and a progress bar for a
// large catalogue.

void Form1::writeBackWithProgress()
{
    BusyCursor busy;
    std::unique_ptr<QProgressDialog> bar;
    std::function<void(int, int)> progress;
    if (f.iProgRange > kProgressFrom) {
        bar = std::make_unique<QProgressDialog>(QStringLiteral("Writing the catalogue..."), QString(),
                                                0, f.iProgRange, this);
        bar->setObjectName(QStringLiteral("prgSortExit"));
        nameProgressBar(*bar, QStringLiteral("Records written"));
        bar->setWindowTitle(windowTitle());
        bar->setWindowModality(Qt::WindowModal);
        bar->setMinimumDuration(0);
        bar->setAutoClose(false);
        bar->setValue(0);
        progress = [this, &bar](int done, int total) {
            bar->setValue(done);
            if (sortExitProgressShown)
                sortExitProgressShown(done, total);
        };
    }
    SortAndTransferToAccess(f, progress);
}

// ---------------------------------------------------------------------------
// Running a file that is not in the catalogue.

bool Form1::isRunnableFile(const QString& name)
{
    static const QStringList kinds = {QStringLiteral(".ssd"), QStringLiteral(".dsd"),
                                      QStringLiteral(".img"), QStringLiteral(".bbc"),
                                      QStringLiteral(".uef"), QStringLiteral(".zip")};
    const QString ext = name.right(4).toLower();
    return kinds.contains(ext);
}

void Form1::mnuRunFile_Click()
{
    if (launchUnderWay())
        return;
    QString file;
    if (chooseRunFile) {
        file = chooseRunFile();
    } else {
        file = QFileDialog::getOpenFileName(
            this, QStringLiteral("Run a file"), QString(),
            QStringLiteral("Disk and tape images (*.ssd *.dsd *.img *.bbc *.uef *.zip "
                           "*.SSD *.DSD *.IMG *.BBC *.UEF *.ZIP);;All files (*)"));
    }
    if (!file.isEmpty())
        runFileDirectly(localName(file));
}

void Form1::runFileDirectly(const std::string& path)
{
    // A launch under way is not started again.
    if (launchUnderWay())
        return;
    // The file is the current file for this launch only, with its parts as
    // a click on a row sets them; afterwards the selected row's is again.
    f.sFullFilename = path;
    f.sFilename = GetFilename(path);
    const size_t dot = f.sFilename.find('.');
    f.sFilenameNoExt = dot == std::string::npos ? f.sFilename : f.sFilename.substr(0, dot);
    std::string ext = path.size() > 4 ? path.substr(path.size() - 4) : path;
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) {
        return c < 0x80 ? static_cast<char>(std::tolower(c)) : static_cast<char>(c);
    });
    f.sExt = ext;
    launcher().PrepareFilesForEmu();
}

void Form1::dragEnterEvent(QDragEnterEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!launchUnderWay() && urls.size() == 1 && urls.front().isLocalFile() &&
        isRunnableFile(urls.front().toLocalFile()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void Form1::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (launchUnderWay() || urls.size() != 1 || !urls.front().isLocalFile() ||
        !isRunnableFile(urls.front().toLocalFile())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // The run may wait for the emulator: the drop ends first, so that the
    // program the file came from is not held up.
    const std::string path = localName(urls.front().toLocalFile());
    QTimer::singleShot(0, this, [this, path] { runFileDirectly(path); });
}

} // namespace tavrin
