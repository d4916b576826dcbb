#pragma once
// The main window: the catalogue grid, the pictures of the selected title,
// its description and the menus. All global state lives in `f`.

#include "catalogue/CatalogueGrid.h"
#include "core/Form1State.h"

#include <QMainWindow>

#include <memory>

class QLabel;
class QMenu;
class QPlainTextEdit;
class QTableView;
class QAction;

namespace tavrin {

class Prompt;

class Form1 : public QMainWindow {
    Q_OBJECT

public:
    // `prompt` shows the window's messages; Qt message boxes when null.
    explicit Form1(Prompt* prompt = nullptr, QWidget* parent = nullptr);
    ~Form1() override;

    // The window's load: global state, display, catalogue, working folders
    // and the first picture. False when the program cannot go on (the
    // catalogue cannot be read); the reason has been shown.
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

    // The grid click on the current row.
    void gridClick();
    // Gives the grid the keyboard focus.
    void focusGrid();

    // Menu items.
    void mnuExit_Click();
    void mnuSortExit_Click();

    // Controls, named as the window names them.
    QLabel* Image0 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Image2 = nullptr;
    QTableView* MSFlexGridView = nullptr;
    QPlainTextEdit* txtText1 = nullptr;
    QMenu* mnuFile = nullptr;
    QAction* mnuSortExit = nullptr;
    QAction* mnuExit = nullptr;

    Prompt& prompt() { return *prompt_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void InitDisplay();
    void buildControls();
    void buildMenus();
    void applyGridLayout();
    void followGridCurrentCell(int row, int col);
    void placePicture(QLabel* image, int top, int left, int height, int width, bool pixels);
    bool loadPicture(QLabel* image, const std::string& storedPath);
    void loadCatalogue();

    std::unique_ptr<Prompt> ownPrompt_;
    Prompt* prompt_;
};

} // namespace tavrin
