#include "HttpDownload.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTemporaryFile>
#include <QUrl>

#include <system_error>

namespace tavrin
{
namespace
{

namespace fs = std::filesystem;

constexpr std::size_t kMaxNameBytes = 200;
constexpr qint64 kReadBufferBytes = 256 << 10;
constexpr std::size_t kMaxExtensionBytes = 16;

bool badNameChar(unsigned char c)
{
    if (c < 0x20 || c == 0x7f)
        return true;
    switch (c) {
    case '/':
    case '\\':
    case ':':
    case '*':
    case '?':
    case '"':
    case '<':
    case '>':
    case '|':
        return true;
    default:
        return false;
    }
}

// Steps back from `at` to the start of a UTF-8 character.
std::size_t characterStart(const std::string& s, std::size_t at)
{
    while (at > 0 && at < s.size() && (static_cast<unsigned char>(s[at]) & 0xC0) == 0x80)
        --at;
    return at;
}

std::string lastError(const char* what, const fs::path& file, const std::error_code& ec)
{
    return std::string(what) + " \"" + file.string() + "\": " + ec.message() + ".";
}

bool isSuccessStatus(int status)
{
    return status >= 200 && status < 300;
}

} // namespace

bool StartsWithHtmlTag(std::string_view head)
{
    static constexpr std::string_view tag = "<html>";
    if (head.size() < tag.size())
        return false;
    for (std::size_t i = 0; i < tag.size(); ++i) {
        char c = head[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != tag[i])
            return false;
    }
    return true;
}

std::string_view LastPathPart(std::string_view rowPath)
{
    const auto slash = rowPath.find_last_of("/\\");
    return slash == std::string_view::npos ? rowPath : rowPath.substr(slash + 1);
}

std::string SavedFileName(std::string_view rowPath)
{
    std::string name(LastPathPart(rowPath));
    for (char& c : name)
        if (badNameChar(static_cast<unsigned char>(c)))
            c = '_';
    if (name.empty())
        return "download";
    if (name.find_first_not_of('.') == std::string::npos)
        return std::string(name.size(), '_');
    if (name.size() > kMaxNameBytes) {
        const auto dot = name.rfind('.');
        std::string extension;
        if (dot != std::string::npos && name.size() - dot <= kMaxExtensionBytes)
            extension = name.substr(dot);
        name = name.substr(0, characterStart(name, kMaxNameBytes - extension.size())) + extension;
    }
    return name;
}

DownloadResult DownloadToFile(const std::string& url, const fs::path& file,
                              const DownloadOptions& options)
{
    DownloadResult result;
    const QUrl address(QString::fromStdString(url), QUrl::TolerantMode);
    const QString scheme = address.scheme().toLower();
    if (!address.isValid() || address.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        result.detail = "\"" + url + "\" is not an http or https address.";
        return result;
    }

    // A file of that name from before goes first: after a failure no old
    // file may pass for the download.
    std::error_code ec;
    fs::remove(file, ec);
    if (ec && ec != std::errc::no_such_file_or_directory) {
        result.outcome = DownloadOutcome::WriteFailure;
        result.detail = lastError("Cannot replace", file, ec);
        return result;
    }
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    if (!fs::is_directory(folder, ec))
        fs::create_directory(folder, ec);

    QTemporaryFile part(QString::fromStdString((folder / ".tavrin-download-XXXXXX").string()));
    if (!part.open()) {
        result.outcome = DownloadOutcome::WriteFailure;
        result.detail = "Cannot write in the folder \"" + folder.string() +
                        "\": " + part.errorString().toStdString() + ".";
        return result;
    }

    QNetworkAccessManager manager;
    QNetworkRequest request(address);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(static_cast<int>(options.stallTimeout.count()));
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Tavrin"));
    QNetworkReply* reply = manager.get(request);
    // Bounded: the network thread waits while this much is unread, so a
    // large file never piles up in memory.
    reply->setReadBufferSize(kReadBufferBytes);

    std::string head; // the first bytes of the body, for the "<html>" test
    bool html = false;
    bool badStatus = false;
    std::string writeError;
    qint64 written = 0;

    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (!isSuccessStatus(status)) {
            // An error page is never saved.
            badStatus = true;
            reply->readAll();
            return;
        }
        if (html || !writeError.empty()) {
            reply->readAll();
            return;
        }
        const QByteArray chunk = reply->readAll();
        if (head.size() < 6) {
            head.append(chunk.constData(), std::min<std::size_t>(6 - head.size(), chunk.size()));
            if (StartsWithHtmlTag(head)) {
                html = true;
                reply->abort();
                return;
            }
        }
        if (part.write(chunk) != chunk.size()) {
            writeError =
                "Cannot write \"" + file.string() + "\": " + part.errorString().toStdString() + ".";
            reply->abort();
            return;
        }
        written += chunk.size();
    });
    if (options.progress)
        QObject::connect(reply, &QNetworkReply::downloadProgress, &loop,
                         [&](qint64 received, qint64 total) { options.progress(received, total); });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QNetworkReply::NetworkError error = reply->error();
    const QString errorText = reply->errorString();
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    const bool encoded = reply->hasRawHeader("Content-Encoding") &&
                         reply->rawHeader("Content-Encoding").trimmed().toLower() != "identity";
    reply->deleteLater();

    if (!writeError.empty()) {
        result.outcome = DownloadOutcome::WriteFailure;
        result.detail = writeError;
        return result;
    }
    if (html || badStatus || (status != 0 && !isSuccessStatus(status))) {
        result.outcome = DownloadOutcome::NotFound;
        result.detail = html
                            ? "The server sent a page instead of the file."
                            : "The server answered with the status " + std::to_string(status) + ".";
        return result;
    }
    if (error != QNetworkReply::NoError) {
        result.detail = errorText.toStdString();
        return result;
    }
    if (!encoded && length.isValid() && length.toLongLong() != written) {
        result.detail = "The transfer broke off after " + std::to_string(written) + " of " +
                        std::to_string(length.toLongLong()) + " bytes.";
        return result;
    }
    if (!part.flush()) {
        result.outcome = DownloadOutcome::WriteFailure;
        result.detail =
            "Cannot write \"" + file.string() + "\": " + part.errorString().toStdString() + ".";
        return result;
    }
    part.close();
    const fs::path partPath = part.fileName().toStdString();
    fs::permissions(partPath,
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                        fs::perms::others_read,
                    ec);
    fs::rename(partPath, file, ec);
    if (ec) {
        result.outcome = DownloadOutcome::WriteFailure;
        result.detail = lastError("Cannot save", file, ec);
        return result;
    }
    part.setAutoRemove(false);
    result.outcome = DownloadOutcome::Saved;
    result.bytes = written;
    return result;
}

} // namespace tavrin
