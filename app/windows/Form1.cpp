#include "Form1.h"

#include "Accessibility.h"
#include "CataloguePanel.h"
#include "FrmAbout.h"
#include "FrmAddFolder.h"
#include "FrmCreateImg.h"
#include "FrmDialog.h"
#include "FrmEditDatabase.h"
#include "FrmFormIni.h"
#include "FrmSetUpEmulators.h"
#include "FrmHelp.h"
#include "FrmNewRecord.h"
#include "FrmUnpackProgress.h"
#include "FrmUpdateImg.h"
#include "FrmInternet.h"
#include "FrmInternetSourceSelect.h"
#include "BusyCursor.h"
#include "GridView.h"
#include "PictureButton.h"
#include "QtPrompt.h"
#include "ScaledLayout.h"
#include "Twips.h"
#include "catalogue/Catalogue.h"
#include "catalogue/Dao.h"
#include "catalogue/JetImport.h"
#include "core/Configuration.h"
#include "core/FileHelpers.h"
#include "core/Paths.h"
#include "launch/Keyboard.h"
#include "launch/Launcher.h"
#include "launch/ZippedSoftware.h"
#include "internet/InternetUpdate.h"
#include "launch/VarnockComponent.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>
#include <tuple>
#include <utility>

namespace tavrin {
namespace {

QFont gridFont()
{
    // A sans-serif font of 8.25 points stands in for MS Sans Serif.
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    return font;
}

QFont arialFont(double points)
{
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    return font;
}

// The design size of the client area: a maximised window on a screen of
// 1024 by 768 pixels (15 twips a pixel at 96 dpi).
constexpr int kClientWidthTwips = 15180;
constexpr int kClientHeightTwips = 10440;
constexpr int kWindowWidthTwips = 1024 * 15;
constexpr int kWindowHeightTwips = 768 * 15;

// The information line's tool tip: what it collects.
constexpr const char* kInfoToolTip =
    "The extensions of the disk images found in the archives unpacked in this run";

// The pictures the buttons load inside their clicks.
constexpr const char* kNewDown = "images\\button-new-down.gif";
constexpr const char* kNewUp = "images\\button-new.gif";
constexpr const char* kEditDown = "images\\button-edit-down.gif";
constexpr const char* kEditUp = "images\\button-edit.gif";
constexpr const char* kSortDown = "images\\button-sort-down.gif";
constexpr const char* kSortUp = "images\\button-sort.gif";
constexpr const char* kRunDown = "images\\button-run-down.gif";
constexpr const char* kRunUp = "images\\button-run.gif";
constexpr const char* kCatalogueDown = "images\\button-catalogue-down.gif";
constexpr const char* kCatalogueUp = "images\\button-catalogue.gif";
constexpr const char* kImagesDown = "images\\button-images-down.gif";
constexpr const char* kImagesUp = "images\\button-images.gif";
constexpr const char* kInternetDown = "images\\button-internet-down.gif";
constexpr const char* kInternetUp = "images\\button-internet.gif";
constexpr const char* kLocalDown = "images\\button-local-down.gif";
constexpr const char* kLocalUp = "images\\button-local.gif";

// A window of which one instance exists: created the first time by
// `create` (which gives none when the window cannot open), then shown and
// brought forward; showing it again does not run its load steps again.
template <typename Window, typename Create>
void showSingleWindow(QPointer<Window>& window, Create create)
{
    if (!window)
        window = create();
    if (!window)
        return;
    window->show();
    window->raise();
    window->activateWindow();
}

// While a launch is under way, the current file's variables stay the
// launch's: the window shows the row the user moves to, and the launch goes
// on with the file it began with.
class KeepLaunchFile {
public:
    KeepLaunchFile(Form1State& f, bool keep) : f_(keep ? &f : nullptr)
    {
        if (f_)
            saved_ = {f.sFullFilename, f.sFilename, f.sFilenameNoExt, f.sExt};
    }
    ~KeepLaunchFile()
    {
        if (f_)
            std::tie(f_->sFullFilename, f_->sFilename, f_->sFilenameNoExt, f_->sExt) =
                std::move(saved_);
    }
    KeepLaunchFile(const KeepLaunchFile&) = delete;
    KeepLaunchFile& operator=(const KeepLaunchFile&) = delete;

private:
    Form1State* f_;
    std::tuple<std::string, std::string, std::string, std::string> saved_;
};

} // namespace

Form1::Form1(Prompt* prompt, QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    if (!prompt) {
        ownPrompt_ = std::make_unique<QtPrompt>(this);
        prompt = ownPrompt_.get();
    }
    prompt_ = prompt;
    setWindowTitle(QString::fromUtf8(kProgramTitle));
    buildControls();
    buildMenus();
    connectGridDoubleClick();
    buildSearch();
    buildHistory();
}

Form1::~Form1()
{
    // The windows opened from here go with the main window.
    for (QWidget* w : std::initializer_list<QWidget*>{frmFormIni, frmSetUpEmulators, frmAbout,
                                                      frmDialog, frmHelpContents, frmHelpKeywords})
        delete w;
}

// The controls keep the positions the window was designed with, created in
// the order in which they stack: background and information line, grid,
// pictures and the catalogue panel, description, buttons, owl.
void Form1::buildControls()
{
    buildClientArea();
    buildInfoLine();
    buildGrid();
    followGridSelection();
    buildPictureArea();
    buildDescriptionBox();
    buildPictureButtons();
    buildOwl();
}

// The client area has the designed size and is shown scaled to the window,
// centred on a black stage.
void Form1::buildClientArea()
{
    auto* stage = new QWidget(this);
    stage->setObjectName(QStringLiteral("Form1Stage"));
    setCentralWidget(stage);
    client = new QWidget(stage);
    client->setObjectName(QStringLiteral("Form1Client"));
    client->resize(twipsToPixels(kClientWidthTwips, this), twipsToPixels(kClientHeightTwips, this));
    const QSize designWindow(twipsToPixels(kWindowWidthTwips, this),
                             twipsToPixels(kWindowHeightTwips, this));
    scaling_ = new ScaledLayout(stage, client, designWindow);
    connect(scaling_, &ScaledLayout::scaleChanged, this, &Form1::applyScale);
    // Shown without a size of its own, the window has the design's.
    resize(designWindow);
}

// The background picture and, over it, the information line.
void Form1::buildInfoLine()
{
    Image0 = new QLabel(client);
    Image0->setObjectName(QStringLiteral("Image0"));
    Image0->setScaledContents(true);
    Image0->move(0, 0);
    markDecoration(Image0);

    txtInfo = new QPlainTextEdit(client);
    txtInfo->setObjectName(QStringLiteral("txtInfo"));
    txtInfo->setFont(arialFont(8.25));
    txtInfo->setGeometry(twipsRect(1800, 180, 3675, 675, this));
    txtInfo->setAccessibleName(QStringLiteral("Information"));
    txtInfo->setToolTip(QString::fromUtf8(kInfoToolTip));
    txtInfo->setTabChangesFocus(true);
}

void Form1::buildGrid()
{
    auto* view = new GridView(client);
    MSFlexGridView = view;
    MSFlexGridView->setObjectName(QStringLiteral("MSFlexGrid"));
    MSFlexGridView->setAccessibleName(QStringLiteral("Catalogue"));
    f.MSFlexGrid.setColumnNames({kColumnNames.begin(), kColumnNames.end()});
    MSFlexGridView->setModel(&f.MSFlexGrid);
    MSFlexGridView->setGeometry(twipsRect(2520, 1695, 4380, 4935, this));
    MSFlexGridView->horizontalHeader()->hide();
    MSFlexGridView->verticalHeader()->hide();
    MSFlexGridView->setSelectionMode(QAbstractItemView::SingleSelection);
    MSFlexGridView->setSelectionBehavior(QAbstractItemView::SelectItems);
    MSFlexGridView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    MSFlexGridView->setFont(gridFont());
    MSFlexGridView->setWordWrap(true);
    MSFlexGridView->setTabKeyNavigation(false);
    // Fixed row heights keep the view fast at a million rows.
    QHeaderView* rows = MSFlexGridView->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(QFontMetrics(gridFont()).height() + 6);
    MSFlexGridView->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    MSFlexGridView->horizontalHeader()->setMinimumSectionSize(0);
    // A width the user dragged a column to lasts for the run, at any scale.
    connect(view, &GridView::columnWidened, this, [this](int column, int width) {
        const int design = static_cast<int>(std::lround(width / scaling_->scale()));
        std::erase_if(widenedColumns_, [column](const auto& c) { return c.first == column; });
        widenedColumns_.emplace_back(column, design);
        applyGridLayout();
    });
}

// The grid's current cell and the view's follow each other, and the window
// shows the current row whatever moved it. A click on a cell is the grid's
// click: it shows its row again, unless its press has just moved there.
void Form1::followGridSelection()
{
    FlexGrid* grid = &f.MSFlexGrid;
    connect(grid, &FlexGrid::currentCellChanged, this, &Form1::followGridCurrentCell);
    connect(grid, &FlexGrid::layoutPropertiesChanged, this, &Form1::applyGridLayout);
    connect(grid, &QAbstractItemModel::modelReset, this, &Form1::applyGridLayout);
    // A reset forgets the view's current cell: the grid's is shown again.
    connect(grid, &QAbstractItemModel::modelReset, this,
            [this] { followGridCurrentCell(f.MSFlexGrid.Row(), f.MSFlexGrid.Col()); });
    const auto follow = [this] { followCurrentRow(); };
    connect(grid, &FlexGrid::currentCellChanged, this, follow);
    connect(grid, &QAbstractItemModel::modelReset, this, follow);
    connect(grid, &QAbstractItemModel::layoutChanged, this, follow);
    connect(grid, &QAbstractItemModel::dataChanged, this, follow);
    connect(grid, &QAbstractItemModel::rowsInserted, this, follow);
    connect(grid, &QAbstractItemModel::rowsRemoved, this, follow);
    const auto takeCell = [this](const QModelIndex& index) {
        QSignalBlocker block(&f.MSFlexGrid);
        f.MSFlexGrid.setRow(index.row());
        f.MSFlexGrid.setCol(index.column());
    };
    connect(MSFlexGridView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this, takeCell](const QModelIndex& current) {
                if (!current.isValid())
                    return;
                takeCell(current);
                followCurrentRow();
            });
    MSFlexGridView->viewport()->installEventFilter(this);
    connect(MSFlexGridView, &QTableView::clicked, this, [this, takeCell](const QModelIndex& index) {
        if (!index.isValid())
            return;
        takeCell(index);
        if (!shownSincePress_)
            gridClick();
    });
}

// The two pictures of the selected title, and the catalogue panel that can
// stand in their place.
void Form1::buildPictureArea()
{
    Image1 = new QLabel(client);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setScaledContents(true);
    Image1->setAccessibleName(QStringLiteral("Box art"));
    Image2 = new QLabel(client);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setScaledContents(true);
    Image2->setAccessibleName(QStringLiteral("Screen shot"));

    buildCataloguePanelFrame();
    catalogue = new CataloguePanel(Frame3, f, *prompt_);
    catalogue->followSelectionOf(MSFlexGridView->selectionModel());
}

// The description can be selected and copied with mouse or keyboard; Tab
// passes it by.
void Form1::buildDescriptionBox()
{
    txtText1 = new QPlainTextEdit(client);
    txtText1->setObjectName(QStringLiteral("txtText1"));
    txtText1->setReadOnly(true);
    txtText1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    txtText1->setFocusPolicy(Qt::ClickFocus);
    txtText1->setGeometry(twipsRect(2520, 7800, 12555, 1335, this));
    txtText1->setAccessibleName(QStringLiteral("Description"));
}

void Form1::buildOwl()
{
    imgOwl = new QLabel(client);
    imgOwl->setObjectName(QStringLiteral("imgOwl"));
    imgOwl->setScaledContents(true);
    imgOwl->setGeometry(twipsRect(14220, 9480, 960, 960, this));
    markDecoration(imgOwl);
    showStoredPicture(imgOwl, QStringLiteral(":/windows/owl.png"));
}

// The disk catalogue panel stands over Frame3 in place of the two pictures;
// it is hidden in the picture view. Its corner carries two small pictures
// stored with the window, which no code touches.
void Form1::buildCataloguePanelFrame()
{
    Frame3 = new QFrame(client);
    Frame3->setObjectName(QStringLiteral("Frame3"));
    Frame3->setFrameShape(QFrame::NoFrame);
    Frame3->setGeometry(twipsRect(7200, 1680, 7845, 4935, this));

    PicCornerOuter = new QLabel(Frame3);
    PicCornerOuter->setObjectName(QStringLiteral("PicCornerOuter"));
    PicCornerOuter->setScaledContents(true);
    PicCornerOuter->setGeometry(twipsRect(0, 0, 375, 255, this));
    markDecoration(PicCornerOuter);
    showStoredPicture(PicCornerOuter, QStringLiteral(":/windows/corner-outer.gif"));

    PicCornerInner = new QLabel(Frame3);
    PicCornerInner->setObjectName(QStringLiteral("PicCornerInner"));
    PicCornerInner->setScaledContents(true);
    PicCornerInner->setGeometry(twipsRect(720, 120, 375, 135, this));
    markDecoration(PicCornerInner);
    showStoredPicture(PicCornerInner, QStringLiteral(":/windows/corner-inner.gif"));

    Frame3->hide();
}

void Form1::buildPictureButtons()
{
    // A column at the bottom left, each 1935 by 375 twips, 45 twips apart;
    // before its first click each shows the picture stored with the window.
    struct ButtonSetup {
        PictureButton** button;
        const char* name;
        const char* caption;
        const char* stored;
        void (Form1::*click)();
    };
    const ButtonSetup setups[] = {
        {&picCmdNew, "picCmdNew", "New", ":/windows/button-new.gif", &Form1::picCmdNew_Click},
        {&picCmdEdit, "picCmdEdit", "Edit", ":/windows/button-edit.gif", &Form1::picCmdEdit_Click},
        {&picCmdSort, "picCmdSort", "Sort", ":/windows/button-sort.gif", &Form1::picCmdSort_Click},
        {&picCmdRun, "picCmdRun", "Run", ":/windows/button-run.gif", &Form1::picCmdRun_Click},
        {&picCmdCatImages, "picCmdCatImages", "Catalogue", ":/windows/button-catalogue.gif",
         &Form1::picCmdCatImages_Click},
        {&picCmdSource, "picCmdSource", "Internet", ":/windows/button-internet.gif",
         &Form1::picCmdSource_Click},
    };
    int top = 6900;
    for (const ButtonSetup& s : setups) {
        auto* b = new PictureButton(QString::fromUtf8(s.name), QString::fromUtf8(s.caption), client);
        b->setGeometry(twipsRect(270, top, 1935, 375, this));
        showStoredPicture(b, QString::fromUtf8(s.stored));
        connect(b, &PictureButton::clicked, this, s.click);
        *s.button = b;
        top += 375 + 45;
    }
    describeToggles();
}

void Form1::describeToggles()
{
    // The name stays; the description tells what is shown now.
    picCmdCatImages->setToolTip(QStringLiteral("Catalogue / Images"));
    picCmdCatImages->setAccessibleDescription(
        f.iCatalogueView == 2 ? QStringLiteral("Catalogue / Images: the disk catalogue is shown")
                              : QStringLiteral("Catalogue / Images: the pictures are shown"));
    picCmdSource->setToolTip(QStringLiteral("Internet / Local"));
    picCmdSource->setAccessibleDescription(
        f.boolInternet ? QStringLiteral("Internet / Local: an Internet source is shown")
                       : QStringLiteral("Internet / Local: the local catalogue is shown"));
}

void Form1::buildMenus()
{
    auto item = [this](QMenu* menu, QAction*& action, const char* name, const char* caption,
                       void (Form1::*click)()) {
        action = menu->addAction(QString::fromUtf8(caption));
        action->setObjectName(QString::fromUtf8(name));
        connect(action, &QAction::triggered, this, click);
    };
    auto separator = [](QMenu* menu, QAction*& action, const char* name) {
        action = menu->addSeparator();
        action->setObjectName(QString::fromUtf8(name));
    };

    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    item(mnuFile, mnuDownloadInternetDatabase, "mnuDownloadInternetDatabase",
         "&Download latest Internet database", &Form1::mnuDownloadInternetDatabase_Click);
    item(mnuFile, mnuNewDatabase, "mnuNewDatabase", "&New database", &Form1::mnuNewDatabase_Click);
    item(mnuFile, mnuSortExit, "mnuSortExit", "&Sort database and exit", &Form1::mnuSortExit_Click);
    item(mnuFile, mnuCreateImg, "mnuCreateImg", "&Create .img file", &Form1::mnuCreateImg_Click);
    item(mnuFile, mnuAddFolder, "mnuAddFolder", "&Add a folder of software...",
         &Form1::mnuAddFolder_Click);
    item(mnuFile, mnuExportMmb, "mnuExportMmb", "&Export to MMB...", &Form1::mnuExportMmb_Click);
    item(mnuFile, mnuRunFile, "mnuRunFile", "&Run a file...", &Form1::mnuRunFile_Click);
    item(mnuFile, mnuExit, "mnuExit", "&Exit", &Form1::mnuExit_Click);

    mnuOptions = menuBar()->addMenu(QStringLiteral("&Options"));
    mnuOptions->setObjectName(QStringLiteral("mnuOptions"));
    item(mnuOptions, mnuProperties, "mnuProperties", "&Properties", &Form1::mnuProperties_Click);
    separator(mnuOptions, mnuOptionsSep1, "mnuOptionsSep1");
    item(mnuOptions, mnuBeebEm, "mnuBeebEm", "&BeebEm", &Form1::mnuBeebEm_Click);
    item(mnuOptions, mnuB_Em, "mnuB_Em", "&B-Em", &Form1::mnuB_Em_Click);
    item(mnuOptions, mnuElectrEm, "mnuElectrEm", "&ElectrEm", &Form1::mnuElectrEm_Click);
    item(mnuOptions, mnuPcBBC, "mnuPcBBC", "&PcBBC", &Form1::mnuPcBBC_Click);
    for (QAction* a : {mnuBeebEm, mnuB_Em, mnuElectrEm, mnuPcBBC})
        a->setCheckable(true);
    separator(mnuOptions, mnuOptionsSep2, "mnuOptionsSep2");
    item(mnuOptions, mnuSaveDiskImages, "mnuSaveDiskImages", "&Save downloaded disk images",
         &Form1::mnuSaveDiskImages_Click);
    mnuSaveDiskImages->setCheckable(true);
    separator(mnuOptions, mnuOptionsSep3, "mnuOptionsSep3");
    item(mnuOptions, mnuSetUpEmulators, "mnuSetUpEmulators", "Set &up emulators...",
         &Form1::mnuSetUpEmulators_Click);

    menuBar()->setAccessibleName(QStringLiteral("Menu bar"));
    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    item(mnuHelp, mnuHelp1, "mnuHelp1", "&Contents", &Form1::mnuHelp1_Click);
    item(mnuHelp, mnuHelp2, "mnuHelp2", "&Basic keywords reference", &Form1::mnuHelp2_Click);
    item(mnuHelp, mnuAbout, "mnuAbout", "&About", &Form1::mnuAbout_Click);
}

void Form1::InitDisplay()
{
    // Window text yellow on black; the grid's lines purple.
    QPalette p = palette();
    p.setColor(QPalette::Window, colorFromBgr(kBlack));
    p.setColor(QPalette::WindowText, colorFromBgr(kYellow));
    p.setColor(QPalette::Base, colorFromBgr(kBlack));
    p.setColor(QPalette::Text, colorFromBgr(kYellow));
    centralWidget()->setPalette(p);
    centralWidget()->setAutoFillBackground(true);
    client->setPalette(p);
    client->setAutoFillBackground(true);
    applyGridLayout();
    ShowPictureView();
}

void Form1::applyGridLayout()
{
    const FlexGrid& g = f.MSFlexGrid;
    QPalette p = MSFlexGridView->palette();
    p.setColor(QPalette::Base, colorFromBgr(g.BackColor));
    p.setColor(QPalette::Text, colorFromBgr(g.ForeColor));
    MSFlexGridView->setPalette(p);
    MSFlexGridView->setStyleSheet(QStringLiteral("QTableView { gridline-color: %1; }")
                                      .arg(colorFromBgr(kPurple).name()));
    MSFlexGridView->setWordWrap(g.WordWrap);
    MSFlexGridView->setHorizontalScrollBarPolicy(
        g.ScrollBars & FlexGrid::flexScrollBarHorizontal ? Qt::ScrollBarAsNeeded
                                                         : Qt::ScrollBarAlwaysOff);
    MSFlexGridView->setVerticalScrollBarPolicy(
        g.ScrollBars & FlexGrid::flexScrollBarVertical ? Qt::ScrollBarAsNeeded
                                                       : Qt::ScrollBarAlwaysOff);
    // The grid's widths are the start widths; a column the user widened
    // keeps its width, and the grid then scrolls sideways when it must.
    const ScaledLayout& s = *scaling_;
    for (int c = 0; c < g.Cols(); ++c) {
        const int width = g.ColWidth(c);
        if (width < 0)
            continue;
        MSFlexGridView->setColumnHidden(c, width == 0);
        if (width == 0)
            continue;
        int design = twipsToPixels(width, this);
        for (const auto& [column, widened] : widenedColumns_)
            if (column == c)
                design = widened;
        MSFlexGridView->setColumnWidth(c, s.scaled(design));
    }
    if (!widenedColumns_.empty() && (g.ScrollBars & FlexGrid::flexScrollBarVertical))
        MSFlexGridView->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    const int rowHeight = QFontMetrics(s.scaled(gridFont())).height() + s.scaled(6);
    if (MSFlexGridView->verticalHeader()->defaultSectionSize() != rowHeight)
        MSFlexGridView->verticalHeader()->setDefaultSectionSize(rowHeight);
    if (g.Width > 0) {
        QRect box = s.designBox(MSFlexGridView);
        box.setWidth(twipsToPixels(g.Width, this));
        scaling_->place(MSFlexGridView, box);
    }
}

// The window took another size: the grid's columns and rows and the
// catalogue panel's marks follow the scale (boxes and fonts have already).
void Form1::applyScale()
{
    applyGridLayout();
    catalogue->setScale(scaling_->scale());
}

void Form1::followGridCurrentCell(int row, int col)
{
    if (f.MSFlexGrid.Rows() == 0)
        return;
    const QModelIndex index = f.MSFlexGrid.index(row, col);
    if (MSFlexGridView->currentIndex() != index)
        MSFlexGridView->setCurrentIndex(index);
}

// Picture placement: stretch on, hide, top then left, the size (pixels for
// the placeholders), show, and paint at once.
void Form1::placePicture(QLabel* image, int top, int left, int height, int width, bool pixels)
{
    image->setScaledContents(true);
    image->hide();
    const int x = twipsToPixels(left, this);
    const int y = twipsToPixels(top, this);
    const int h = pixels ? height : twipsToPixels(height, this);
    const int w = pixels ? width : twipsToPixels(width, this);
    scaling_->place(image, QRect(x, y, w, h));
    // In the catalogue view the pictures stay hidden behind the panel.
    if (f.iCatalogueView != 2)
        image->show();
    image->repaint();
}

void Form1::ShowBoxArt() { placePicture(Image1, 1700, 7260, 4900, 3600, false); }
void Form1::ShowScreenshot() { placePicture(Image2, 1700, 11000, 3600, 4000, false); }
void Form1::ShowBoxArtPlaceholder() { placePicture(Image1, 2500, 8700, 191, 128, true); }
void Form1::ShowScreenshotPlaceholder() { placePicture(Image2, 3000, 11800, 128, 160, true); }

void Form1::showSoftwarePictures(const SoftwarePictures& pictures)
{
    if (showPictureFile(Image1, pictures.boxPicture)) {
        ShowBoxArt();
    } else {
        showPictureFile(Image1, kBoxPlaceholder);
        ShowBoxArtPlaceholder();
    }
    if (showPictureFile(Image2, pictures.secondPicture)) {
        ShowScreenshot();
    } else {
        showPictureFile(Image2, kScreenPlaceholder);
        ShowScreenshotPlaceholder();
    }
    txtText1->setPlainText(QString::fromStdString(pictures.description));
}

void Form1::ShowPictureView()
{
    Frame3->hide();
    catalogue->ShowPictureView();
    Image1->show();
    Image2->show();
    describeToggles();
}

void Form1::ShowCataloguePanel()
{
    Image1->hide();
    Image2->hide();
    Frame3->show();
    Frame3->raise();
    catalogue->ShowCataloguePanel();
    describeToggles();
}

void Form1::ShowSelectedCatalogue()
{
    {
        const KeepLaunchFile kept(f, launchUnderWay());
        catalogue->ShowSelectedCatalogue();
    }
    catalogue->followSelection();
}

Form1::ShownRow Form1::currentRow() const
{
    const FlexGrid& g = f.MSFlexGrid;
    return {g.Row(), std::string(g.TextMatrix(g.Row(), colFilepath)),
            std::string(g.TextMatrix(g.Row(), colDescription1)), f.boolInternet};
}

void Form1::gridClick()
{
    shownRow_ = currentRow();
    shownSincePress_ = true;
    {
        const KeepLaunchFile kept(f, launchUnderWay());
        const GridClickResult r = GridClick(f);
        if (r.showDescriptionOnly) {
            txtText1->setPlainText(QString::fromStdString(r.description));
        } else {
            if (r.showPictures)
                showSoftwarePictures(r.pictures);
            if (r.refillCatalogue)
                catalogue->ShowSelectedCatalogue();
        }
    }
    catalogue->followSelection();
}

void Form1::followCurrentRow(bool always)
{
    // Not while the grid is between two states (it tells the end), nor
    // before the window is built.
    if (f.MSFlexGrid.settling() || !catalogue || !txtText1)
        return;
    if (always || shownRow_ != currentRow())
        gridClick();
}

void Form1::focusGrid() { MSFlexGridView->setFocus(Qt::OtherFocusReason); }

void Form1::syncEmulatorMenu()
{
    mnuBeebEm->setChecked(f.mnuBeebEmChecked);
    mnuB_Em->setChecked(f.mnuB_EmChecked);
    mnuPcBBC->setChecked(f.mnuPcBBCChecked);
    mnuElectrEm->setChecked(f.mnuElectrEmChecked);
}

void Form1::loadCatalogue()
{
    // A catalogue made by the Windows program (a Jet database) is converted
    // once; one that cannot be read stays as it is and stops the start.
    std::string converted;
    switch (ConvertJetFileInPlace(f.sLocalDatabase, converted)) {
    case JetConversion::Converted:
        prompt_->messageBox(converted, PromptButtons::Ok, PromptIcon::Information);
        break;
    case JetConversion::Failed:
        throw dao::DaoError(dao::errUnrecognizedFormat, converted);
    case JetConversion::NotJet:
        break;
    }
    // A first run without a catalogue starts with a new, empty one.
    if (!FileExists(f.sLocalDatabase)) {
        f.sDatabaseFile = f.sLocalDatabase;
        CreateDatabase(f);
    }
    TransferFromAccess(f, f.sLocalDatabase, f.sLocalTable);
}

bool Form1::load()
{
    InitGlobalData(f);
    // The configuration dialog's routine reads "bbc.ini" and makes the
    // stored emulator current; the dialog itself is never shown here.
    readSettingsAtStartUp();
    syncEmulatorMenu();
    InitDisplay();
    showPictureFile(Image0, kBackgroundPicture);
    scaling_->place(Image0, QRect(QPoint(0, 0), Image0->pixmap().size()));
    Image0->lower();

    try {
        BusyCursor busy;
        loadCatalogue();
    } catch (const dao::DaoError& e) {
        prompt_->messageBox("The catalogue \"" + f.sLocalDatabase +
                                "\" cannot be read, so Tavrin cannot start.\n\n" + e.what(),
                            PromptButtons::Ok, PromptIcon::Critical);
        return false;
    }

    DeleteAllFiles(f.sTempDir);
    for (const std::string& folder : {f.sTempDir, f.sDataDir, f.sTransferDir}) {
        if (DirExists(folder))
            continue;
        std::error_code ec;
        std::filesystem::create_directory(OsPath(folder), ec);
        if (ec)
            prompt_->messageBox("The folder \"" + folder + "\" cannot be created: " +
                                    ec.message() + ".",
                                PromptButtons::Ok, PromptIcon::Exclamation);
    }
    // The window has followed the grid's current row, row 0 after the sort,
    // since the catalogue was loaded.
    followCurrentRow();
    return true;
}

void Form1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    followGridCurrentCell(f.MSFlexGrid.Row(), f.MSFlexGrid.Col());
}

// ---------------------------------------------------------------------------
// Picture buttons. The pictures change only inside the clicks: pressed,
// the action, normal again.

void Form1::showButtonPicture(PictureButton* button, const char* picture)
{
    describeToggles();
    showPictureFile(button, picture);
    button->repaint();
    if (pictureShown)
        pictureShown(button, QString::fromUtf8(picture));
}

void Form1::picCmdNew_Click()
{
    if (f.boolInternet)
        return;
    showButtonPicture(picCmdNew, kNewDown);
    // One window at a time: a second click only brings it forward.
    if (!frmNewRecord || frmNewRecord->isFinished()) {
        auto* window = new FrmNewRecord(*this);
        if (window->load())
            frmNewRecord = window; // else it has said why and goes
    }
    if (frmNewRecord) {
        frmNewRecord->show();
        frmNewRecord->raise();
        frmNewRecord->activateWindow();
    }
    showButtonPicture(picCmdNew, kNewUp);
}

void Form1::picCmdEdit_Click()
{
    if (f.boolInternet)
        return;
    showButtonPicture(picCmdEdit, kEditDown);
    if (!frmEditDatabase || frmEditDatabase->isFinished()) {
        auto* window = new FrmEditDatabase(*this);
        if (window->load())
            frmEditDatabase = window;
    }
    if (frmEditDatabase) {
        frmEditDatabase->show();
        frmEditDatabase->raise();
        frmEditDatabase->activateWindow();
    }
    showButtonPicture(picCmdEdit, kEditUp);
}

void Form1::picCmdSort_Click()
{
    showButtonPicture(picCmdSort, kSortDown);
    // The mode is the grid's current column; columns 3 to 7 sort nothing.
    f.iSort = f.MSFlexGrid.Col();
    {
        BusyCursor busy;
        Sort(f);
    }
    showButtonPicture(picCmdSort, kSortUp);
}

void Form1::picCmdRun_Click()
{
    // A launch under way is not started again.
    if (launchUnderWay())
        return;
    showButtonPicture(picCmdRun, kRunDown);
    showButtonPicture(picCmdRun, kRunUp);
    RunSelection();
}

// A double click on a row runs it; the click of that row has already made
// it the current one.
void Form1::connectGridDoubleClick()
{
    connect(MSFlexGridView, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            RunSelection();
    });
}

void Form1::RunSelection() { launcher().RunSelection(); }

const CreateUnzipFiles& Form1::unzipFilesFactory()
{
    // One factory, so that Varnock is loaded once for the launch and the
    // catalogue update alike.
    if (!unzipFilesFactory_)
        unzipFilesFactory_ = UnzipFilesFactory(prompt());
    return unzipFilesFactory_;
}

Launcher& Form1::launcher()
{
    if (!launcher_) {
        keyboard_ = std::make_unique<X11Keyboard>();
        LaunchHooks hooks;
        hooks.createUnzipFiles = unzipFilesFactory();
        hooks.appendInfo = [this](const std::string& text) {
            txtInfo->setPlainText(txtInfo->toPlainText() + QString::fromStdString(text));
        };
        // The window stays live while an emulator is waited for.
        hooks.processEvents = [] { QCoreApplication::processEvents(QEventLoop::AllEvents); };
        hooks.showUpdateImg = [this] {
            FrmUpdateImg frmUpdateImg(*launcher_, this);
            frmUpdateImg.exec();
        };
        hooks.requestDownload = [this] {
            internetWindow().PrepareInternetRequest(f.sURLMain, f.sFullFilename);
        };
        hooks.launchUnderWay = [this](bool underWay) { followLaunch(underWay); };
        hooks.showUnpackProgress = FrmUnpackProgress::opener(this);
        hooks.emulatorStarted = [this](const std::string& file) { emulatorStarted(file); };
        launcher_ = std::make_unique<Launcher>(f, *prompt_, *keyboard_, std::move(hooks));
    }
    return *launcher_;
}

bool Form1::launchUnderWay() const { return launcher_ && launcher_->LaunchUnderWay(); }

void Form1::followLaunch(bool underWay)
{
    // Another launch, another emulator or other settings wait for this one,
    // and so does the Internet switch with its update, which empties "Temp".
    for (QAction* a : {mnuRunFile, mnuBeebEm, mnuB_Em, mnuElectrEm, mnuPcBBC, mnuProperties,
                       mnuSetUpEmulators, mnuDownloadInternetDatabase})
        a->setEnabled(!underWay);
    for (QWidget* w :
         std::initializer_list<QWidget*>{picCmdRun, picCmdSource, frmFormIni, frmSetUpEmulators})
        if (w)
            w->setEnabled(!underWay);
    if (underWay)
        return;
    // The launch may have made another file current (an unpacked image, a
    // download, a file run directly): the row's is again.
    followCurrentRow(true);
    if (afterLaunch_)
        QTimer::singleShot(0, this, std::exchange(afterLaunch_, nullptr));
}

bool Form1::endLaunchFirst(std::function<void()> then)
{
    if (!launchUnderWay())
        return false;
    if (askingToStop_)
        return true;
    // While an emulator is waited for the user chooses: wait on and stay, or
    // stop waiting (the emulator runs on, its image is not copied back). Any
    // other step of a launch ends by itself, and `then` runs after it.
    if (launcher_->Waiting()) {
        const QScopedValueRollback asking(askingToStop_, true);
        if (prompt_->questionDefaultNo(launcher_->StopWaitingQuestion(), PromptIcon::Question) !=
            PromptAnswer::Yes) {
            afterLaunch_ = nullptr;
            return true;
        }
        launcher_->StopWaiting();
    }
    if (!afterLaunch_)
        afterLaunch_ = std::move(then);
    return true;
}

void Form1::closeEvent(QCloseEvent* event)
{
    if (endLaunchFirst([this] { close(); })) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void Form1::picCmdCatImages_Click()
{
    if (f.boolInternet)
        return;
    if (f.iCatalogueView == 1) {
        showButtonPicture(picCmdCatImages, kCatalogueDown);
        f.iCatalogueView = 2;
        ShowCataloguePanel();
        showButtonPicture(picCmdCatImages, kImagesUp);
        ShowSelectedCatalogue();
    } else if (f.iCatalogueView == 2) {
        showButtonPicture(picCmdCatImages, kImagesDown);
        f.iCatalogueView = 1;
        ShowPictureView();
        showButtonPicture(picCmdCatImages, kCatalogueUp);
    }
}

void Form1::picCmdSource_Click()
{
    if (!f.boolInternet) {
        f.boolInternet = true;
        showButtonPicture(picCmdSource, kInternetDown);
        if (f.iCatalogueView == 2) {
            f.iCatalogueView = 1;
            ShowPictureView();
        }
        showPictureFile(Image1, kBoxPlaceholder);
        ShowBoxArtPlaceholder();
        showPictureFile(Image2, kScreenPlaceholder);
        ShowScreenshotPlaceholder();
        showButtonPicture(picCmdSource, kLocalUp);
        if (f.boolAskForUpdate) {
            f.boolAskForUpdate = false;
            AskForDatabaseUpdate(*prompt_, [this] { runInternetUpdate(); });
        }
        showSingleWindow(frmInternetSourceSelect,
                         [this] { return new FrmInternetSourceSelect(*this); });
        // The grid is sorted as it is now, while the dialog is open.
        f.iSort = 0;
        Sort(f);
        return;
    }
    // Back from an Internet list to the local catalogue.
    f.boolInternet = false;
    showButtonPicture(picCmdSource, kLocalDown);
    showButtonPicture(picCmdSource, kInternetUp);
    try {
        BusyCursor busy;
        f.MSFlexGrid.Clear();
        TransferFromAccess(f, f.sLocalDatabase, f.sLocalTable);
    } catch (const dao::DaoError& e) {
        prompt_->messageBox("The catalogue \"" + f.sLocalDatabase + "\" cannot be read.\n\n" +
                                e.what(),
                            PromptButtons::Ok, PromptIcon::Critical);
    }
    // Either way the grid ends in mode-0 order.
    f.iSort = 0;
    BusyCursor busy;
    Sort(f);
}

// ---------------------------------------------------------------------------
// Menus.

void Form1::showInternetList()
{
    followGridCurrentCell(f.MSFlexGrid.Row(), f.MSFlexGrid.Col());
    followCurrentRow(true);
}

void Form1::internetSourceCancelled()
{
    f.boolInternet = false;
    showButtonPicture(picCmdSource, kLocalDown);
    showButtonPicture(picCmdSource, kInternetUp);
}

FrmInternet& Form1::internetWindow()
{
    if (!frmInternet_) {
        frmInternet_ = new FrmInternet(f, *prompt_, this);
        frmInternet_->download.prepareFilesForEmu = [this] {
            if (internetLaunch)
                internetLaunch();
            else
                launcher().PrepareFilesForEmu();
        };
        frmInternet_->download.saveDiskImages = [this] { return mnuSaveDiskImages->isChecked(); };
    }
    return *frmInternet_;
}

void Form1::runInternetUpdate()
{
    CreateUnzipFiles create = createUnzipFiles;
    if (!create)
        create = unzipFilesFactory();
    UpdateInternetDatabase(f, *prompt_, internetWindow().download, create,
                           FrmUnpackProgress::opener(this));
}

void Form1::mnuDownloadInternetDatabase_Click() { runInternetUpdate(); }

void Form1::mnuAddFolder_Click()
{
    const QString folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Add a folder of software"),
        QString::fromStdString(OsPathString(f.sDiskImages)));
    if (!folder.isEmpty())
        addFolderOfSoftware(folder.toStdString());
}

void Form1::addFolderOfSoftware(const std::string& folder)
{
    std::error_code ec;
    const std::string appFolder =
        f.sAppPath.empty() ? std::filesystem::current_path(ec).string() : f.sAppPath;
    if (!AddFolderWithProgress(this, *prompt_, f.sLocalDatabase, folder, appFolder) || f.boolInternet)
        return;
    try {
        TransferFromAccess(f, f.sLocalDatabase, f.sLocalTable);
    } catch (const dao::DaoError& e) {
        prompt_->messageBox("The catalogue \"" + f.sLocalDatabase + "\" cannot be read.\n\n" +
                                e.what(),
                            PromptButtons::Ok, PromptIcon::Critical);
        return;
    }
}

void Form1::mnuNewDatabase_Click()
{
    showSingleWindow(frmDialog, [this] { return new FrmDialog(*this); });
}

void Form1::mnuCreateImg_Click()
{
    showSingleWindow(frmCreateImg, [this] { return new FrmCreateImg(*prompt_, this); });
}

void Form1::mnuExit_Click() { close(); }

void Form1::mnuSortExit_Click()
{
    if (endLaunchFirst([this] { mnuSortExit_Click(); }))
        return;
    try {
        writeBackWithProgress();
    } catch (const dao::DaoError& e) {
        prompt_->messageBox(std::string("The catalogue could not be written back; it is "
                                        "unchanged and Tavrin stays open.\n\n") +
                                e.what(),
                            PromptButtons::Ok, PromptIcon::Critical);
        return;
    }
    close();
}

void Form1::mnuProperties_Click()
{
    showSingleWindow(frmFormIni, [this] { return new FrmFormIni(*this); });
}

void Form1::mnuSetUpEmulators_Click()
{
    showSingleWindow(frmSetUpEmulators, [this] { return new FrmSetUpEmulators(*this); });
}

void Form1::offerEmulatorSetUp()
{
    if (!ShouldOfferEmulatorSetUp(f))
        return;
    // Offered once: a file that cannot be written offers it again next time.
    RememberEmulatorSetUpOffered(f);
    if (prompt_->messageBox("No emulator is set up yet. Shall Tavrin look for BBC Micro and "
                            "Electron emulators on this computer?\n\nYou can also do this later "
                            "with Options, Set up emulators...",
                            PromptButtons::YesNo, PromptIcon::Question) == PromptAnswer::Yes)
        mnuSetUpEmulators_Click();
}

void Form1::readSettingsAtStartUp()
{
    // A file that cannot be read is named once, here; the run goes on with
    // the defaults and the file stays as it is.
    std::string problem;
    ReadIni(f, &problem);
    if (!problem.empty())
        prompt_->messageBox(problem, PromptButtons::Ok, PromptIcon::Exclamation);
}

void Form1::chooseEmulator(int emulator)
{
    // The launch under way goes on with the emulator it began with.
    if (launchUnderWay()) {
        syncEmulatorMenu();
        return;
    }
    ChooseEmulatorForRun(f, static_cast<Emulator>(emulator));
    syncEmulatorMenu();
}

void Form1::mnuBeebEm_Click() { chooseEmulator(static_cast<int>(Emulator::BeebEm)); }
void Form1::mnuB_Em_Click() { chooseEmulator(static_cast<int>(Emulator::B_Em)); }
void Form1::mnuElectrEm_Click() { chooseEmulator(static_cast<int>(Emulator::ElectrEm)); }
void Form1::mnuPcBBC_Click() { chooseEmulator(static_cast<int>(Emulator::PcBBC)); }

// The item is checkable: a click has toggled its check mark already.
void Form1::mnuSaveDiskImages_Click()
{
    if (mnuSaveDiskImages->isChecked())
        prompt_->messageBox("Downloaded files will be saved to the directory 'Transfer'");
}

void Form1::showHelpFile(QPointer<FrmHelp>& viewer, const char* file)
{
    showSingleWindow(viewer, [this, file]() -> FrmHelp* {
        auto* opened = new FrmHelp(*prompt_);
        if (opened->openFile(file))
            return opened;
        delete opened;
        return nullptr;
    });
}

void Form1::mnuHelp1_Click() { showHelpFile(frmHelpContents, "help.hlp"); }
void Form1::mnuHelp2_Click() { showHelpFile(frmHelpKeywords, "keywords.hlp"); }

void Form1::mnuAbout_Click()
{
    showSingleWindow(frmAbout, [] { return new FrmAbout; });
}

} // namespace tavrin
