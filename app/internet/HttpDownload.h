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

// A transfer that receives nothing for this long is given up.
inline constexpr std::chrono::milliseconds kStallTimeout{30000};

enum class DownloadOutcome {
    Saved,             // the whole body is in the file
    NotFound,          // an HTTP error status, or a page starting with "<html>"
    ConnectionFailure, // no connection, a refused address, a stalled or broken transfer
    WriteFailure,      // the file could not be written
};

struct DownloadResult {
    DownloadOutcome outcome = DownloadOutcome::ConnectionFailure;
    std::string detail; // why, for the failures
    qint64 bytes = 0;   // bytes saved
};

struct DownloadOptions {
    std::chrono::milliseconds stallTimeout = kStallTimeout;
    // Bytes received so far and the total (-1 while unknown), as they arrive.
    std::function<void(qint64 received, qint64 total)> progress;
};

// Downloads `url` into `file` (any file of that name is replaced, or removed
// when the download fails). Only "http" and "https" addresses are fetched;
// redirects are followed, except from HTTPS to HTTP. Runs a local event loop
// that repaints windows but takes no user input. Needs a QCoreApplication.
DownloadResult DownloadToFile(const std::string& url, const std::filesystem::path& file,
                              const DownloadOptions& options = {});

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
