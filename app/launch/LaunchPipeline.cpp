// The launch pipeline: RunSelection reads the grid row, PrepareFilesForEmu
// checks the path, unpacks a zip and gates the extension, RunEmu dispatches
// to the ticked emulator.

#include "Launcher.h"

#include "core/FileHelpers.h"
#include "core/Paths.h"

#include <algorithm>
#include <utility>

namespace tavrin {
namespace {

constexpr const char* kNoPath = "sFullfilename is null";
constexpr const char* kZipWithElectrEm = "Zip files cannot be executed with ElectrEm.";
constexpr const char* kInvalidExtension =
    "Invalid file extension for emulation, must be .bbc, .dsd, .img, .ssd or .uef";
constexpr const char* kNoImageInZip = " does not include a *.bbc, *.dsd, *.img or *.ssd file";
constexpr const char* kNoUef = "Temporarily, Tavrin does not support the .UEF file format";
constexpr const char* kBeebEmNoBbc = "BeebEm does not support the .BBC file format";
constexpr const char* kB_EmSsdOnly = "Currently Tavrin only supports .ssd files with B-Em";
constexpr const char* kElectrEmUefOnly = "ElectrEm supports .UEF files only";

// The last four characters, lower-cased (ASCII only, as every extension
// compared with is).
std::string lowerExt(const std::string& path)
{
    std::string ext = path.size() > 4 ? path.substr(path.size() - 4) : path;
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) {
        return c < 0x80 ? static_cast<char>(std::tolower(c)) : static_cast<char>(c);
    });
    return ext;
}

} // namespace

// One launch, from its start to its end; nested entries belong to it.
class Launcher::LaunchScope {
public:
    explicit LaunchScope(Launcher& l) : l_(l)
    {
        if (l_.depth_++ == 0 && l_.hooks_.launchUnderWay)
            l_.hooks_.launchUnderWay(true);
    }
    ~LaunchScope()
    {
        if (--l_.depth_ > 0)
            return;
        l_.stopWaiting_ = false;
        l_.offersUpdate_ = false;
        l_.startedTold_ = false;
        l_.launchFile_.clear();
        l_.workingCopy_.clear();
        if (l_.hooks_.launchUnderWay)
            l_.hooks_.launchUnderWay(false);
    }
    LaunchScope(const LaunchScope&) = delete;
    LaunchScope& operator=(const LaunchScope&) = delete;

private:
    Launcher& l_;
};

Launcher::Launcher(Form1State& f, Prompt& prompt, Keyboard& keyboard, LaunchHooks hooks)
    : f_(f), prompt_(prompt), keyboard_(keyboard), hooks_(std::move(hooks))
{
}

void Launcher::message(const std::string& text) { prompt_.messageBox(text); }

void Launcher::RunSelection()
{
    if (LaunchUnderWay())
        return;
    LaunchScope launch(*this);
    const int row = f_.MSFlexGrid.Row();
    f_.sFullFilename = row >= 0 && row < f_.MSFlexGrid.Rows() ? std::string(f_.MSFlexGrid.TextMatrix(row, 3))
                                                               : std::string();
    f_.sExt = lowerExt(f_.sFullFilename);
    if (f_.boolInternet) {
        // The download hands its file back through PrepareFilesForEmu.
        handingOver_ = true;
        if (hooks_.requestDownload)
            hooks_.requestDownload();
        handingOver_ = false;
        return;
    }
    prepareFiles();
}

void Launcher::PrepareFilesForEmu()
{
    // Within a launch only the file its download hands over goes on.
    if (LaunchUnderWay() && !std::exchange(handingOver_, false))
        return;
    LaunchScope launch(*this);
    prepareFiles();
}

void Launcher::prepareFiles()
{
    launchFile_ = f_.sFullFilename;
    f_.iZipped = 0;
    f_.strZipFilename.clear();
    bool noImage = false;

    if (f_.sFullFilename.empty()) {
        message(kNoPath);
        return;
    }
    if (f_.sExt == ".zip") {
        if (f_.mnuElectrEmChecked) {
            message(kZipWithElectrEm);
        } else {
            if (!UnzipSoftware(f_, prompt_, hooks_.createUnzipFiles, hooks_.appendInfo,
                               hooks_.showUnpackProgress))
                return; // not unpacked (refused, cancelled, failed); the cause has been shown
            if (f_.iZipped == 0)
                noImage = true;
        }
    }
    static constexpr const char* kRunnable[] = {".bbc", ".dsd", ".img", ".ssd", ".uef"};
    if (std::find(std::begin(kRunnable), std::end(kRunnable), f_.sExt) != std::end(kRunnable))
        RunEmu();
    else if (noImage)
        message(OsPathString(f_.strZipFilename) + kNoImageInZip);
    else
        message(kInvalidExtension);

    if (f_.iZipped > 0)
        DeleteAllFiles(f_.sTempDir);
}

void Launcher::RunEmu()
{
    // What the launch began with: a row chosen or an emulator ticked while
    // an emulator is waited for changes neither.
    const std::string ext = f_.sExt;
    const bool pcBBC = f_.mnuPcBBCChecked, beebEm = f_.mnuBeebEmChecked,
               bEm = f_.mnuB_EmChecked, electrEm = f_.mnuElectrEmChecked;

    if (!electrEm && ext == ".uef")
        message(kNoUef);

    if (pcBBC) {
        if (ext == ".ssd") {
            if (copyToDestination())
                ShellandWait(f_.sEmuApp, 0);
        } else if (ext == ".img" || ext == ".dsd" || ext == ".bbc") {
            RunPcBBCImage(ext);
        }
        if (CapsLockOn()) {
            SetCapsLock(false);
            SetCapsLock(false);
            SetCapsLock(false);
        }
    }

    if (beebEm) {
        if (ext == ".ssd") {
            if (copyToDestination())
                startEmuApp(WindowStyle::MaximizedFocus);
        } else if (ext == ".img" || ext == ".dsd") {
            RunBeebEmImage(ext);
        } else if (ext == ".bbc") {
            message(kBeebEmNoBbc);
        }
    }

    if (bEm) {
        if (ext != ".ssd") {
            message(kB_EmSsdOnly);
        } else if (copyToDestination()) {
            startEmuApp(WindowStyle::MaximizedFocus);
        }
    }

    if (electrEm) {
        if (ext == ".uef")
            SendFileToElectrEm();
        else
            message(kElectrEmUefOnly);
    }
}

} // namespace tavrin
