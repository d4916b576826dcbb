#include "CataloguePanelState.h"

#include "DiskImageFile.h"
#include "UefFile.h"
#include "core/Form1State.h"

#include <QList>
#include <QString>

namespace tavrin
{
namespace
{

constexpr int kColFilepath = 3; // the grid column that holds the file of a row

// Every message of the panel.
namespace message
{
std::string cannotShow(const std::string& why)
{
    return "The catalogue of the disk image cannot be shown.\n\n" + why + ".";
}
std::string notUpdated(const std::string& why)
{
    return "The title and boot option were not written.\n\n" + why + ".";
}
std::string updateOff(const std::string& why)
{
    return "Update is off, as this is not a DFS disk image: " + why + ".";
}
std::string otherFormat(const std::string& kind)
{
    return "This is " + kind + ", not a DFS disk image; it has no DFS catalogue to show or update.";
}
std::string cannotShowTape(const std::string& why)
{
    return "The files of the tape image cannot be shown.\n\n" + why + ".";
}
std::string tapeShownOnly(size_t files, bool damaged)
{
    std::string text = "Update is off, as this is a tape image: its " + std::to_string(files) +
                       (files == 1 ? " file is" : " files are") + " shown only";
    if (files > static_cast<size_t>(dfs::kMaxEntries))
        text += ", the first " + std::to_string(dfs::kMaxEntries) + " here";
    if (damaged)
        text += "; ! marks a file with a block missing or a CRC wrong";
    return text + ".";
}
} // namespace message

std::string selectedRowFile(const Form1State& f)
{
    return std::string(f.MSFlexGrid.TextMatrix(f.MSFlexGrid.Row(), kColFilepath));
}

} // namespace

std::string ExtensionOf(std::string_view path)
{
    const QList<uint> characters =
        QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())).toUcs4();
    const qsizetype first = characters.size() > 4 ? characters.size() - 4 : 0;
    const QList<uint> last = characters.mid(first);
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(last.data()), last.size())
        .toLower()
        .toStdString();
}

bool IsDiskImageExtension(std::string_view sExt)
{
    return sExt == ".ssd" || sExt == ".dsd" || sExt == ".img" || sExt == ".bbc";
}

bool IsTapeImageExtension(std::string_view sExt)
{
    return sExt == ".uef";
}

CataloguePanelState::Shown CataloguePanelState::ShowSelectedCatalogue(Form1State& f,
                                                                      bool electronSelected)
{
    f.sFullFilename = selectedRowFile(f);
    if (!f.sFullFilename.empty())
        f.sExt = ExtensionOf(f.sFullFilename);
    textExt_ = f.sExt;

    Shown shown;
    // A tape's files are shown whichever emulator is selected; ElectrEm, which
    // runs tapes, is the one whose users most want to see them.
    if (!f.sFullFilename.empty() && IsTapeImageExtension(f.sExt)) {
        shown.message = ReadTapeCatalogue(f.sFullFilename);
        shown.outcome = shown.message.empty() ? Outcome::Read : Outcome::Failed;
        return shown;
    }
    // ElectrEm takes no disk images: the panel stays as it was. "Update" then
    // follows CanUpdate, so it cannot write into the newly selected file.
    if (electronSelected)
        return shown;

    // A row without a file keeps the last extension; there is no image to read.
    if (f.sFullFilename.empty() || !IsDiskImageExtension(f.sExt)) {
        ClearCataloguePanel();
        shown.outcome = Outcome::Cleared;
        return shown;
    }
    shown.message = ReadDiskCatalogue(f.sFullFilename);
    shown.outcome = shown.message.empty() ? Outcome::Read : Outcome::Failed;
    return shown;
}

std::string CataloguePanelState::ReadDiskCatalogue(const std::string& path)
{
    DiskCatalogueRead read = tavrin::ReadDiskCatalogue(path);
    if (!read.ok()) {
        ClearCataloguePanel();
        return message::cannotShow(read.error);
    }
    catalogue_ = std::move(read.catalogue);
    shownTitle_ = WithVisibleControlCharacters(catalogue_.title);
    shownFile_ = path;
    updateRefusal_ = read.otherFormat ? message::otherFormat(*read.otherFormat)
                     : read.notDfs    ? message::updateOff(*read.notDfs)
                                      : std::string();
    return {};
}

std::string CataloguePanelState::shownEntry(int n) const
{
    if (n < 1 || n > dfs::kMaxEntries)
        return {};
    return WithVisibleControlCharacters(catalogue_.entries[static_cast<size_t>(n - 1)]);
}

std::string CataloguePanelState::ReadTapeCatalogue(const std::string& path)
{
    const UefTapeRead read = ReadUefTapeFile(path);
    if (!read.tape) {
        ClearCataloguePanel();
        return message::cannotShowTape(read.error);
    }
    const std::vector<TapeFile>& files = read.tape->files;
    catalogue_ = DiskCatalogue{};
    if (!files.empty())
        catalogue_.title = TapeFileName(files.front());
    bool damaged = false;
    for (size_t n = 0; n < files.size(); ++n) {
        damaged = damaged || files[n].damaged();
        if (n < catalogue_.entries.size())
            catalogue_.entries[n] = TapeFileEntry(files[n]);
    }
    shownTitle_ = WithVisibleControlCharacters(catalogue_.title);
    shownFile_ = path;
    updateRefusal_ = message::tapeShownOnly(files.size(), damaged);
    return {};
}

void CataloguePanelState::ClearCataloguePanel()
{
    catalogue_ = DiskCatalogue{};
    shownTitle_.clear();
    shownFile_.clear();
    updateRefusal_.clear();
}

bool CataloguePanelState::CanUpdate(const Form1State& f) const
{
    return !shownFile_.empty() && updateRefusal_.empty() && f.sFullFilename == shownFile_ &&
           selectedRowFile(f) == shownFile_;
}

std::string CataloguePanelState::WriteDiskCatalogue(const Form1State& f, std::string_view title,
                                                    std::optional<int> checkedOption)
{
    if (!CanUpdate(f))
        return {};
    // What the user left as shown is not written: a title holding bytes a
    // text box cannot hold keeps them, and an unchanged file stays untouched.
    std::optional<std::string> newTitle;
    if (title != shownTitle_)
        newTitle = FromVisibleControlCharacters(title);
    const std::optional<int> newOption =
        checkedOption != catalogue_.bootOption ? checkedOption : std::nullopt;
    if (!newTitle && !newOption)
        return {};
    const DiskWriteResult result = tavrin::WriteDiskCatalogue(shownFile_, newTitle, newOption);
    if (!result.ok())
        return message::notUpdated(result.error);
    if (newTitle)
        shownTitle_ = title;
    if (newOption)
        catalogue_.bootOption = newOption;
    return {};
}

} // namespace tavrin
