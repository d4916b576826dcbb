#include "Form1.h"

#include "QtPrompt.h"
#include "Twips.h"
#include "catalogue/Catalogue.h"
#include "catalogue/Dao.h"
#include "core/FileHelpers.h"
#include "core/Paths.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTableView>

#include <filesystem>
#include <system_error>

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

} // namespace

Form1::Form1(Prompt* prompt, QWidget* parent) : QMainWindow(parent)
{
    if (!prompt) {
        ownPrompt_ = std::make_unique<QtPrompt>(this);
        prompt = ownPrompt_.get();
    }
    prompt_ = prompt;
    setWindowTitle(QString::fromUtf8(kProgramTitle));
    buildControls();
    buildMenus();
}

Form1::~Form1() = default;

void Form1::buildControls()
{
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("Form1Client"));
    setCentralWidget(central);
    // Controls keep the positions the window was designed with, so the client
    // area is at least the designed 15180 by 10440 twips.
    central->setMinimumSize(twipsToPixels(15180, this), twipsToPixels(10440, this));

    Image0 = new QLabel(central);
    Image0->setObjectName(QStringLiteral("Image0"));
    Image0->move(0, 0);

    MSFlexGridView = new QTableView(central);
    MSFlexGridView->setObjectName(QStringLiteral("MSFlexGrid"));
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

    connect(&f.MSFlexGrid, &FlexGrid::currentCellChanged, this, &Form1::followGridCurrentCell);
    connect(&f.MSFlexGrid, &FlexGrid::layoutPropertiesChanged, this, &Form1::applyGridLayout);
    connect(&f.MSFlexGrid, &QAbstractItemModel::modelReset, this, &Form1::applyGridLayout);
    connect(MSFlexGridView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (!current.isValid())
                    return;
                QSignalBlocker block(&f.MSFlexGrid);
                f.MSFlexGrid.setRow(current.row());
                f.MSFlexGrid.setCol(current.column());
            });
    connect(MSFlexGridView, &QTableView::clicked, this, [this](const QModelIndex& index) {
        if (!index.isValid())
            return;
        QSignalBlocker block(&f.MSFlexGrid);
        f.MSFlexGrid.setRow(index.row());
        f.MSFlexGrid.setCol(index.column());
        gridClick();
    });

    Image1 = new QLabel(central);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setScaledContents(true);
    Image2 = new QLabel(central);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setScaledContents(true);

    txtText1 = new QPlainTextEdit(central);
    txtText1->setObjectName(QStringLiteral("txtText1"));
    txtText1->setReadOnly(true);
    txtText1->setFocusPolicy(Qt::NoFocus);
    txtText1->setGeometry(twipsRect(2520, 7800, 12555, 1335, this));
}

void Form1::buildMenus()
{
    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuSortExit = mnuFile->addAction(QStringLiteral("&Sort database and exit"));
    mnuSortExit->setObjectName(QStringLiteral("mnuSortExit"));
    connect(mnuSortExit, &QAction::triggered, this, &Form1::mnuSortExit_Click);
    mnuExit = mnuFile->addAction(QStringLiteral("&Exit"));
    mnuExit->setObjectName(QStringLiteral("mnuExit"));
    connect(mnuExit, &QAction::triggered, this, &Form1::mnuExit_Click);
}

void Form1::InitDisplay()
{
    // Window text yellow on black; the grid's lines purple.
    QPalette p = palette();
    p.setColor(QPalette::Window, colorFromBgr(kBlack));
    p.setColor(QPalette::WindowText, colorFromBgr(kYellow));
    p.setColor(QPalette::Base, colorFromBgr(kBlack));
    p.setColor(QPalette::Text, colorFromBgr(kYellow));
    setPalette(p);
    centralWidget()->setAutoFillBackground(true);
    applyGridLayout();
    // The picture view is shown at start.
    Image1->show();
    Image2->show();
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
    for (int c = 0; c < g.Cols(); ++c) {
        const int width = g.ColWidth(c);
        if (width < 0)
            continue;
        MSFlexGridView->setColumnHidden(c, width == 0);
        if (width > 0)
            MSFlexGridView->setColumnWidth(c, twipsToPixels(width, this));
    }
    if (g.Width > 0)
        MSFlexGridView->resize(twipsToPixels(g.Width, this), MSFlexGridView->height());
}

void Form1::followGridCurrentCell(int row, int col)
{
    if (f.MSFlexGrid.Rows() == 0)
        return;
    const QModelIndex index = f.MSFlexGrid.index(row, col);
    if (MSFlexGridView->currentIndex() != index)
        MSFlexGridView->setCurrentIndex(index);
}

bool Form1::loadPicture(QLabel* image, const std::string& storedPath)
{
    QPixmap picture;
    if (!storedPath.empty() && picture.load(QString::fromStdString(OsPathString(storedPath)))) {
        image->setPixmap(picture);
        return true;
    }
    image->setPixmap(QPixmap());
    return false;
}

void Form1::placePicture(QLabel* image, int top, int left, int height, int width, bool pixels)
{
    image->setScaledContents(true);
    image->hide();
    const int x = twipsToPixels(left, this);
    const int y = twipsToPixels(top, this);
    const int h = pixels ? height : twipsToPixels(height, this);
    const int w = pixels ? width : twipsToPixels(width, this);
    image->setGeometry(x, y, w, h);
    image->show();
    image->repaint();
}

void Form1::ShowBoxArt() { placePicture(Image1, 1700, 7260, 4900, 3600, false); }
void Form1::ShowScreenshot() { placePicture(Image2, 1700, 11000, 3600, 4000, false); }
void Form1::ShowBoxArtPlaceholder() { placePicture(Image1, 2500, 8700, 191, 128, true); }
void Form1::ShowScreenshotPlaceholder() { placePicture(Image2, 3000, 11800, 128, 160, true); }

void Form1::showSoftwarePictures(const SoftwarePictures& pictures)
{
    if (loadPicture(Image1, pictures.boxPicture)) {
        ShowBoxArt();
    } else {
        loadPicture(Image1, kBoxPlaceholder);
        ShowBoxArtPlaceholder();
    }
    if (loadPicture(Image2, pictures.secondPicture)) {
        ShowScreenshot();
    } else {
        loadPicture(Image2, kScreenPlaceholder);
        ShowScreenshotPlaceholder();
    }
    txtText1->setPlainText(QString::fromStdString(pictures.description));
}

void Form1::gridClick()
{
    const GridClickResult r = GridClick(f);
    if (r.showDescriptionOnly) {
        txtText1->setPlainText(QString::fromStdString(r.description));
        return;
    }
    if (r.showPictures)
        showSoftwarePictures(r.pictures);
}

void Form1::focusGrid() { MSFlexGridView->setFocus(Qt::OtherFocusReason); }

void Form1::loadCatalogue()
{
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
    InitDisplay();
    loadPicture(Image0, kBackgroundPicture);
    Image0->adjustSize();
    Image0->lower();

    try {
        loadCatalogue();
    } catch (const dao::DaoError& e) {
        prompt_->messageBox("The catalogue \"" + f.sLocalDatabase +
                                "\" cannot be read, so Tavrin cannot start.\n\n" + e.what(),
                            PromptButtons::Ok, PromptIcon::Critical);
        return false;
    }

    DeleteAllFiles(f.sTempDir);
    f.sFullFilename = std::string(f.MSFlexGrid.TextMatrix(f.MSFlexGrid.Row(), 3));
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
    if (!f.sFullFilename.empty())
        showSoftwarePictures(ShowSoftwarePicture(f, f.sFullFilename));
    return true;
}

void Form1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    followGridCurrentCell(f.MSFlexGrid.Row(), f.MSFlexGrid.Col());
}

void Form1::mnuExit_Click() { close(); }

void Form1::mnuSortExit_Click()
{
    try {
        SortAndTransferToAccess(f);
    } catch (const dao::DaoError& e) {
        prompt_->messageBox(std::string("The catalogue could not be written back; it is "
                                        "unchanged and Tavrin stays open.\n\n") +
                                e.what(),
                            PromptButtons::Ok, PromptIcon::Critical);
        return;
    }
    close();
}

} // namespace tavrin
