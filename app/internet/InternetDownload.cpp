#include "InternetDownload.h"

#include "InternetSources.h"
#include "core/FileHelpers.h"
#include "core/Form1State.h"
#include "core/Paths.h"
#include "core/Prompt.h"
#include "core/TextHelpers.h"

#include <QScopeGuard>

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
        error =
            "The folder \"" + OsPathString(folder) + "\" cannot be created: " + ec.message() + ".";
    return !ec;
}

} // namespace

std::string DownloadMessage(const std::string& firstLine, const DownloadResult& result)
{
    if (result.outcome == DownloadOutcome::Saved)
        return firstLine;
    return firstLine + "\n" + FailureReason(result);
}

bool CopyFileReplacing(const std::string& from, const std::string& to, std::string& error)
{
    const fs::path target = OsPath(to);
    const fs::path beside = target.parent_path() / (".tavrin-copy-" + target.filename().string());
    const auto fail = [&](const std::error_code& why) {
        error = concat({"\"", OsPathString(from), "\" could not be copied to \"", target.string(), "\": ",
                        why.message(), "."});
        std::error_code ignored;
        fs::remove(beside, ignored);
        return false;
    };
    std::error_code ec;
    fs::remove(beside, ec);
    fs::copy_file(OsPath(from), beside, ec);
    if (ec)
        return fail(ec);
    fs::rename(beside, target, ec);
    if (ec)
        return fail(ec);
    return true;
}

DownloadResult InternetDownload::GetInternetFile(const std::string& strUrl,
                                                 const std::string& strFolderFile,
                                                 const DownloadLimit& limit)
{
    if (busy_) {
        DownloadResult busy;
        busy.outcome = DownloadOutcome::Cancelled;
        busy.address = strUrl;
        busy.detail = "another download is running";
        return busy;
    }
    busy_ = true;
    const auto done = qScopeGuard([this] { busy_ = false; });
    cancelRequested_ = false;
    DownloadOptions options;
    options.stallTimeout = stallTimeout;
    options.limit = limit;
    // A shown window has a Cancel button; a hidden transfer has a time limit.
    options.userInput = shown_;
    if (!shown_)
        options.timeLimit = hiddenTimeLimit;
    options.cancelled = [this] { return cancelRequested_; };
    if (display_ && shown_)
        options.progress = [this](qint64 received, qint64 total) {
            display_->showProgress(received, total);
        };
    return DownloadToFile(strUrl, OsPath(strFolderFile), options);
}

void InternetDownload::showWindow(const std::string& label2, const std::string& text1)
{
    if (!display_)
        return;
    display_->showDownload(label2, text1);
    shown_ = true;
}

void InternetDownload::closeWindow()
{
    if (shown_)
        display_->closeDownload();
    shown_ = false;
}

DownloadResult InternetDownload::GetInternetData(const std::string& strUrl,
                                                 const std::string& strFolderFile,
                                                 const std::string& strSite,
                                                 const std::string& strText,
                                                 const DownloadLimit& limit)
{
    if (busy_ || strText == " ")
        return GetInternetFile(strUrl, strFolderFile, limit);
    showWindow("HTTP connection to " + strSite, strText);
    DownloadResult result = GetInternetFile(strUrl, strFolderFile, limit);
    closeWindow();
    return result;
}

void InternetDownload::PrepareInternetRequest(const std::string& strSiteMain,
                                              const std::string& strInternetFolderAndFile)
{
    if (busy_)
        return; // a second click while the download runs
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
    // The arguments may be the state's own strings, which a window can
    // change while the transfer runs: what is needed later is copied now.
    const std::string shown(LastPathPart(strInternetFolderAndFile));
    const std::string name = SavedFileName(strInternetFolderAndFile);
    const std::string address = strSiteMain + EncodedRowPath(strInternetFolderAndFile);
    const std::string local = f_.sTempDir + "\\" + name;

    showWindow("HTTP connection to " + f_.sInternetSiteName, "Downloading: " + address);
    const DownloadResult result =
        GetInternetFile(address, local, {maxTitleBytes, "the most a title may be"});
    closeWindow();

    switch (result.outcome) {
    case DownloadOutcome::Saved:
        break;
    case DownloadOutcome::NotFound: {
        const std::string folder = address.substr(0, address.size() - LastPathPart(address).size());
        prompt_.messageBox(DownloadMessage(shown + kNotFoundAt + folder, result), PromptButtons::Ok,
                           PromptIcon::Critical);
        return;
    }
    case DownloadOutcome::ConnectionFailure:
        prompt_.messageBox(DownloadMessage(kConnectionFailure, result), PromptButtons::Ok,
                           PromptIcon::Critical);
        return;
    case DownloadOutcome::WriteFailure:
        prompt_.messageBox("The download could not be saved. " + result.detail, PromptButtons::Ok,
                           PromptIcon::Critical);
        return;
    case DownloadOutcome::Cancelled:
        return; // the user stopped it
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
        prompt_.messageBox(error + " The download is run from \"" + OsPathString(f_.sFullFilename) +
                               "\".",
                           PromptButtons::Ok, PromptIcon::Exclamation);
}

} // namespace tavrin
