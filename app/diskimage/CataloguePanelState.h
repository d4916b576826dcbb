#pragma once
// What the disk catalogue panel of the main window shows, and how it follows
// the selected grid row. The panel's window class only mirrors this state
// into its controls and hands its clicks back here.
//
// "Update" writes only into the image whose catalogue the panel shows, and
// only while that image is still the current file and the file of the
// selected grid row; after any change of selection the panel did not follow
// (the Electron emulator is selected, the keyboard moved the row, a sort or a
// reload changed it) there is nothing for "Update" to act on.

#include "DiskCatalogue.h"

#include <optional>
#include <string>
#include <string_view>

namespace tavrin
{

struct Form1State;

// sExt for a path: its last four characters in lower case (".SSD" gives
// ".ssd"); the whole path when it is shorter.
std::string ExtensionOf(std::string_view path);

// True for the four extensions of disk images: ".ssd", ".dsd", ".img", ".bbc".
bool IsDiskImageExtension(std::string_view sExt);

// True for the extension of tape images, ".uef".
bool IsTapeImageExtension(std::string_view sExt);

class CataloguePanelState
{
  public:
    // What ShowSelectedCatalogue did to the panel.
    enum class Outcome {
        Kept,    // the Electron emulator is selected: only TextExt changed
        Cleared, // no disk image selected: the panel is empty
        Read,    // the catalogue of the selected image is shown
        Failed,  // the image could not be read: the panel is empty, `message` says why
    };
    struct Shown {
        Outcome outcome = Outcome::Kept;
        std::string message; // for the user; empty unless Failed
    };

    // Takes the selected row's file into sFullFilename and, when it is not
    // empty, its extension into sExt (shown in TextExt); then shows the files
    // of a tape image, or, unless the Electron emulator is selected, reads
    // the catalogue of a disk image or clears the panel for any other file.
    Shown ShowSelectedCatalogue(Form1State& f, bool electronSelected);

    // Reads the catalogue of the image at `path` (opened for reading only).
    // On failure the panel is cleared and the message returned; "" otherwise.
    std::string ReadDiskCatalogue(const std::string& path);

    // Shows the files of the tape image at `path`, read-only: the title is
    // its first file's name, the entries its first 62 files (TapeFileEntry),
    // and "Update" stays off (UpdateRefusal tells why). On failure the panel
    // is cleared and the message returned; "" otherwise.
    std::string ReadTapeCatalogue(const std::string& path);

    // Empties the title, the 62 entries and the boot option; the panel then
    // shows no image.
    void ClearCataloguePanel();

    // True while "Update" may write: the panel shows the catalogue of an
    // image that "Update" would not refuse (see UpdateRefusal), and that
    // image is both sFullFilename and the file of the grid's current row.
    bool CanUpdate(const Form1State& f) const;

    // Why "Update" is off for the shown file although the panel shows its
    // catalogue: it is not a DFS image, and a write would be refused. Empty
    // when the panel shows a DFS image or nothing.
    const std::string& UpdateRefusal() const { return updateRefusal_; }

    // "Update": writes into the image the panel shows what the user changed:
    // the title when `title` (the text of the title box) differs from
    // shownTitle(), read back from its visible form (see
    // FromVisibleControlCharacters); the boot option when the checked one
    // differs from the one shown (none checked: byte 0x106 is left alone).
    // Returns the message for the user when the write failed, "" when it
    // succeeded or there was nothing to write. Unless CanUpdate (the button
    // is disabled then) it writes nothing and returns "".
    std::string WriteDiskCatalogue(const Form1State& f, std::string_view title,
                                   std::optional<int> checkedOption);

    const DiskCatalogue& catalogue() const { return catalogue_; }
    // The title and entry n (1 to 62) as the panel shows them: control
    // characters escaped as tavrin-disk cat shows them
    // (WithVisibleControlCharacters). The title is the one last written.
    const std::string& shownTitle() const { return shownTitle_; }
    std::string shownEntry(int n) const;
    // The stored path of the image whose catalogue is shown; "" for none.
    const std::string& shownFile() const { return shownFile_; }
    // The text of TextExt.
    const std::string& textExt() const { return textExt_; }

  private:
    DiskCatalogue catalogue_;
    std::string shownTitle_;
    std::string shownFile_;
    std::string textExt_;
    std::string updateRefusal_;
};

} // namespace tavrin
