#include "UnpackGuard.h"

#include "VarnockComponent.h"
#include "core/Paths.h"

#include <filesystem>
#include <system_error>

namespace tavrin {
namespace fs = std::filesystem;

namespace {

std::string megabytes(uint64_t bytes, bool roundUp)
{
    const uint64_t mb = bytes / (1u << 20) + (roundUp && bytes % (1u << 20) ? 1 : 0);
    return std::to_string(mb) + " MB";
}

bool isKept(const fs::path& entry, const std::vector<fs::path>& keep)
{
    std::error_code ec;
    for (const fs::path& k : keep)
        if (fs::equivalent(entry, k, ec))
            return true;
    return false;
}

bool emptyFolder(const fs::path& folder, const std::vector<fs::path>& keep, std::string& why)
{
    std::error_code ec;
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        entries.push_back(it->path());
    if (ec) {
        why = folder.string() + ": " + ec.message();
        return false;
    }
    for (const fs::path& entry : entries) {
        if (isKept(entry, keep))
            continue;
        if (fs::symlink_status(entry, ec).type() == fs::file_type::directory) {
            // A folder of ours that was made read-only is still emptied.
            fs::permissions(entry, fs::perms::owner_all, fs::perm_options::add, ec);
            if (!emptyFolder(entry, keep, why))
                return false;
            if (!fs::is_empty(entry, ec))
                continue; // it holds a file to keep
        }
        if (!fs::remove(entry, ec) && ec) {
            why = entry.string() + ": " + ec.message();
            return false;
        }
    }
    return true;
}

} // namespace

std::string UnpackRefusal(const std::string& archive, uint64_t total, uint64_t limit,
                          const std::string& use, uint64_t freeBytes, const std::string& folder)
{
    const std::string start = "The archive " + OsPathString(archive) +
                              " was not unpacked: its files would take " + megabytes(total, true);
    if (total > limit)
        return start + ", more than the " + megabytes(limit, false) + " that " + use +
               " could need.";
    if (total > freeBytes)
        return start + ", but only " + megabytes(freeBytes, false) + " are free in the folder " +
               OsPathString(folder) + ".";
    return {};
}

bool EmptyUnpackFolder(const std::string& folder, const std::vector<std::string>& keep,
                       std::string& why)
{
    const fs::path root = OsPath(folder);
    std::error_code ec;
    if (!fs::exists(root, ec))
        return true;
    std::vector<fs::path> kept;
    for (const std::string& k : keep)
        kept.push_back(OsPath(k));
    return emptyFolder(root, kept, why);
}

UnpackGuard::UnpackGuard(std::string archive, std::string folder, uint64_t limit, std::string use,
                         ShowUnpackProgress show)
    : archive_(std::move(archive)), folder_(std::move(folder)), use_(std::move(use)),
      limit_(limit), show_(std::move(show))
{
}

UnpackGuard::~UnpackGuard() = default;

void UnpackGuard::attach(UnzipFilesObject& unzip)
{
    unzip.setProgress([this](const std::string& entry, uint64_t done, uint64_t total) {
        return report(entry, done, total);
    });
}

// The first report, before anything is written, carries the total.
bool UnpackGuard::report(const std::string& entry, uint64_t done, uint64_t total)
{
    if (!started_) {
        started_ = true;
        std::error_code ec;
        const fs::space_info space = fs::space(OsPath(folder_), ec);
        refusal_ = UnpackRefusal(archive_, total, limit_, use_, ec ? UINT64_MAX : space.available,
                                 folder_);
        if (!refusal_.empty()) {
            stopped_ = true;
            return false;
        }
        if (show_)
            window_ = show_(archive_);
    }
    if (window_ && !window_->report(entry, done, total)) {
        stopped_ = true;
        return false;
    }
    return true;
}

} // namespace tavrin
