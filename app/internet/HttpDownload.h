#pragma once
// Fetches one resource over HTTP or HTTPS (Qt Network) into a file. The body
// is streamed to a temporary file beside the target and renamed into place
// only when all of it has arrived, so the target holds exactly the bytes of
// a complete download or does not exist.

#include <QtGlobal>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace tavrin
{

// A transfer that receives less than kStallBytes in kStallTimeout is given
// up, so that a server sending a byte now and then cannot hold Tavrin.
inline constexpr std::chrono::milliseconds kStallTimeout{30000};
inline constexpr qint64 kStallBytes = 1024;
// The most any download may be unless its caller says otherwise.
inline constexpr qint64 kMaxDownloadBytes = qint64{256} << 20;

// The most one download may be, and what its message calls that bound.
struct DownloadLimit {
    qint64 bytes = kMaxDownloadBytes;
    std::string name = "the most a download may be";
};

enum class DownloadOutcome {
    Saved,             // the whole body is in the file
    NotFound,          // a 404 or 410 status, or a page starting with "<html>"
    ConnectionFailure, // no connection, another status, a refused redirect, a stalled,
                       // broken or too large transfer
    WriteFailure,      // the file could not be written
    Cancelled,         // stopped by the user, or another download was running
};

struct DownloadResult {
    DownloadOutcome outcome = DownloadOutcome::ConnectionFailure;
    std::string address; // the last address tried
    std::string detail;  // why, for the failures ("connection refused", "HTTP status 500")
    qint64 bytes = 0;    // bytes saved
};

struct DownloadOptions {
    std::chrono::milliseconds stallTimeout = kStallTimeout;
    // The whole transfer may take no longer than this (zero: no limit).
    std::chrono::milliseconds timeLimit{0};
    DownloadLimit limit;
    // The transfer lets the user's input through (to a Cancel button);
    // otherwise windows are repainted but take no input meanwhile.
    bool userInput = false;
    // Asked while the transfer runs; true stops it.
    std::function<bool()> cancelled;
    // Bytes received so far and the total (-1 while unknown), as they arrive.
    std::function<void(qint64 received, qint64 total)> progress;
};

// Downloads `url` into `file` (any file of that name is replaced, or removed
// when the download fails). Only "http" and "https" addresses are fetched;
// redirects are followed, except from HTTPS to HTTP. A reply with a status
// other than 2xx is never saved. Runs a local event loop; needs a
// QCoreApplication.
DownloadResult DownloadToFile(const std::string& url, const std::filesystem::path& file,
                              const DownloadOptions& options = {});

// The second line of a failure's message: the address tried and why.
std::string FailureReason(const DownloadResult& result);

// A row path as it goes into an address: "\" read as "/", and each part
// percent-encoded byte by byte (all but letters, digits and "-._~"), so that
// "#", "?", "%" or a blank name the file instead of ending or changing the
// path. "." and ".." parts keep their meaning.
std::string EncodedRowPath(std::string_view rowPath);

// True when the first six bytes of a body, in lower case, are "<html>".
bool StartsWithHtmlTag(std::string_view head);

// The name a download of a row path is saved under: the last part of the
// path (after its last "/" or "\"), with every character that cannot stand
// in a file name replaced by "_", never "." or "..", never empty, and cut to
// a length every file system takes (the extension kept).
std::string SavedFileName(std::string_view rowPath);

// The last part of a row path as written (after its last "/" or "\").
std::string_view LastPathPart(std::string_view rowPath);

} // namespace tavrin
