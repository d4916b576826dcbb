#pragma once
// The main window: the catalogue grid, the pictures of the selected title,
// its description, the six picture buttons and the menus. All global state
// lives in `f`; the other windows read and write it there.

#include "catalogue/CatalogueGrid.h"
#include "catalogue/Gamelist.h"
#include "core/Form1State.h"
#include "core/GridSearch.h"

#include <QMainWindow>
#include <QPointer>

#include "launch/ZippedSoftware.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QTableView;

namespace tavrin {

class CataloguePanel;
class FrmAbout;
class FrmCreateImg;
class FrmDialog;
class FrmEditDatabase;
class FrmFormIni;
class FrmSetUpEmulators;
class FrmHelp;
class FrmNewRecord;
class Keyboard;
class Launcher;
class FrmInternet;
class FrmInternetSourceSelect;
class PictureButton;
class Prompt;
class ScaledLayout;

class Form1 : public QMainWindow {
    Q_OBJECT

public:
    // `prompt` shows the window's messages; Qt message boxes when null.
    explicit Form1(Prompt* prompt = nullptr, QWidget* parent = nullptr);
    ~Form1() override;

    // The window's load: global state and configuration, display, catalogue,
    // working folders and the first picture. False when the program cannot
    // go on (the catalogue cannot be read); the reason has been shown.
    bool load();

    Form1State f;

    // Place Image1 or Image2 for a found picture or a placeholder.
    void ShowBoxArt();
    void ShowScreenshot();
    void ShowBoxArtPlaceholder();
    void ShowScreenshotPlaceholder();

    // Shows a title's pictures and description (a missing or undecodable
    // picture gives its placeholder; a missing placeholder, no picture).
    void showSoftwarePictures(const SoftwarePictures& pictures);

    // The two views of the picture area: the box art of the selected title,
    // or the disk catalogue panel over Frame3.
    void ShowPictureView();
    void ShowCataloguePanel();
    // Fills the catalogue panel for the current file.
    void ShowSelectedCatalogue();

    // The grid click on the current row: its file becomes the current file,
    // and the pictures, the description and (while it is shown) the
    // catalogue panel show it.
    void gridClick();
    // What the grid click does, whenever the current row or what it holds
    // changed since it was last shown, whatever changed it (the keyboard, a
    // sort, a reload, the search); `always` shows it again regardless.
    void followCurrentRow(bool always = false);
    // Gives the grid the keyboard focus.
    void focusGrid();
    // The check marks of the emulator items follow f.
    void syncEmulatorMenu();

    // Picture buttons.
    void picCmdNew_Click();
    void picCmdEdit_Click();
    void picCmdSort_Click();
    void picCmdRun_Click();
    void picCmdCatImages_Click();
    void picCmdSource_Click();

    // The launch of the current grid row (the Run button, the grid's double
    // click), and the launch logic with the window's hooks.
    void RunSelection();
    Launcher& launcher();
    // True while a launch is under way (an emulator may be waited for).
    bool launchUnderWay() const;

    // Menu items.
    void mnuDownloadInternetDatabase_Click();
    void mnuNewDatabase_Click();
    void mnuSortExit_Click();
    void mnuCreateImg_Click();
    void mnuAddFolder_Click();
    // Adds the software below `folder` to the local catalogue and reloads
    // the grid (the menu item, once the folder is chosen).
    void addFolderOfSoftware(const std::string& folder);
    // "&Export to MMB...": the titles the grid shows, into an MMB file for
    // the SD card of a real BBC Micro; the file is asked for with a dialog
    // unless chooseMmbFile is set (tests set it).
    void mnuExportMmb_Click();
    std::function<QString()> chooseMmbFile;
    void mnuExit_Click();
    void mnuProperties_Click();
    void mnuBeebEm_Click();
    void mnuB_Em_Click();
    void mnuElectrEm_Click();
    void mnuPcBBC_Click();
    void mnuSaveDiskImages_Click();
    void mnuSetUpEmulators_Click();
    // At a start where no emulator has a program, offers the emulator set-up
    // once (bbc.ini remembers the offer).
    void offerEmulatorSetUp();
    void mnuHelp1_Click();
    void mnuHelp2_Click();
    void mnuAbout_Click();

    // The client area is designed for a window of 1024 by 768 pixels and is
    // shown scaled as one picture at any other size (see ScaledLayout).
    ScaledLayout& scaling() const { return *scaling_; }

    // Controls, named as the window names them.
    QWidget* client = nullptr; // the client area, laid out in twips
    QLabel* Image0 = nullptr;
    QPlainTextEdit* txtInfo = nullptr;
    QTableView* MSFlexGridView = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Image2 = nullptr;
    QFrame* Frame3 = nullptr;
    QLabel* PicCornerOuter = nullptr;
    QLabel* PicCornerInner = nullptr;
    QPlainTextEdit* txtText1 = nullptr;
    PictureButton* picCmdNew = nullptr;
    PictureButton* picCmdEdit = nullptr;
    PictureButton* picCmdSort = nullptr;
    PictureButton* picCmdRun = nullptr;
    PictureButton* picCmdCatImages = nullptr;
    PictureButton* picCmdSource = nullptr;
    QLabel* imgOwl = nullptr;
    // The disk catalogue panel over Frame3 (txtTitle, txtFile1, the options, "Update").
    CataloguePanel* catalogue = nullptr;

    QMenu* mnuFile = nullptr;
    QAction* mnuDownloadInternetDatabase = nullptr;
    QAction* mnuNewDatabase = nullptr;
    QAction* mnuSortExit = nullptr;
    QAction* mnuCreateImg = nullptr;
    QAction* mnuAddFolder = nullptr;
    QAction* mnuExportMmb = nullptr;
    QAction* mnuExit = nullptr;
    QMenu* mnuOptions = nullptr;
    QAction* mnuProperties = nullptr;
    QAction* mnuOptionsSep1 = nullptr;
    QAction* mnuBeebEm = nullptr;
    QAction* mnuB_Em = nullptr;
    QAction* mnuElectrEm = nullptr;
    QAction* mnuPcBBC = nullptr;
    QAction* mnuOptionsSep2 = nullptr;
    QAction* mnuSaveDiskImages = nullptr;
    QAction* mnuOptionsSep3 = nullptr;
    QAction* mnuSetUpEmulators = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuHelp1 = nullptr;
    QAction* mnuHelp2 = nullptr;
    QAction* mnuAbout = nullptr;

    // The windows opened from here, while they are open.
    QPointer<FrmFormIni> frmFormIni;
    QPointer<FrmSetUpEmulators> frmSetUpEmulators;
    QPointer<FrmAbout> frmAbout;
    QPointer<FrmDialog> frmDialog;
    QPointer<FrmHelp> frmHelpContents;
    QPointer<FrmHelp> frmHelpKeywords;
    QPointer<FrmCreateImg> frmCreateImg;
    QPointer<FrmNewRecord> frmNewRecord;
    QPointer<FrmEditDatabase> frmEditDatabase;
    QPointer<FrmInternetSourceSelect> frmInternetSourceSelect;

    // The download window, created on first use. Running a row of an
    // Internet source is internetWindow().PrepareInternetRequest(f.sURLMain,
    // f.sFullFilename).
    FrmInternet& internetWindow();
    // What runs a downloaded file: the launch pipeline's PrepareFilesForEmu
    // unless this is set (tests record the hand-over with it).
    std::function<void()> internetLaunch;
    // Where the catalogue update gets its unpacker; Varnock from the
    // application folder when unset.
    CreateUnzipFiles createUnzipFiles;
    // The source dialog's answers: a source's list is in the grid, or back
    // to the local catalogue.
    void showInternetList();
    void internetSourceCancelled();

    // Called with each picture a picture button is given, in order (tests
    // follow the picture protocol with it).
    std::function<void(const QLabel* button, const QString& picture)> pictureShown;

    Prompt& prompt() { return *prompt_; }

    // Finding a title: the search box over the grid (Ctrl+F opens it,
    // Escape closes it) shows only the rows whose publisher, title or genre
    // hold its text; typing in the grid jumps to the first title (else
    // publisher) starting with what was typed. Neither changes the rows.
    QLineEdit* txtSearch = nullptr;
    QAction* mnuFind = nullptr; // Ctrl+F, a window shortcut
    void openSearch();
    void closeSearch();
    // Hides the rows the search box's text does not show (all shown when
    // the box is closed or empty).
    void applySearch();
    // The rows shown now; empty when every row is.
    const RowsShown& rowsShown() const { return rowsShown_; }
    // The grid's type-ahead for a typed text at a time in milliseconds;
    // false when no row starts with what was typed so far.
    bool typeAhead(const QString& typed, qint64 nowMs);

    // Opening an image directly: "&File" / "&Run a file..." and a file
    // dropped onto the window run it with the ticked emulator through the
    // launch steps of a row, without adding it to the catalogue.
    QAction* mnuRunFile = nullptr;
    void mnuRunFile_Click();
    void runFileDirectly(const std::string& path);
    // Asks for the file to run; a file dialog when unset (tests set it).
    std::function<QString()> chooseRunFile;
    // True for a file the launch can be given: a disk or tape image or a zip.
    static bool isRunnableFile(const QString& name);

    // Called as "&Sort database and exit" writes its progress bar (done of
    // total records); tests follow the bar with it.
    std::function<void(int done, int total)> sortExitProgressShown;

    // Favourites and play history (Form1History.cpp). F9 and the grid's
    // context menu mark or unmark the current title as a favourite, shown
    // as a star beside its title. Beside the search box, "Favourites" shows
    // only those, and "Recently played" only titles started before, the last
    // started first: an order of the view alone, the rows and iSort stay.
    // A launch that started the emulator counts a play of a catalogue title.
    QAction* mnuFavourite = nullptr;
    QCheckBox* chkFavourites = nullptr;
    QCheckBox* chkRecentlyPlayed = nullptr;
    void mnuFavourite_Click();
    const PlayHistory& playHistory() const { return history_; }
    void emulatorStarted(const std::string& file);

    // The catalogue (or the rows the search shows) for other front-ends,
    // and back: "Export gamelist for ES-DE...", "Export metadata for
    // Pegasus..." and "Import gamelist...".
    QAction* mnuExportEsDe = nullptr;
    QAction* mnuExportPegasus = nullptr;
    QAction* mnuImportGamelist = nullptr;
    void exportGamelist(GamelistFormat format, const std::string& folder);
    void importGamelist(const std::string& listFile);
    // Ask for the export folder and for the list to import; file dialogs
    // when unset (tests set them).
    std::function<QString()> chooseExportFolder;
    std::function<QString()> chooseGamelist;

protected:
    void showEvent(QShowEvent* event) override;
    // During a launch the window closes only once the launch has ended; while
    // an emulator is waited for, the user is asked whether to stop waiting.
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void InitDisplay();
    void readSettingsAtStartUp();
    void buildControls();
    void buildClientArea();
    void buildInfoLine();
    void buildGrid();
    void followGridSelection();
    void buildPictureArea();
    void buildDescriptionBox();
    void buildOwl();
    void buildPictureButtons();
    void buildCataloguePanelFrame();
    void buildMenus();
    void applyGridLayout();
    void applyScale();
    // The two toggle buttons tell screen readers the view and the source shown.
    void describeToggles();
    void followGridCurrentCell(int row, int col);
    void placePicture(QLabel* image, int top, int left, int height, int width, bool pixels);
    void loadCatalogue();
    void showButtonPicture(PictureButton* button, const char* picture);
    void chooseEmulator(int emulator);
    void showHelpFile(QPointer<FrmHelp>& viewer, const char* file);
    void connectGridDoubleClick();
    void buildSearch();
    void searchLater();
    void showRows(const RowsShown& shown);
    void writeBackWithProgress();

    void runInternetUpdate();
    // The window during a launch: what would change what the launch uses
    // is disabled; at its end the current row is shown again.
    void followLaunch(bool underWay);
    // For closing while a launch is under way: false when there is none.
    // Otherwise `then` runs once the launch has ended (unless the user
    // chose to go on waiting), and the caller stops.
    bool endLaunchFirst(std::function<void()> then);

    const CreateUnzipFiles& unzipFilesFactory();

    FrmInternet* frmInternet_ = nullptr;
    ScaledLayout* scaling_ = nullptr;
    // Widths the user dragged grid columns to, in design pixels, for the run.
    std::vector<std::pair<int, int>> widenedColumns_;
    CreateUnzipFiles unzipFilesFactory_;
    std::unique_ptr<Prompt> ownPrompt_;
    Prompt* prompt_;
    // Caps Lock for the launch; made with the launcher on first use.
    std::unique_ptr<Keyboard> keyboard_;
    std::unique_ptr<Launcher> launcher_;
    // What the window shows: the row of the grid, its file and description.
    struct ShownRow {
        int row = -1;
        std::string file, description;
        bool internet = false;
        bool operator==(const ShownRow&) const = default;
    };
    ShownRow currentRow() const;
    std::optional<ShownRow> shownRow_;
    // The grid click ran since the last mouse press on the grid.
    bool shownSincePress_ = false;
    // What runs once the launch under way has ended (a close waiting for it).
    std::function<void()> afterLaunch_;
    bool askingToStop_ = false;
    // The search and the type-ahead.
    RowsShown rowsShown_;
    std::string searchText_;
    bool searchPending_ = false;
    TypeAhead typeAhead_;

    void buildHistory();
    void buildGamelistMenus();
    void refreshHistory();
    void syncFavouriteAction();
    void showHistoryFilters(bool shown);
    bool historyFiltersOn() const;
    void filterByHistory(RowsShown& shown) const;
    std::vector<int> recentlyPlayedOrder(const RowsShown& shown) const;
    void orderViewRows(const std::vector<int>& order);
    std::vector<int> exportedRows() const;
    void exportGamelistTo(GamelistFormat format);
    void mnuImportGamelist_Click();
    std::string appFolder() const;
    PlayHistory history_;
    std::string historyStamp_; // the catalogue file as history_ was read from it
};

} // namespace tavrin
