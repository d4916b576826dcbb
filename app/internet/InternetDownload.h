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

// The largest title taken: the biggest BBC Micro disc images are 800 KB,
// and even a whole collection in one file is far below this.
inline constexpr qint64 kMaxTitleBytes = qint64{64} << 20;
// A download without a window cannot be cancelled, so it is bounded in time.
inline constexpr std::chrono::milliseconds kHiddenTimeLimit{20000};

// A message's first line, and for a failed download the address tried and
// why on a second line.
std::string DownloadMessage(const std::string& firstLine, const DownloadResult& result);

// What the download window shows.
class DownloadDisplay
{
  public:
    virtual ~DownloadDisplay() = default;
    // Label2 and txtText1, then the window is shown; its Cancel calls
    // InternetDownload::cancel while the transfer runs.
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
    qint64 maxTitleBytes = kMaxTitleBytes;
    std::chrono::milliseconds hiddenTimeLimit = kHiddenTimeLimit;

    // Downloads strSiteMain + strInternetFolderAndFile (its parts
    // percent-encoded) into sTempDir, makes it the current file, keeps a copy
    // in sTransferDir when asked, and launches it; or shows why there is no
    // file. Does nothing while another download runs.
    void PrepareInternetRequest(const std::string& strSiteMain,
                                const std::string& strInternetFolderAndFile);

    // Downloads into strFolderFile; the window shows strSite and strText
    // while it runs, or stays hidden when strText is a single space.
    DownloadResult GetInternetData(const std::string& strUrl, const std::string& strFolderFile,
                                   const std::string& strSite, const std::string& strText,
                                   const DownloadLimit& limit = {});

    // The transfer itself: strFolderFile exists afterwards exactly when the
    // whole resource arrived and is not an HTML page. While another transfer
    // runs it does nothing and gives Cancelled.
    DownloadResult GetInternetFile(const std::string& strUrl, const std::string& strFolderFile,
                                   const DownloadLimit& limit = {});

    bool busy() const { return busy_; }
    // The window's Cancel: stops the running transfer; its partial file goes.
    void cancel() { cancelRequested_ = busy_; }

  private:
    void keepCopy(const std::string& name);
    void showWindow(const std::string& label2, const std::string& text1);
    void closeWindow();

    Form1State& f_;
    Prompt& prompt_;
    DownloadDisplay* display_;
    bool shown_ = false;
    bool busy_ = false;
    bool cancelRequested_ = false;
};

// Copies a file to `to` through a temporary file beside it and a rename, so
// that `to` (or a link of that name) is replaced, never written through.
// False with `error` when it fails; `to` is then unchanged.
bool CopyFileReplacing(const std::string& from, const std::string& to, std::string& error);

} // namespace tavrin
