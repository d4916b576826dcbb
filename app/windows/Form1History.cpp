// The main window's favourites, play history and other front-ends' lists:
// the favourite mark (F9, the grid's context menu, a star in the grid), the
// "Favourites" and "Recently played" filters beside the search box, the
// count of plays, and the export and import of ES-DE and Pegasus lists.

#include "BusyCursor.h"
#include "Form1.h"
#include "Twips.h"
#include "catalogue/Catalogue.h"
#include "core/Paths.h"
#include "launch/FrontEndLaunch.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QIcon>
#include <QImageReader>
#include <QImageWriter>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QTableView>
#include <QtMath>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace tavrin {
namespace {

std::string localName(const QString& file) { return QFile::encodeName(file).toStdString(); }

// A five-pointed star in gold, the favourite's mark.
QIcon favouriteStar()
{
    QPixmap star(32, 32);
    star.fill(Qt::transparent);
    QPainter p(&star);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    for (int i = 0; i < 10; ++i) {
        const double r = i % 2 ? 6.5 : 15.0;
        const double a = M_PI / 5 * i - M_PI / 2;
        const QPointF point(16 + r * std::cos(a), 17 + r * std::sin(a));
        i == 0 ? path.moveTo(point) : path.lineTo(point);
    }
    path.closeSubpath();
    p.setPen(QPen(QColor(0x80, 0x50, 0x00), 1.5));
    p.setBrush(QColor(0xFF, 0xC8, 0x1E));
    p.drawPath(path);
    return QIcon(star);
}

// The catalogue file as it was when its history was read: a change by any
// program (another window, the record editor, a second Tavrin) changes it.
std::string fileStamp(const std::string& path)
{
    struct stat st {
    };
    if (::stat(OsPath(path).c_str(), &st) != 0)
        return {};
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" +
           std::to_string(st.st_size) + ":" + std::to_string(st.st_mtim.tv_sec) + "." +
           std::to_string(st.st_mtim.tv_nsec);
}

bool played(const PlayHistoryEntry& e) { return e.playCount > 0 || !e.lastPlayed.empty(); }

// A cover of another kind (PNG, WebP, ...) as the JPEG file Tavrin looks for.
bool convertToJpeg(const std::string& from, const std::string& to, std::string& why)
{
    QImageReader reader(QFile::decodeName(QByteArray::fromStdString(from)));
    const QImage image = reader.read();
    if (image.isNull()) {
        why = reader.errorString().toStdString();
        return false;
    }
    QImageWriter writer(QFile::decodeName(QByteArray::fromStdString(to)), "jpeg");
    writer.setQuality(90);
    if (!writer.write(image.convertToFormat(QImage::Format_RGB32))) {
        why = writer.errorString().toStdString();
        return false;
    }
    return true;
}

// A progress window for long work over the catalogue; its Stop stops it.
class WorkProgress {
public:
    WorkProgress(QWidget* parent, const QString& text, const char* name)
        : bar_(text, QStringLiteral("Stop"), 0, 1, parent)
    {
        bar_.setObjectName(QString::fromUtf8(name));
        bar_.setWindowTitle(QString::fromUtf8(kProgramTitle));
        bar_.setWindowModality(Qt::WindowModal);
        bar_.setMinimumDuration(300);
    }
    GamelistProgress callback()
    {
        return [this](int done, int total) {
            bar_.setMaximum(std::max(total, 1));
            bar_.setValue(done);
            QCoreApplication::processEvents();
            return !bar_.wasCanceled();
        };
    }
    void close() { bar_.reset(); }

private:
    QProgressDialog bar_;
};

} // namespace

void Form1::buildHistory()
{
    mnuFavourite = new QAction(QStringLiteral("&Favourite"), this);
    mnuFavourite->setObjectName(QStringLiteral("mnuFavourite"));
    mnuFavourite->setCheckable(true);
    mnuFavourite->setShortcut(Qt::Key_F9);
    mnuFavourite->setShortcutContext(Qt::WindowShortcut);
    addAction(mnuFavourite);
    MSFlexGridView->addAction(mnuFavourite);
    MSFlexGridView->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(mnuFavourite, &QAction::triggered, this, &Form1::mnuFavourite_Click);

    const auto filter = [this](QCheckBox*& box, const char* name, const char* caption, int left,
                               int width) {
        box = new QCheckBox(QString::fromUtf8(caption), client);
        box->setObjectName(QString::fromUtf8(name));
        box->setGeometry(twipsRect(left, 1335, width, 330, this));
        // A box that shows on black, filled when ticked.
        box->setStyleSheet(QStringLiteral("QCheckBox { color: %1; }"
                                          "QCheckBox::indicator { width: 9px; height: 9px;"
                                          " border: 1px solid %1; background: black; }"
                                          "QCheckBox::indicator:checked { width: 5px; height: 5px;"
                                          " padding: 2px; background: %1; background-clip: content; }")
                               .arg(colorFromBgr(kYellow).name()));
        box->hide();
        connect(box, &QCheckBox::toggled, this, [this] {
            searchText_.clear(); // other rows: the last result does not narrow
            applySearch();
        });
    };
    filter(chkFavourites, "chkFavourites", "Favourites", 7260, 1300);
    filter(chkRecentlyPlayed, "chkRecentlyPlayed", "Recently played", 8640, 1900);

    const QIcon star = favouriteStar();
    f.MSFlexGrid.roleData = [this, star](int row, int col, int role) -> QVariant {
        if (role != Qt::DecorationRole || col != colSoftware || history_.empty())
            return {};
        const auto at = history_.find(f.MSFlexGrid.TextMatrix(row, colFilepath));
        return at != history_.end() && at->second.favourite ? QVariant(star) : QVariant();
    };
    // Every load reads the history again when the catalogue file changed.
    connect(&f.MSFlexGrid, &QAbstractItemModel::modelReset, this, &Form1::refreshHistory);
    connect(&f.MSFlexGrid, &FlexGrid::currentCellChanged, this, &Form1::syncFavouriteAction);
    connect(MSFlexGridView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &Form1::syncFavouriteAction);
    buildGamelistMenus();
}

void Form1::buildGamelistMenus()
{
    const auto item = [this](QAction*& action, const char* name, const char* caption) {
        action = new QAction(QString::fromUtf8(caption), this);
        action->setObjectName(QString::fromUtf8(name));
        mnuFile->insertAction(mnuRunFile, action);
    };
    item(mnuExportEsDe, "mnuExportEsDe", "Export &gamelist for ES-DE...");
    item(mnuExportPegasus, "mnuExportPegasus", "Export metadata for &Pegasus...");
    item(mnuImportGamelist, "mnuImportGamelist", "&Import gamelist...");
    connect(mnuExportEsDe, &QAction::triggered, this, [this] { exportGamelistTo(GamelistFormat::EsDe); });
    connect(mnuExportPegasus, &QAction::triggered, this,
            [this] { exportGamelistTo(GamelistFormat::Pegasus); });
    connect(mnuImportGamelist, &QAction::triggered, this, &Form1::mnuImportGamelist_Click);
}

std::string Form1::appFolder() const
{
    std::error_code ec;
    return f.sAppPath.empty() ? std::filesystem::current_path(ec).string() : f.sAppPath;
}

void Form1::refreshHistory()
{
    // The Internet lists keep no history.
    const bool local = !f.boolInternet && !f.sLocalDatabase.empty() &&
                       f.sDatabaseFile == f.sLocalDatabase;
    for (QAction* a : {mnuFavourite, mnuExportEsDe, mnuExportPegasus, mnuImportGamelist})
        a->setEnabled(local);
    for (QCheckBox* box : {chkFavourites, chkRecentlyPlayed})
        box->setEnabled(local);
    if (!local) {
        history_.clear();
        historyStamp_.clear();
        return;
    }
    const std::string stamp = fileStamp(f.sLocalDatabase);
    if (!stamp.empty() && stamp == historyStamp_)
        return;
    historyStamp_ = stamp;
    try {
        history_ = ReadPlayHistory(f.sLocalDatabase);
    } catch (const dao::DaoError& e) {
        history_.clear();
        prompt_->messageBox("The favourites and play history of \"" + f.sLocalDatabase +
                                "\" cannot be read; the catalogue is shown without them.\n\n" +
                                e.what(),
                            PromptButtons::Ok, PromptIcon::Exclamation);
    }
    // The view may have painted the new rows before their history was read.
    MSFlexGridView->viewport()->update();
    syncFavouriteAction();
}

void Form1::syncFavouriteAction()
{
    const FlexGrid& g = f.MSFlexGrid;
    const auto at = history_.find(g.TextMatrix(g.Row(), colFilepath));
    mnuFavourite->setChecked(at != history_.end() && at->second.favourite);
}

void Form1::mnuFavourite_Click()
{
    const int row = f.MSFlexGrid.Row();
    const std::string path(f.MSFlexGrid.TextMatrix(row, colFilepath));
    if (f.boolInternet || path.empty()) {
        syncFavouriteAction();
        return;
    }
    const auto at = history_.find(path);
    const bool favourite = at == history_.end() || !at->second.favourite;
    try {
        const PlayHistoryEntry entry = SetFavourite(f.sLocalDatabase, path, favourite);
        if (entry.empty())
            history_.erase(path);
        else
            history_[path] = entry;
    } catch (const dao::DaoError& e) {
        prompt_->messageBox("The favourite mark could not be stored in the catalogue \"" +
                                f.sLocalDatabase + "\".\n\n" + e.what(),
                            PromptButtons::Ok, PromptIcon::Exclamation);
    }
    syncFavouriteAction();
    const QModelIndex title = f.MSFlexGrid.index(row, colSoftware);
    emit f.MSFlexGrid.dataChanged(title, title, {Qt::DecorationRole});
}

void Form1::emulatorStarted(const std::string& file)
{
    if (f.boolInternet)
        return;
    try {
        const std::optional<std::string> stored = StoredPathOf(f.sLocalDatabase, file, appFolder());
        if (!stored)
            return;
        history_[*stored] = RecordPlayStarted(f.sLocalDatabase, *stored, PlayTimeNow());
    } catch (const dao::DaoError& e) {
        txtInfo->appendPlainText(QStringLiteral("The play was not counted: %1")
                                     .arg(QString::fromStdString(e.what())));
        return;
    }
    if (historyFiltersOn())
        searchLater();
}

// ---------------------------------------------------------------------------
// The filters beside the search box.

void Form1::showHistoryFilters(bool shown)
{
    for (QCheckBox* box : {chkFavourites, chkRecentlyPlayed}) {
        if (!shown) {
            const QSignalBlocker block(box);
            box->setChecked(false);
        }
        box->setVisible(shown);
        if (shown)
            box->raise();
    }
}

bool Form1::historyFiltersOn() const
{
    return !chkFavourites->isHidden() && (chkFavourites->isChecked() || chkRecentlyPlayed->isChecked());
}

void Form1::filterByHistory(RowsShown& shown) const
{
    if (!historyFiltersOn())
        return;
    const FlexGrid& g = f.MSFlexGrid;
    if (shown.empty())
        shown.assign(static_cast<size_t>(g.Rows()), 1);
    const bool favourites = chkFavourites->isChecked();
    const bool recent = chkRecentlyPlayed->isChecked();
    for (int r = 0; r < g.Rows(); ++r) {
        uint8_t& flag = shown[static_cast<size_t>(r)];
        if (!flag)
            continue;
        const auto at = history_.find(g.TextMatrix(r, colFilepath));
        const bool keep = at != history_.end() && (!favourites || at->second.favourite) &&
                          (!recent || played(at->second));
        flag = keep ? 1 : 0;
    }
}

std::vector<int> Form1::recentlyPlayedOrder(const RowsShown& shown) const
{
    std::vector<int> order;
    if (!historyFiltersOn() || !chkRecentlyPlayed->isChecked())
        return order;
    std::vector<std::pair<int64_t, int>> started;
    for (int r = 0; r < static_cast<int>(shown.size()); ++r) {
        if (!shown[static_cast<size_t>(r)])
            continue;
        const auto at = history_.find(f.MSFlexGrid.TextMatrix(r, colFilepath));
        const int64_t when = at == history_.end() ? 0 : PlayTimeSeconds(at->second.lastPlayed).value_or(0);
        started.emplace_back(-when, r); // the last started first; equal times in grid order
    }
    std::sort(started.begin(), started.end());
    for (const auto& [when, row] : started)
        order.push_back(row);
    return order;
}

// The view shows the rows in `order` first (the rest are hidden), or in the
// grid's own order when it is empty. Sections of the view's row header are
// swapped, so every index stays the grid's row: a click, Run and the record
// windows read the record they show.
void Form1::orderViewRows(const std::vector<int>& order)
{
    QHeaderView* header = MSFlexGridView->verticalHeader();
    if (order.empty() && !header->sectionsMoved())
        return;
    MSFlexGridView->setUpdatesEnabled(false);
    {
        const QSignalBlocker block(header);
        if (order.empty()) {
            for (int v = 0; v < header->count(); ++v)
                if (header->logicalIndex(v) != v)
                    header->swapSections(v, header->visualIndex(v));
        } else {
            for (int i = 0; i < static_cast<int>(order.size()); ++i)
                if (const int at = header->visualIndex(order[static_cast<size_t>(i)]); at != i)
                    header->swapSections(at, i);
        }
    }
    MSFlexGridView->setUpdatesEnabled(true);
    QMetaObject::invokeMethod(MSFlexGridView, "updateGeometries");
    MSFlexGridView->viewport()->update();
}

// ---------------------------------------------------------------------------
// Other front-ends' lists.

std::vector<int> Form1::exportedRows() const
{
    std::vector<int> rows;
    const QHeaderView* header = MSFlexGridView->verticalHeader();
    const int n = f.MSFlexGrid.Rows();
    for (int v = 0; v < n; ++v) {
        const int r = header->count() == n ? header->logicalIndex(v) : v;
        if (rowsShown_.empty() || rowsShown_[static_cast<size_t>(r)])
            rows.push_back(r);
    }
    return rows;
}

void Form1::exportGamelistTo(GamelistFormat format)
{
    const QString folder =
        chooseExportFolder ? chooseExportFolder()
                           : QFileDialog::getExistingDirectory(
                                 this, format == GamelistFormat::EsDe
                                           ? QStringLiteral("Export a gamelist for ES-DE")
                                           : QStringLiteral("Export metadata for Pegasus"));
    if (!folder.isEmpty())
        exportGamelist(format, localName(folder));
}

void Form1::exportGamelist(GamelistFormat format, const std::string& folder)
{
    GamelistExport options{format, folder, appFolder(), {}};
    if (format == GamelistFormat::Pegasus)
        options.launchLine = FrontEndLaunchLine(f.sEmuApp, f.sDataDestination, kPegasusFilePath);
    WorkProgress progress(this, QStringLiteral("Exporting the catalogue..."), "frmExportGamelist");
    GamelistExportReport report;
    try {
        BusyCursor busy;
        report = ExportGamelist(GamelistTitlesOf(f.MSFlexGrid, exportedRows()), history_, options,
                                progress.callback());
    } catch (const std::exception& e) {
        progress.close();
        prompt_->messageBox(std::string("The catalogue could not be exported.\n\n") + e.what(),
                            PromptButtons::Ok, PromptIcon::Exclamation);
        return;
    }
    progress.close();
    prompt_->messageBox(GamelistExportSummary(report), PromptButtons::Ok, PromptIcon::Information);
}

void Form1::mnuImportGamelist_Click()
{
    const QString file =
        chooseGamelist ? chooseGamelist()
                       : QFileDialog::getOpenFileName(
                             this, QStringLiteral("Import a gamelist"), QString(),
                             QStringLiteral("ES-DE and Pegasus lists (gamelist.xml *.xml "
                                            "metadata.pegasus.txt *.metadata.txt *.txt);;All files (*)"));
    if (!file.isEmpty())
        importGamelist(localName(file));
}

void Form1::importGamelist(const std::string& listFile)
{
    if (f.boolInternet)
        return;
    WorkProgress progress(this, QStringLiteral("Importing \"%1\"...").arg(QString::fromStdString(listFile)),
                          "frmImportGamelist");
    GamelistImportReport report;
    try {
        report = ImportGamelist(f.sLocalDatabase, listFile, appFolder(), convertToJpeg,
                                progress.callback());
    } catch (const dao::DaoError& e) {
        progress.close();
        prompt_->messageBox("The catalogue \"" + f.sLocalDatabase +
                                "\" could not be changed; nothing was added.\n\n" + e.what(),
                            PromptButtons::Ok, PromptIcon::Exclamation);
        return;
    }
    progress.close();
    prompt_->messageBox(GamelistImportSummary(report), PromptButtons::Ok,
                        report.error.empty() ? PromptIcon::Information : PromptIcon::Exclamation);
    if (report.added == 0)
        return;
    try {
        BusyCursor busy;
        TransferFromAccess(f, f.sLocalDatabase, f.sLocalTable);
    } catch (const dao::DaoError& e) {
        prompt_->messageBox("The catalogue \"" + f.sLocalDatabase + "\" cannot be read.\n\n" +
                                e.what(),
                            PromptButtons::Ok, PromptIcon::Critical);
    }
}

} // namespace tavrin
