#pragma once
// The work of the download window: a title of an Internet source fetched
// into the temporary folder and handed to the launch, and plain downloads
// for the catalogue update. The window itself only shows what it is told.

#include "HttpDownload.h"

#include <functional>
#include <string>

namespace tavrin
{

struct Form1State;
class Prompt;

inline constexpr const char* kConnectionFailure = "Internet connection failure";
inline constexpr const char* kNotFoundAt = " not found at ";

// What the download window shows.
class DownloadDisplay
{
  public:
    virtual ~DownloadDisplay() = default;
    // Label2 and txtText1, then the window is shown.
    virtual void showDownload(const std::string& label2, const std::string& text1) = 0;
    virtual void showProgress(qint64 received, qint64 total) = 0;
    virtual void closeDownload() = 0;
};

class InternetDownload
{
  public:
    InternetDownload(Form1State& f, Prompt& prompt, DownloadDisplay* display = nullptr)
        : f_(f), prompt_(prompt), display_(display)
    {
    }

    // The launch of the current file (the pipeline's PrepareFilesForEmu).
    std::function<void()> prepareFilesForEmu;
    // Whether "&Save downloaded disk images" is checked.
    std::function<bool()> saveDiskImages;
    std::chrono::milliseconds stallTimeout = kStallTimeout;

    // Downloads strSiteMain + strInternetFolderAndFile into sTempDir, makes
    // it the current file, keeps a copy in sTransferDir when asked, and
    // launches it; or shows why there is no file.
    void PrepareInternetRequest(const std::string& strSiteMain,
                                const std::string& strInternetFolderAndFile);

    // Downloads into strFolderFile; the window shows strSite and strText
    // while it runs, or stays hidden when strText is a single space.
    DownloadResult GetInternetData(const std::string& strUrl, const std::string& strFolderFile,
                                   const std::string& strSite, const std::string& strText);

    // The transfer itself: strFolderFile exists afterwards exactly when the
    // whole resource arrived and is not an HTML page.
    DownloadResult GetInternetFile(const std::string& strUrl, const std::string& strFolderFile);

  private:
    void keepCopy(const std::string& name);

    Form1State& f_;
    Prompt& prompt_;
    DownloadDisplay* display_;
};

// Copies a file to `to` through a temporary file beside it and a rename, so
// that `to` (or a link of that name) is replaced, never written through.
// False with `error` when it fails; `to` is then unchanged.
bool CopyFileReplacing(const std::string& from, const std::string& to, std::string& error);

} // namespace tavrin
