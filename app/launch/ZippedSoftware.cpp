#include "ZippedSoftware.h"

#include "VarnockComponent.h"
#include "core/FileHelpers.h"
#include "core/FolderTree.h"
#include "core/Paths.h"
#include "diskimage/InfImageBuilder.h"

#include <array>
#include <memory>
#include <optional>
#include <system_error>

namespace tavrin {
namespace {

// Image extensions in the order an image named like the archive is looked for.
constexpr std::array<const char*, 4> kImageExtensions = {".ssd", ".dsd", ".img", ".bbc"};

namespace message {
constexpr const char* kNoStandardArchive1 =
    "The compressed file did not contain a standard archive (1)";
constexpr const char* kNoStandardArchive2 =
    "The compressed file did not contain a standard archive (2)";

std::string cannotUnpack(const std::string& archive, const VarnockError& e)
{
    std::string text =
        "The archive " + OsPathString(archive) + " cannot be unpacked: " + e.description();
    if (!e.source().empty())
        text += " (" + e.source() + ", error " + std::to_string(e.number()) + ")";
    return text;
}

std::string unpackFailed(const std::string& archive, int32_t code)
{
    return "The archive " + OsPathString(archive) + " could not be unpacked completely (code " +
           std::to_string(code) + ").";
}

std::string cannotCreateFolder(const std::string& folder, const std::string& why)
{
    if (folder.empty())
        return "No folder for unpacked files is set, so the archive cannot be unpacked.";
    return "The folder " + OsPathString(folder) + " for unpacked files cannot be created: " + why;
}

std::string cannotEmptyFolder(const std::string& archive, const std::string& folder,
                              const std::string& why)
{
    return "The archive " + OsPathString(archive) + " was not unpacked: what the folder " +
           OsPathString(folder) + " holds from before cannot be removed (" + why + ").";
}
} // namespace message

std::string asciiLower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool isImageName(const std::string& lowerName)
{
    if (lowerName.size() < 4)
        return false;
    const std::string tail = lowerName.substr(lowerName.size() - 4);
    return tail == ".dsd" || tail == ".ssd" || tail == ".img" || tail == ".bbc";
}

// Creates the temporary folder when it is missing; the reason when it cannot.
std::optional<std::string> ensureFolder(const std::string& folder)
{
    // An empty name would unpack into the current (the application) folder.
    if (folder.empty())
        return std::string();
    if (DirExists(folder))
        return std::nullopt;
    std::error_code ec;
    std::filesystem::create_directories(OsPath(folder), ec);
    if (ec || !DirExists(folder))
        return ec ? ec.message() : std::string("it is not a folder");
    return std::nullopt;
}

// The five calls on one fresh object, followed by `guard`; false when the
// object cannot be made or raises an error, which has then been shown.
bool unpackArchive(Form1State& f, Prompt& prompt, const CreateUnzipFiles& createUnzipFiles,
                   UnpackGuard& guard)
{
    try {
        UnzipFilesObject unzip = createUnzipFiles();
        guard.attach(unzip);
        // As the platform writes them: the unpacker's messages name them.
        unzip.setZipFileName(OsPathString(f.strZipFilename));
        unzip.setExtractDir(OsPathString(f.sTempDir));
        unzip.setHonorDirectories(false);
        const int32_t result = unzip.Unzip("", "");
        guard.finish();
        if (result != 0 && !guard.stopped()) {
            std::string text = unzip.GetLastMessage();
            if (text.empty())
                text = message::unpackFailed(f.strZipFilename, result);
            prompt.messageBox(text);
        }
    } catch (const VarnockError& e) {
        prompt.messageBox(message::cannotUnpack(f.strZipFilename, e), PromptButtons::Ok,
                          PromptIcon::Critical);
        return false;
    }
    return true;
}

} // namespace

CreateUnzipFiles UnzipFilesFactory(Prompt& prompt, const std::filesystem::path& folder)
{
    // Loaded on first use and kept while the factory lives; a failed load is
    // tried again on the next call, so a library put back later is found.
    auto library = std::make_shared<std::unique_ptr<VarnockLibrary>>();
    return [library, &prompt, folder]() {
        if (!*library) {
            auto loaded = std::make_unique<VarnockLibrary>(folder);
            loaded->setDefaultPrompt(&prompt);
            *library = std::move(loaded);
        }
        return (*library)->createUnzipFiles();
    };
}

std::string UnpackArchiveInto(const CreateUnzipFiles& createUnzipFiles, const std::string& archive,
                              const std::string& folder)
{
    try {
        UnzipFilesObject unzip = createUnzipFiles();
        unzip.setZipFileName(archive);
        unzip.setExtractDir(folder);
        unzip.setHonorDirectories(false);
        if (const int32_t result = unzip.Unzip("", ""); result != 0) {
            const std::string text = unzip.GetLastMessage();
            return text.empty() ? message::unpackFailed(archive, result) : text;
        }
    } catch (const VarnockError& e) {
        return message::cannotUnpack(archive, e);
    }
    return {};
}

bool UnzipSoftware(Form1State& f, Prompt& prompt, const CreateUnzipFiles& createUnzipFiles,
                   const AppendInfo& appendInfo, const ShowUnpackProgress& showProgress)
{
    f.strZipFilename = f.sFullFilename;
    if (std::optional<std::string> why = ensureFolder(f.sTempDir)) {
        prompt.messageBox(message::cannotCreateFolder(f.sTempDir, *why), PromptButtons::Ok,
                          PromptIcon::Critical);
        return false;
    }
    std::string why;
    if (!EmptyUnpackFolder(f.sTempDir, {f.strZipFilename}, why)) {
        prompt.messageBox(message::cannotEmptyFolder(f.strZipFilename, f.sTempDir, why),
                          PromptButtons::Ok, PromptIcon::Critical);
        return false;
    }
    UnpackGuard guard(f.strZipFilename, f.sTempDir, kSoftwareUnpackLimit, kSoftwareUse,
                      showProgress);
    const bool ran = unpackArchive(f, prompt, createUnzipFiles, guard);
    if (!ran || guard.stopped()) {
        EmptyUnpackFolder(f.sTempDir, {f.strZipFilename}, why);
        if (!guard.refusal().empty())
            prompt.messageBox(guard.refusal());
        return false;
    }

    for (const char* ext : kImageExtensions) {
        if (f.iZipped != 0)
            break;
        CheckProcessedZipFile(f, ext, appendInfo);
    }
    if (f.iZipped == 0) {
        const InfBuildReport report = BuildImageFromInfFiles(f);
        if (!report.message.empty())
            prompt.messageBox(report.message);
        CheckProcessedZipFile(f, ".ssd", appendInfo);
    }
    if (f.iZipped == 0 && FindImageInTempDir(f, prompt)) {
        f.sFilename = GetFilename(f.sFullFilename);
        f.sFilenameNoExt = GetFullNameLessExt(f.sFilename);
        f.sExt = f.sFilename.size() >= 4 ? f.sFilename.substr(f.sFilename.size() - 4) : f.sFilename;
        f.iZipped = 1;
    }
    return true;
}

void CheckProcessedZipFile(Form1State& f, const std::string& sExt2, const AppendInfo& appendInfo)
{
    const std::string path = f.sTempDir + "\\" + f.sFilenameNoExt + sExt2;
    if (!FileExists(path))
        return;
    f.sFullFilename = path;
    f.sExt = sExt2;
    f.iZipped = 1;
    if (appendInfo)
        appendInfo(sExt2);
}

bool FindImageInTempDir(Form1State& f, Prompt& prompt)
{
    FolderListing listing;
    ListFolderTree(f.sTempDir, listing);
    bool found = false;
    f.sFullFilename.clear();
    for (size_t i = 0; i < listing.names.size(); ++i) {
        if (listing.names[i].empty()) {
            prompt.messageBox(message::kNoStandardArchive1);
            continue;
        }
        const std::string name = asciiLower(listing.names[i]);
        // A name holding a backslash cannot be written as a stored path.
        if (name.find('\\') != std::string::npos || !isImageName(name))
            continue;
        // Where the image really lies: the unpacked folder itself, or a
        // folder below it left by an earlier run.
        const std::string& folder = listing.folders[size_t(listing.nameFolders[i])];
        f.sFullFilename = listing.nameFolders[i] == 0 ? f.sTempDir + "\\" + name : folder + name;
        found = true;
        break;
    }
    if (f.sFullFilename.empty())
        prompt.messageBox(message::kNoStandardArchive2);
    return found;
}

} // namespace tavrin
