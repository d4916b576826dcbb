#pragma once
// What guards an unpack into the temporary folder: the folder is emptied
// first, so that files an earlier archive or attempt left never join this
// archive's; an archive that would expand beyond a bound chosen for its use,
// or beyond the free space, is refused before anything is written; a window
// shows how far the unpack has got, and its Cancel stops it; what a stopped
// unpack wrote is removed.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tavrin {

class UnzipFilesObject;

// A title for the BBC Micro or the Acorn Electron is a handful of disk and
// tape images of at most 400 KB each (an 80-track double-sided disc).
inline constexpr uint64_t kSoftwareUnpackLimit = 64ull << 20;
inline constexpr const char* kSoftwareUse = "a title for the BBC Micro or the Acorn Electron";
// The reference catalogue of the Internet sources is tens of MB.
inline constexpr uint64_t kCatalogueUnpackLimit = 256ull << 20;
inline constexpr const char* kCatalogueUse = "the Internet database";

// The window that shows how far an unpack has got.
class UnpackProgress {
public:
    virtual ~UnpackProgress() = default;
    // The entry being written (empty before the first), the bytes written
    // and the bytes to write. False once the user has pressed Cancel.
    virtual bool report(const std::string& entry, uint64_t done, uint64_t total) = 0;
};

// Opens the window for the unpack of `archive`; it closes when the result
// is destroyed. May give none.
using ShowUnpackProgress = std::function<std::unique_ptr<UnpackProgress>(const std::string& archive)>;

// Why an archive whose entries declare `total` bytes is not unpacked into
// `folder`, which has `freeBytes` free: more than `limit`, the bound for
// `use`, or more than the free space. Empty when it may be unpacked.
std::string UnpackRefusal(const std::string& archive, uint64_t total, uint64_t limit,
                          const std::string& use, uint64_t freeBytes, const std::string& folder);

// Removes everything in `folder`: files, links (never what they point at)
// and folders with all they hold, except the files named in `keep` (the
// archive about to be unpacked may lie there). A missing folder is empty.
// False with the reason when something could not be removed.
bool EmptyUnpackFolder(const std::string& folder, const std::vector<std::string>& keep,
                       std::string& why);

// Follows one extraction into `folder`.
class UnpackGuard {
public:
    UnpackGuard(std::string archive, std::string folder, uint64_t limit, std::string use,
                ShowUnpackProgress show);
    ~UnpackGuard();
    UnpackGuard(const UnpackGuard&) = delete;
    UnpackGuard& operator=(const UnpackGuard&) = delete;

    // Makes the object's extraction report here.
    void attach(UnzipFilesObject& unzip);
    // Closes the window once the extraction has returned.
    void finish() { window_.reset(); }
    // The unpack was refused or cancelled.
    bool stopped() const { return stopped_; }
    // Why it was refused; empty after a Cancel.
    const std::string& refusal() const { return refusal_; }

private:
    bool report(const std::string& entry, uint64_t done, uint64_t total);

    std::string archive_, folder_, use_;
    uint64_t limit_;
    ShowUnpackProgress show_;
    std::unique_ptr<UnpackProgress> window_;
    bool started_ = false;
    bool stopped_ = false;
    std::string refusal_;
};

} // namespace tavrin
