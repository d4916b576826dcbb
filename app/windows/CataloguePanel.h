#pragma once
// The disk catalogue panel of the main window, built over Frame3: the disk's
// title, its 62 catalogue entries, the four boot options, the current file's
// extension and the "Update" button. What it shows and when "Update" may
// write is CataloguePanelState's; this class only mirrors that state into
// its controls and hands its clicks back.

#include "diskimage/CataloguePanelState.h"

#include <QObject>

#include <array>
#include <optional>

class QButtonGroup;
class QGroupBox;
class QItemSelectionModel;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace tavrin
{

struct Form1State;
class Prompt;

class CataloguePanel : public QObject
{
    Q_OBJECT

  public:
    // Builds the panel's controls over `frame3` (the main window's Frame3),
    // hidden, as in the picture view. Messages go through `prompt`.
    CataloguePanel(QWidget* frame3, Form1State& f, Prompt& prompt);

    // The picture view: every control of the panel hidden.
    void ShowPictureView();
    // The catalogue view: every control of the panel visible.
    void ShowCataloguePanel();
    // Takes the selected row's file and extension, then fills or clears the
    // panel for it (nothing but TextExt changes while the Electron emulator
    // is selected). An image that cannot be read is told once and leaves the
    // panel cleared.
    void ShowSelectedCatalogue();
    // Shows the catalogue of sFullFilename, or clears the panel and tells
    // why it cannot.
    void ReadDiskCatalogue();
    // "Update": writes the title and the checked boot option into the image
    // the panel shows; a failed write is told.
    void WriteDiskCatalogue();
    // Empties the title and the 62 entries and unchecks all four options.
    void ClearCataloguePanel();

    // Enables "Update" only while the panel shows the catalogue of the
    // selected row's file, and that file is a DFS image; for one that is
    // not, lblUpdateOff tells why. Called on every change of the grid's rows or
    // current cell; `selection` is the grid view's, whose moves the grid
    // model does not signal.
    void followSelection();
    void followSelectionOf(QItemSelectionModel* selection);

    // The option buttons' marks at the window's scale (the boxes and fonts
    // are scaled with the window).
    void setScale(double scale);

    // The boot option checked in the panel, none when no option is.
    std::optional<int> checkedBootOption() const;

    const CataloguePanelState& state() const { return state_; }

    // Controls, named as the window names them. txtFile1[n] is box n, 1 to 62
    // (txtFile1[0] is unused).
    QGroupBox* Frame1 = nullptr; // the 62 file entries
    QGroupBox* Frame2 = nullptr; // the four boot options
    QWidget* Frame3 = nullptr;   // the whole panel (the main window's)
    QLineEdit* txtTitle = nullptr;
    std::array<QLineEdit*, 63> txtFile1{};
    QRadioButton* Option1 = nullptr;
    QRadioButton* Option2 = nullptr;
    QRadioButton* Option3 = nullptr;
    QRadioButton* Option4 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLineEdit* Text3 = nullptr;
    QLineEdit* Text4 = nullptr;
    QLineEdit* TextExt = nullptr;
    QPushButton* cmdUpdateEdits = nullptr;
    // Beside the extension: why "Update" is off for a file that is not a
    // DFS image; shown only then.
    QLabel* lblUpdateOff = nullptr;

  private:
    void build();
    void showState();
    void setPanelVisible(bool visible);
    std::array<QRadioButton*, 4> options() const;

    Form1State& f_;
    Prompt& prompt_;
    CataloguePanelState state_;
    QButtonGroup* optionGroup_ = nullptr;
};

} // namespace tavrin
