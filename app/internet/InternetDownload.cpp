#include "InternetDownload.h"

#include "InternetSources.h"
#include "core/FileHelpers.h"
#include "core/Form1State.h"
#include "core/Paths.h"
#include "core/Prompt.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace tavrin
{
namespace
{

namespace fs = std::filesystem;

// The pipeline's message for a row without a path.
constexpr const char* kNoPath = "sFullfilename is null";

std::string lowerLastFour(const std::string& path)
{
    std::string ext = path.size() > 4 ? path.substr(path.size() - 4) : path;
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

bool makeFolder(const std::string& folder, std::string& error)
{
    if (DirExists(folder))
        return true;
    std::error_code ec;
    fs::create_directory(OsPath(folder), ec);
    if (ec)
        error = "The folder \"" + folder + "\" cannot be created: " + ec.message() + ".";
    return !ec;
}

} // namespace

bool CopyFileReplacing(const std::string& from, const std::string& to, std::string& error)
{
    const fs::path target = OsPath(to);
    const fs::path beside = target.parent_path() / (".tavrin-copy-" + target.filename().string());
    std::error_code ec;
    fs::remove(beside, ec);
    fs::copy_file(OsPath(from), beside, ec);
    if (ec) {
        const std::string reason = ec.message();
        fs::remove(beside, ec);
        error = "\"" + from + "\" could not be copied to \"" + to + "\": " + reason + ".";
        return false;
    }
    fs::rename(beside, target, ec);
    if (ec) {
        fs::remove(beside, ec);
        error = "\"" + from + "\" could not be copied to \"" + to + "\": " + ec.message() + ".";
        return false;
    }
    return true;
}

DownloadResult InternetDownload::GetInternetFile(const std::string& strUrl,
                                                 const std::string& strFolderFile)
{
    DownloadOptions options;
    options.stallTimeout = stallTimeout;
    if (display_)
        options.progress = [this](qint64 received, qint64 total) {
            display_->showProgress(received, total);
        };
    return DownloadToFile(strUrl, OsPath(strFolderFile), options);
}

DownloadResult InternetDownload::GetInternetData(const std::string& strUrl,
                                                 const std::string& strFolderFile,
                                                 const std::string& strSite,
                                                 const std::string& strText)
{
    if (strText == " " || !display_)
        return GetInternetFile(strUrl, strFolderFile);
    display_->showDownload("HTTP connection to " + strSite, strText);
    DownloadResult result = GetInternetFile(strUrl, strFolderFile);
    display_->closeDownload();
    return result;
}

void InternetDownload::PrepareInternetRequest(const std::string& strSiteMain,
                                              const std::string& strInternetFolderAndFile)
{
    if (strSiteMain.empty()) {
        // The source was chosen while an address was set; it is gone now.
        const auto source =
            std::find_if(kInternetSources.begin(), kInternetSources.end(),
                         [&](const InternetSource& s) { return f_.sDbTable == s.table; });
        prompt_.messageBox(source == kInternetSources.end()
                               ? std::string(kConnectionFailure)
                               : MissingAddressMessage(f_, source->key, source->label),
                           PromptButtons::Ok, PromptIcon::Critical);
        return;
    }
    if (strInternetFolderAndFile.empty()) {
        prompt_.messageBox(kNoPath);
        return;
    }
    const std::string name = SavedFileName(strInternetFolderAndFile);
    const std::string address = strSiteMain + strInternetFolderAndFile;
    const std::string local = f_.sTempDir + "\\" + name;

    if (display_)
        display_->showDownload("HTTP connection to " + f_.sInternetSiteName,
                               "Downloading: " + address);
    const DownloadResult result = GetInternetFile(address, local);
    if (display_)
        display_->closeDownload();

    switch (result.outcome) {
    case DownloadOutcome::Saved:
        break;
    case DownloadOutcome::NotFound: {
        const std::string_view shown = LastPathPart(strInternetFolderAndFile);
        prompt_.messageBox(std::string(shown) + kNotFoundAt +
                               address.substr(0, address.size() - shown.size()),
                           PromptButtons::Ok, PromptIcon::Critical);
        return;
    }
    case DownloadOutcome::ConnectionFailure:
        prompt_.messageBox(kConnectionFailure, PromptButtons::Ok, PromptIcon::Critical);
        return;
    case DownloadOutcome::WriteFailure:
        prompt_.messageBox("The download could not be saved. " + result.detail, PromptButtons::Ok,
                           PromptIcon::Critical);
        return;
    }
    if (!FileExists(local)) {
        prompt_.messageBox(kConnectionFailure, PromptButtons::Ok, PromptIcon::Critical);
        return;
    }

    f_.sFilename = name;
    f_.sFilenameNoExt = GetFullNameLessExt(name);
    f_.sExt = lowerLastFour(local);
    f_.sFullFilename = local;
    if (saveDiskImages && saveDiskImages())
        keepCopy(name);
    if (prepareFilesForEmu)
        prepareFilesForEmu();
}

void InternetDownload::keepCopy(const std::string& name)
{
    std::string error;
    if (!makeFolder(f_.sTransferDir, error) ||
        !CopyFileReplacing(f_.sFullFilename, f_.sTransferDir + "\\" + name, error))
        prompt_.messageBox(error + " The download is run from \"" + f_.sFullFilename + "\".",
                           PromptButtons::Ok, PromptIcon::Exclamation);
}

} // namespace tavrin
