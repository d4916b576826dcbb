#include "HttpDownload.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTemporaryFile>
#include <QTimer>
#include <QUrl>
#if QT_CONFIG(ssl)
#include <QSslError>
#endif

#include <algorithm>
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

// "64 MB", "64 KB", "5000 bytes".
std::string sizeText(qint64 bytes)
{
    if (bytes > 0 && bytes % (1 << 20) == 0)
        return std::to_string(bytes >> 20) + " MB";
    if (bytes > 0 && bytes % 1024 == 0)
        return std::to_string(bytes >> 10) + " KB";
    return std::to_string(bytes) + " bytes";
}

// "30 seconds", "0.5 seconds".
std::string secondsText(std::chrono::milliseconds time)
{
    const auto ms = time.count();
    std::string text = std::to_string(ms / 1000);
    if (ms % 1000 != 0) {
        std::string fraction = std::to_string(1000 + ms % 1000).substr(1);
        while (fraction.back() == '0')
            fraction.pop_back();
        text += "." + fraction;
    }
    return text + (ms == 1000 ? " second" : " seconds");
}

// Why a transfer was stopped before its end.
enum class Stop { None, ErrorStatus, Html, WriteError, TooLarge, Stalled, TimeLimit, Cancelled };

// One transfer: the reply's body streamed into `part`, watched for the
// stall rule, the time limit, the size bound and the user's Cancel.
class Transfer
{
  public:
    Transfer(const QUrl& address, QTemporaryFile& part, const fs::path& file,
             const DownloadOptions& options);
    DownloadResult run();

  private:
    void onMetaData();
    void onReadyRead();
    void onTick();
    void stop(Stop why);
    DownloadResult result(const std::string& reason, DownloadOutcome outcome) const;
    DownloadResult finish();
    std::string networkReason(QNetworkReply::NetworkError error, int status) const;
    bool save();

    QTemporaryFile& part_;
    const fs::path& file_;
    const DownloadOptions& options_;
    QNetworkAccessManager manager_;
    QNetworkReply* reply_ = nullptr;
    QEventLoop loop_;
    QTimer ticker_;
    QElapsedTimer clock_;
    qint64 received_ = 0; // body bytes, written or not
    qint64 written_ = 0;
    qint64 markBytes_ = 0; // the stall rule: bytes and time when the last kStallBytes were full
    qint64 markTime_ = 0;
    std::string head_; // the first bytes of the body, for the "<html>" test
    Stop stop_ = Stop::None;
    std::string writeError_;
    std::string sslErrors_;
};

Transfer::Transfer(const QUrl& address, QTemporaryFile& part, const fs::path& file,
                   const DownloadOptions& options)
    : part_(part), file_(file), options_(options)
{
    QNetworkRequest request(address);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Tavrin"));
    clock_.start();
    reply_ = manager_.get(request);
    // Bounded: the network thread waits while this much is unread, so a
    // large file never piles up in memory.
    reply_->setReadBufferSize(kReadBufferBytes);
    QObject::connect(reply_, &QNetworkReply::metaDataChanged, &loop_, [this] { onMetaData(); });
    QObject::connect(reply_, &QNetworkReply::readyRead, &loop_, [this] { onReadyRead(); });
    QObject::connect(reply_, &QNetworkReply::finished, &loop_, &QEventLoop::quit);
#if QT_CONFIG(ssl)
    QObject::connect(
        reply_, &QNetworkReply::sslErrors, &loop_, [this](const QList<QSslError>& errors) {
            for (const QSslError& e : errors)
                sslErrors_ += (sslErrors_.empty() ? "" : "; ") + e.errorString().toStdString();
        });
#endif
    // Often enough for a Cancel to feel immediate and for the stall rule of
    // a test's short time-out.
    ticker_.setInterval(std::clamp<qint64>(options.stallTimeout.count() / 10, 1, 100));
    QObject::connect(&ticker_, &QTimer::timeout, &loop_, [this] { onTick(); });
}

DownloadResult Transfer::run()
{
    ticker_.start();
    if (!reply_->isFinished())
        loop_.exec(options_.userInput ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    ticker_.stop();
    DownloadResult r = finish();
    reply_->deleteLater();
    return r;
}

void Transfer::stop(Stop why)
{
    if (stop_ != Stop::None || reply_->isFinished())
        return;
    stop_ = why;
    reply_->abort();
}

void Transfer::onMetaData()
{
    const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
    if (isSuccessStatus(status) && length.isValid() && length.toLongLong() > options_.limit.bytes)
        stop(Stop::TooLarge);
}

void Transfer::onReadyRead()
{
    const QByteArray chunk = reply_->readAll();
    if (stop_ != Stop::None)
        return;
    received_ += chunk.size();
    if (received_ - markBytes_ >= kStallBytes) {
        markBytes_ = received_;
        markTime_ = clock_.elapsed();
    }
    if (head_.size() < 6)
        head_.append(chunk.constData(), std::min<std::size_t>(6 - head_.size(), chunk.size()));
    const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (!isSuccessStatus(status)) {
        // An error page is never saved; its first bytes are all it tells.
        if (status >= 400 && head_.size() >= 6)
            stop(Stop::ErrorStatus);
        else if (received_ > options_.limit.bytes)
            stop(Stop::TooLarge);
        return;
    }
    if (StartsWithHtmlTag(head_))
        return stop(Stop::Html);
    if (received_ > options_.limit.bytes)
        return stop(Stop::TooLarge);
    if (part_.write(chunk) != chunk.size()) {
        writeError_ =
            "Cannot write \"" + file_.string() + "\": " + part_.errorString().toStdString() + ".";
        return stop(Stop::WriteError);
    }
    written_ += chunk.size();
    if (options_.progress) {
        const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
        options_.progress(written_, length.isValid() ? length.toLongLong() : -1);
    }
}

void Transfer::onTick()
{
    const qint64 now = clock_.elapsed();
    if (options_.cancelled && options_.cancelled())
        stop(Stop::Cancelled);
    else if (options_.timeLimit.count() > 0 && now >= options_.timeLimit.count())
        stop(Stop::TimeLimit);
    else if (now - markTime_ >= options_.stallTimeout.count())
        stop(Stop::Stalled);
}

DownloadResult Transfer::result(const std::string& reason, DownloadOutcome outcome) const
{
    DownloadResult r;
    r.outcome = outcome;
    r.address = reply_->url().toString(QUrl::FullyEncoded | QUrl::RemovePassword).toStdString();
    r.detail = reason;
    return r;
}

std::string Transfer::networkReason(QNetworkReply::NetworkError error, int status) const
{
    switch (error) {
    case QNetworkReply::TooManyRedirectsError:
        return "too many redirects";
    case QNetworkReply::ConnectionRefusedError:
        return "connection refused";
    case QNetworkReply::HostNotFoundError:
        return "host not found";
    case QNetworkReply::RemoteHostClosedError:
        return "the server closed the connection";
    case QNetworkReply::TimeoutError:
        return "the connection timed out";
    case QNetworkReply::SslHandshakeFailedError:
        if (!sslErrors_.empty())
            return "certificate not trusted: " + sslErrors_;
        return "secure connection failed: " + reply_->errorString().toStdString();
    default:
        break;
    }
    if (status >= 300 && status < 400) {
        // A redirect that is not followed (from HTTPS to HTTP, to another scheme).
        const QUrl target = reply_->url().resolved(
            QUrl::fromEncoded(reply_->rawHeader("Location"), QUrl::TolerantMode));
        return "the redirect to " + target.toString(QUrl::FullyEncoded).toStdString() +
               " was not followed";
    }
    return reply_->errorString().toStdString();
}

DownloadResult Transfer::finish()
{
    using enum DownloadOutcome;
    const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QNetworkReply::NetworkError error = reply_->error();
    const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
    const bool encoded = reply_->hasRawHeader("Content-Encoding") &&
                         reply_->rawHeader("Content-Encoding").trimmed().toLower() != "identity";
    switch (stop_) {
    case Stop::WriteError:
        return result(writeError_, WriteFailure);
    case Stop::Cancelled:
        return result("cancelled", Cancelled);
    case Stop::TooLarge:
        return result("the file is larger than " + sizeText(options_.limit.bytes) + ", " +
                          options_.limit.name,
                      ConnectionFailure);
    case Stop::Stalled:
        return result("the transfer stalled: less than " + sizeText(kStallBytes) + " arrived in " +
                          secondsText(options_.stallTimeout),
                      ConnectionFailure);
    case Stop::TimeLimit:
        return result("no whole answer within " + secondsText(options_.timeLimit),
                      ConnectionFailure);
    case Stop::None:
    case Stop::ErrorStatus:
    case Stop::Html:
        break;
    }
    if (status >= 300 && status < 400 && error != QNetworkReply::NoError)
        return result(networkReason(error, status), ConnectionFailure);
    if (status != 0 && !isSuccessStatus(status)) {
        // The server says the file is not there, or sends a page for it.
        const bool missing = status == 404 || status == 410 || StartsWithHtmlTag(head_);
        return result("HTTP status " + std::to_string(status),
                      missing ? NotFound : ConnectionFailure);
    }
    if (stop_ == Stop::Html)
        return result("the server sent a page instead of the file", NotFound);
    if (status != 0 && !encoded && length.isValid() && length.toLongLong() != written_)
        return result("the transfer broke off after " + std::to_string(written_) + " of " +
                          std::to_string(length.toLongLong()) + " bytes",
                      ConnectionFailure);
    if (error != QNetworkReply::NoError)
        return result(networkReason(error, status), ConnectionFailure);
    if (!save())
        return result(writeError_, WriteFailure);
    DownloadResult r = result({}, Saved);
    r.bytes = written_;
    return r;
}

// Renames the complete body into place.
bool Transfer::save()
{
    if (!part_.flush()) {
        writeError_ =
            "Cannot write \"" + file_.string() + "\": " + part_.errorString().toStdString() + ".";
        return false;
    }
    part_.close();
    const fs::path partPath = part_.fileName().toStdString();
    std::error_code ec;
    fs::permissions(partPath,
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                        fs::perms::others_read,
                    ec);
    fs::rename(partPath, file_, ec);
    if (ec) {
        writeError_ = lastError("Cannot save", file_, ec);
        return false;
    }
    part_.setAutoRemove(false);
    return true;
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

std::string FailureReason(const DownloadResult& result)
{
    return result.address + ": " + result.detail;
}

std::string EncodedRowPath(std::string_view rowPath)
{
    std::string encoded;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = rowPath.find_first_of("/\\", start);
        const std::string_view part = rowPath.substr(start, end - start);
        encoded += QByteArray(part.data(), static_cast<qsizetype>(part.size()))
                       .toPercentEncoding()
                       .toStdString();
        if (end == std::string_view::npos)
            return encoded;
        encoded += '/';
        start = end + 1;
    }
}

DownloadResult DownloadToFile(const std::string& url, const fs::path& file,
                              const DownloadOptions& options)
{
    DownloadResult result;
    result.address = url;
    const QUrl address(QString::fromStdString(url), QUrl::TolerantMode);
    const QString scheme = address.scheme().toLower();
    if (!address.isValid() || address.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        result.detail = "not an http or https address";
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
    return Transfer(address, part, file, options).run();
}

} // namespace tavrin
