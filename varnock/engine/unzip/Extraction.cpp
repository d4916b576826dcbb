#include "Extraction.h"

#include "ArchiveSource.h"
#include "LinkCheck.h"
#include "common/HostPath.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace varnock::engine {
namespace {

constexpr size_t kBufferSize = 256 * 1024;
constexpr uint64_t kSpaceCheckInterval = 16u << 20;
constexpr size_t kLinkTargetLimit = 4096;
constexpr size_t kPrintPiece = 32768; // the print callback reads at most 32800 bytes
constexpr int kPasswordTries = 3;
constexpr size_t kPasswordSize = 256;
constexpr zip_uint16_t kExtendedTimeField = 0x5455;
constexpr zip_uint16_t kUnixOwnerField = 0x7875;

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    char small[512];
    va_list copy;
    va_copy(copy, args);
    int length = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    std::string out;
    if (length < 0) {
        out = format;
    } else if (static_cast<size_t>(length) < sizeof small) {
        out.assign(small, static_cast<size_t>(length));
    } else {
        out.resize(static_cast<size_t>(length) + 1);
        std::vsnprintf(out.data(), out.size(), format, args);
        out.resize(static_cast<size_t>(length));
    }
    va_end(args);
    return out;
}

uint32_t ReadLe32(const zip_uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

std::string MethodName(zip_uint16_t method)
{
    switch (method) {
    case ZIP_CM_STORE:
        return "Stored";
    case ZIP_CM_DEFLATE:
        return "Defl:N";
    case ZIP_CM_DEFLATE64:
        return "Def64";
    case ZIP_CM_BZIP2:
        return "BZip2";
    case ZIP_CM_LZMA:
        return "LZMA";
    case ZIP_CM_XZ:
        return "Xz";
    default:
        return Format("Unk:%03u", unsigned(method));
    }
}

unsigned SavedPercent(uint64_t size, uint64_t compressed)
{
    if (size == 0 || compressed >= size)
        return 0;
    return static_cast<unsigned>(((size - compressed) * 100 + size / 2) / size);
}

std::string ErrnoText(int error) { return std::strerror(error); }

bool WriteAll(int fd, const char* data, size_t size, int& error)
{
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// A name for the file being written beside its final place.
std::string TemporaryName(const std::string& folder)
{
    thread_local std::mt19937_64 random{std::random_device{}()};
    return Format("%s/.vnk-%016llx.part", folder.c_str(),
                  static_cast<unsigned long long>(random()));
}

// The name through which an open file, also an unnamed one, can be linked.
std::string OpenFileName(int fd) { return Format("/proc/self/fd/%d", fd); }

// Why libzip could not open an archive, and the unzip code for it.
std::string OpenFailure(zip_error_t* error, int& code)
{
    switch (zip_error_code_zip(error)) {
    case ZIP_ER_NOZIP:
        code = PK_NOZIP;
        return "End-of-central-directory signature not found: the archive is truncated or not "
               "a zip archive";
    case ZIP_ER_OPEN:
    case ZIP_ER_NOENT:
    case ZIP_ER_READ:
        code = PK_NOZIP;
        break;
    case ZIP_ER_EOF:
        code = PK_EOF;
        return "the archive is truncated";
    case ZIP_ER_MEMORY:
        code = PK_MEM;
        break;
    case ZIP_ER_MULTIDISK:
        return "archives spread over several disks are not supported";
    case ZIP_ER_INCONS:
        return "the archive's central directory is damaged";
    default:
        break;
    }
    return zip_error_strerror(error);
}

} // namespace

uint64_t FreeSpaceReserve(uint64_t fileSystemSize)
{
    uint64_t reserve = fileSystemSize / 100;
    const uint64_t low = 1u << 20, high = 64u << 20;
    return reserve < low ? low : reserve > high ? high : reserve;
}

bool RoomFor(uint64_t needed, uint64_t available, uint64_t fileSystemSize)
{
    uint64_t reserve = FreeSpaceReserve(fileSystemSize);
    return available >= reserve && needed <= available - reserve;
}

void CrLfToLf::convert(const char* data, size_t size, std::string& out)
{
    for (size_t i = 0; i < size; ++i) {
        char c = data[i];
        if (pendingCr_) {
            pendingCr_ = false;
            if (c != '\n')
                out.push_back('\r');
        }
        if (c == '\r')
            pendingCr_ = true;
        else
            out.push_back(c);
    }
}

void CrLfToLf::finish(std::string& out)
{
    if (pendingCr_)
        out.push_back('\r');
    pendingCr_ = false;
}

bool LooksLikeText(const char* data, size_t size)
{
    size_t control = 0;
    for (size_t i = 0; i < size; ++i) {
        auto c = static_cast<unsigned char>(data[i]);
        if (c == 0)
            return false;
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != 0x1A)
            ++control;
    }
    return control * 100 <= size;
}

Extraction::Extraction(int32_t ifnc, char** ifnv, int32_t xfnc, char** xfnv, const DCL& options,
                       USERFUNCTIONS* functions)
    : ifnc_(ifnv ? ifnc : 0), ifnv_(ifnv), xfnc_(xfnv ? xfnc : 0), xfnv_(xfnv), options_(options),
      functions_(functions)
{
    if (ifnc_ < 0)
        ifnc_ = 0;
    if (xfnc_ < 0)
        xfnc_ = 0;
    patternMatched_.assign(static_cast<size_t>(ifnc_), false);
}

Extraction::~Extraction()
{
    if (archive_)
        zip_discard(archive_);
}

void Extraction::print(Level level, const std::string& text)
{
    int quiet = options_.fQuiet;
    if (level == Level::Detail && quiet > 0)
        return;
    if (level == Level::Summary && quiet > 1)
        return;
    if (!functions_ || !functions_->print)
        return;
    if (archive_ && !archiveNamed_) {
        // Every report names the archive, also when the line that starts
        // an extraction is not shown.
        archiveNamed_ = true;
        std::string line = Format("Archive:  %s\n", archiveShown_.c_str());
        functions_->print(line.data(), static_cast<uint32_t>(line.size()));
    }
    if (text.empty())
        return;
    std::string copy = text;
    functions_->print(copy.data(), static_cast<uint32_t>(copy.size()));
}

bool Extraction::openArchive()
{
    archiveName_ = options_.lpszZipFN;
    archiveShown_ = Printable(archiveName_);
    archivePath_ = ResolveHostPath(archiveName_);
    struct stat st;
    if (::stat(archivePath_.c_str(), &st) != 0) {
        print(Level::Problem, Format("unzip:  cannot find or open %s (%s).\n", archiveShown_.c_str(),
                                     ErrnoText(errno).c_str()));
        note(PK_NOZIP);
        return false;
    }
    if (!S_ISREG(st.st_mode) || st.st_size == 0) {
        print(Level::Problem,
              Format("error:  %s is not a zip archive (%s).\n", archiveShown_.c_str(),
                     S_ISREG(st.st_mode) ? "the file is empty" : "not a file"));
        note(PK_NOZIP);
        return false;
    }
    zip_error_t ze;
    zip_error_init(&ze);
    archive_ = OpenArchiveForReading(archivePath_, &ze);
    if (!archive_) {
        int code = PK_BADERR;
        std::string why = OpenFailure(&ze, code);
        zip_error_fini(&ze);
        print(Level::Problem, Format("error:  cannot open %s: %s.\n", archiveShown_.c_str(), why.c_str()));
        note(code);
        return false;
    }
    zip_error_fini(&ze);
    return true;
}

bool Extraction::readEntry(zip_uint64_t index, Entry& entry)
{
    entry.index = index;
    zip_stat_init(&entry.stat);
    if (zip_stat_index(archive_, index, 0, &entry.stat) != 0 || !entry.stat.name) {
        print(Level::Problem, Format("error:  entry %llu of %s is damaged: %s.\n",
                                     static_cast<unsigned long long>(index) + 1,
                                     archiveShown_.c_str(), zip_strerror(archive_)));
        note(PK_BADERR);
        return false;
    }
    entry.name = entry.stat.name;
    entry.shown = Printable(entry.name);
    if (!(entry.stat.valid & ZIP_STAT_SIZE))
        entry.stat.size = 0;
    if (!(entry.stat.valid & ZIP_STAT_COMP_SIZE))
        entry.stat.comp_size = 0;
    if (!(entry.stat.valid & ZIP_STAT_ENCRYPTION_METHOD))
        entry.stat.encryption_method = ZIP_EM_NONE;
    zip_uint8_t opsys = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive_, index, 0, &opsys, &attributes) == 0 &&
        opsys == ZIP_OPSYS_UNIX)
        entry.mode = attributes >> 16;
    entry.isLink = (entry.mode & S_IFMT) == S_IFLNK;
    entry.mtime = (entry.stat.valid & ZIP_STAT_MTIME) ? entry.stat.mtime : 0;
    zip_uint16_t length = 0;
    const zip_uint8_t* field = zip_file_extra_field_get_by_id(archive_, index, kExtendedTimeField, 0,
                                                              &length, ZIP_FL_CENTRAL);
    if (!field)
        field = zip_file_extra_field_get_by_id(archive_, index, kExtendedTimeField, 0, &length,
                                               ZIP_FL_LOCAL);
    if (field && length >= 5 && (field[0] & 1)) {
        entry.mtime = static_cast<time_t>(static_cast<int32_t>(ReadLe32(field + 1)));
        entry.exactTime = true;
    }
    return true;
}

bool Extraction::selected(const std::string& name)
{
    bool caseSensitive = options_.C_flag != 0;
    for (int32_t i = 0; i < xfnc_; ++i)
        if (xfnv_[i] && MatchPattern(xfnv_[i], name, caseSensitive))
            return false;
    if (ifnc_ == 0)
        return true;
    bool any = false;
    for (int32_t i = 0; i < ifnc_; ++i) {
        if (ifnv_[i] && MatchPattern(ifnv_[i], name, caseSensitive)) {
            patternMatched_[static_cast<size_t>(i)] = true;
            any = true;
        }
    }
    return any;
}

// One run: open the archive, show its line and comment, prepare the
// folder when extracting, take each selected entry in turn, make the links,
// and close with the summary of the listing or the test.
int Extraction::run()
{
    buffer_.resize(kBufferSize);
    if (!options_.lpszZipFN || !*options_.lpszZipFN) {
        print(Level::Problem, "error:  no zip archive named.\n");
        return PK_PARAM;
    }
    if (!openArchive())
        return code_;
    announceArchive();
    mode_ = options_.nvflag ? Mode::List
            : options_.nZIflag ? Mode::ZipInfo
            : options_.ntflag  ? Mode::Test
            : options_.ncflag  ? Mode::Print
                               : Mode::Extract;
    if (mode_ == Mode::Extract) {
        if (int code = prepareFolder(); code != PK_OK)
            return code;
        if (!announceTotal())
            return code_;
    }
    takeEntries();
    if (mode_ == Mode::Extract && !stop_)
        createPendingLinks();
    reportUnmatchedPatterns();
    printSummary();
    fillTotals();
    return code_;
}

void Extraction::announceArchive()
{
    if (options_.fQuiet < 2)
        print(Level::Summary, ""); // the archive's line
    if (options_.nzflag) {
        int length = 0;
        const char* comment = zip_get_archive_comment(archive_, &length, 0);
        if (comment && length > 0) // asked for: shown at every message level
            print(Level::Problem, std::string(comment, static_cast<size_t>(length)) + "\n");
    }
}

// The extraction folder, made with its parents when missing.
int Extraction::prepareFolder()
{
    std::string dir = options_.lpszExtractDir ? options_.lpszExtractDir : "";
    folder_ = dir.empty() ? "." : ResolveHostPath(dir);
    while (folder_.size() > 1 && folder_.back() == '/')
        folder_.pop_back();
    struct stat st;
    if (::stat(folder_.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return PK_OK;
        print(Level::Problem,
              Format("error:  extraction folder %s is not a folder.\n", Printable(dir).c_str()));
        return PK_PARAM;
    }
    for (size_t i = 1; i <= folder_.size(); ++i) {
        if (i < folder_.size() && folder_[i] != '/')
            continue;
        if (::mkdir(folder_.substr(0, i).c_str(), 0777) != 0 && errno != EEXIST) {
            print(Level::Problem, Format("error:  cannot create extraction folder %s: %s.\n",
                                         Printable(dir).c_str(), ErrnoText(errno).c_str()));
            return PK_DISK;
        }
    }
    return PK_OK;
}

void Extraction::takeEntries()
{
    zip_int64_t count = zip_get_num_entries(archive_, 0);
    if (count <= 0) {
        print(Level::Problem, Format("warning [%s]:  zipfile is empty\n", archiveShown_.c_str()));
        note(PK_WARN);
    }
    if (mode_ == Mode::ZipInfo) {
        struct stat st {};
        ::stat(archivePath_.c_str(), &st);
        print(Level::Problem, Format("Zip file size: %lld bytes, number of entries: %lld\n",
                                     static_cast<long long>(st.st_size), static_cast<long long>(count)));
    }
    for (zip_int64_t i = 0; i < count && !stop_; ++i) {
        Entry entry;
        if (!readEntry(static_cast<zip_uint64_t>(i), entry) || !selected(entry.name))
            continue;
        if (!goOn(entry.name.c_str(), entry.stat.size))
            break;
        ++members_;
        totalSize_ += entry.stat.size;
        totalCompressed_ += entry.stat.comp_size;
        switch (mode_) {
        case Mode::List:
            listEntry(entry);
            break;
        case Mode::ZipInfo:
            zipinfoEntry(entry);
            break;
        case Mode::Test:
            testEntry(entry);
            break;
        case Mode::Print:
            printEntryData(entry);
            break;
        case Mode::Extract:
            extractEntry(entry);
            break;
        }
    }
}

// Before anything is written: all the entries to extract, at the sizes
// their headers declare, must fit on the disk (a larger entry is stopped
// at its declared size), and the caller hears their total first.
bool Extraction::announceTotal()
{
    const std::vector<bool> matched = patternMatched_;
    uint64_t total = 0;
    zip_int64_t count = zip_get_num_entries(archive_, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(archive_, static_cast<zip_uint64_t>(i), 0, &st) == 0 && st.name &&
            (st.valid & ZIP_STAT_SIZE) && selected(st.name))
            total = st.size > UINT64_MAX - total ? UINT64_MAX : total + st.size;
    }
    patternMatched_ = matched;
    return checkRoom(folder_, total, archiveShown_) && goOn(nullptr, total);
}

// Asks the caller's service callback whether to go on; false, with the
// extraction stopped, when it says no.
bool Extraction::goOn(const char* name, uint64_t size)
{
    if (!functions_ || !functions_->ServCallBk || functions_->ServCallBk(name, size) == 0)
        return true;
    print(Level::Problem, "unzip:  stopped by the caller.\n");
    note(IZ_CTRLC);
    stop_ = true;
    return false;
}

void Extraction::reportUnmatchedPatterns()
{
    for (size_t i = 0; i < patternMatched_.size(); ++i) {
        if (!patternMatched_[i]) {
            print(Level::Problem, Format("caution: filename not matched:  %s\n", Printable(ifnv_[i]).c_str()));
            note(PK_FIND);
        }
    }
}

void Extraction::printSummary()
{
    if (mode_ == Mode::List || mode_ == Mode::ZipInfo)
        print(mode_ == Mode::ZipInfo ? Level::Problem : Level::Summary,
              Format("%llu file%s, %llu bytes uncompressed, %llu bytes compressed:  %u%%\n",
                     static_cast<unsigned long long>(members_), members_ == 1 ? "" : "s",
                     static_cast<unsigned long long>(totalSize_),
                     static_cast<unsigned long long>(totalCompressed_),
                     SavedPercent(totalSize_, totalCompressed_)));
    if (mode_ == Mode::Test) {
        if (problems_ == 0 && code_ == PK_OK)
            print(Level::Summary, Format("No errors detected in compressed data of %s.\n", archiveShown_.c_str()));
        else
            print(Level::Problem, Format("At least one error was detected in %s.\n", archiveShown_.c_str()));
    }
}

void Extraction::fillTotals()
{
    if (!functions_)
        return;
    auto saturate = [](uint64_t v) { return v > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(v); };
    functions_->TotalSize = saturate(totalSize_);
    functions_->TotalSizeComp = saturate(totalCompressed_);
    functions_->CompFactor = SavedPercent(totalSize_, totalCompressed_);
    functions_->NumMembers = saturate(members_);
    int length = 0;
    if (archive_ && zip_get_archive_comment(archive_, &length, 0))
        functions_->cchComment = static_cast<uint32_t>(length > 0 ? length : 0);
}

void Extraction::listEntry(const Entry& entry)
{
    if (!functions_ || !functions_->SendApplicationMessage)
        return;
    struct tm tm {};
    time_t t = entry.mtime;
    localtime_r(&t, &tm);
    functions_->SendApplicationMessage(
        entry.stat.size, entry.stat.comp_size, SavedPercent(entry.stat.size, entry.stat.comp_size),
        static_cast<uint16_t>(tm.tm_mon + 1), static_cast<uint16_t>(tm.tm_mday),
        static_cast<uint16_t>(tm.tm_year + 1900), static_cast<uint16_t>(tm.tm_hour),
        static_cast<uint16_t>(tm.tm_min), ' ', entry.shown.c_str(),
        MethodName(entry.stat.comp_method).c_str(), entry.stat.crc,
        entry.stat.encryption_method != ZIP_EM_NONE ? 1 : 0);
}

void Extraction::zipinfoEntry(const Entry& entry)
{
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    struct tm tm {};
    time_t t = entry.mtime;
    localtime_r(&t, &tm);
    std::string mode = "----------";
    uint32_t m = entry.mode;
    if (m) {
        mode[0] = S_ISDIR(m) ? 'd' : S_ISLNK(m) ? 'l' : '-';
        const char* letters = "rwxrwxrwx";
        for (int i = 0; i < 9; ++i)
            if (m & (0400u >> i))
                mode[static_cast<size_t>(i) + 1] = letters[i];
    } else {
        mode = entry.name.size() && entry.name.back() == '/' ? "drwxr-xr-x" : "-rw-r--r--";
    }
    print(Level::Problem,
          Format("%s %10llu %c %-6s %02d-%s-%02d %02d:%02d %08x %s\n", mode.c_str(),
                 static_cast<unsigned long long>(entry.stat.size),
                 entry.stat.encryption_method != ZIP_EM_NONE ? 'B' : 'b',
                 MethodName(entry.stat.comp_method).c_str(), tm.tm_year % 100,
                 kMonths[tm.tm_mon % 12], tm.tm_mday, tm.tm_hour, tm.tm_min,
                 static_cast<unsigned>(entry.stat.crc), entry.shown.c_str()));
}

void Extraction::reportReadError(const Entry& entry, zip_error_t* error)
{
    int ze = zip_error_code_zip(error);
    const char* name = entry.shown.c_str();
    switch (ze) {
    case ZIP_ER_CRC:
        print(Level::Problem, Format("%s:  bad CRC (the entry is damaged)\n", name));
        note(PK_ERR);
        break;
    case ZIP_ER_ZLIB:
    case ZIP_ER_COMPRESSED_DATA:
        print(Level::Problem, Format("  error:  invalid compressed data to inflate %s\n", name));
        note(PK_ERR);
        break;
    case ZIP_ER_EOF:
        print(Level::Problem, Format("error:  %s: unexpected end of the archive (truncated)\n", name));
        note(PK_EOF);
        break;
    case ZIP_ER_MEMORY:
        print(Level::Problem, Format("error:  %s: out of memory\n", name));
        note(PK_MEM);
        break;
    default:
        print(Level::Problem, Format("error:  %s: %s\n", name, zip_error_strerror(error)));
        note(ze == ZIP_ER_INCONS || ze == ZIP_ER_NOZIP ? PK_BADERR : PK_ERR);
        break;
    }
    ++problems_;
}

zip_file_t* Extraction::openEntry(const Entry& entry)
{
    zip_uint16_t method = entry.stat.encryption_method;
    if (method == ZIP_EM_NONE) {
        zip_file_t* file = zip_fopen_index(archive_, entry.index, 0);
        return file ? file : openFailed(entry);
    }
    if (!zip_encryption_method_supported(method, 0)) {
        print(Level::Problem, Format("   skipping: %-22s  unsupported encryption method %u\n",
                                     entry.shown.c_str(), unsigned(method)));
        note(IZ_UNSUP);
        return nullptr;
    }
    return openEncrypted(entry);
}

// Reports why an entry could not be opened; always nullptr.
zip_file_t* Extraction::openFailed(const Entry& entry)
{
    zip_error_t* error = zip_get_error(archive_);
    int ze = zip_error_code_zip(error);
    if (ze == ZIP_ER_COMPNOTSUPP) {
        print(Level::Problem, Format("   skipping: %-22s  unsupported compression method %u\n",
                                     entry.shown.c_str(), unsigned(entry.stat.comp_method)));
        note(IZ_UNSUP);
    } else if (ze == ZIP_ER_ENCRNOTSUPP) {
        print(Level::Problem, Format("   skipping: %-22s  unsupported encryption method %u\n",
                                     entry.shown.c_str(), unsigned(entry.stat.encryption_method)));
        note(IZ_UNSUP);
    } else {
        reportReadError(entry, error);
    }
    zip_error_clear(archive_);
    return nullptr;
}

// Opens with `password`; `wrong` tells a wrong password from other failures.
zip_file_t* Extraction::openWithPassword(const Entry& entry, const std::string& password, bool& wrong)
{
    wrong = false;
    zip_file_t* file = zip_fopen_index_encrypted(archive_, entry.index, 0, password.c_str());
    if (file)
        return file;
    if (zip_error_code_zip(zip_get_error(archive_)) == ZIP_ER_WRONGPASSWD) {
        wrong = true;
        zip_error_clear(archive_);
        return nullptr;
    }
    return openFailed(entry);
}

// The password that opened an earlier entry is tried first; then the
// caller is asked, at most three times.
zip_file_t* Extraction::openEncrypted(const Entry& entry)
{
    bool wrong = false;
    if (!password_.empty()) {
        if (zip_file_t* file = openWithPassword(entry, password_, wrong))
            return file;
        if (!wrong)
            return nullptr;
    }
    bool declined = false;
    for (int attempt = 0; attempt < kPasswordTries && !declined; ++attempt) {
        std::string password;
        declined = !askPassword(entry, attempt == 0 && !wrong, password);
        if (declined)
            break;
        if (zip_file_t* file = openWithPassword(entry, password, wrong)) {
            password_ = password;
            return file;
        }
        if (!wrong)
            return nullptr;
    }
    print(Level::Problem, Format("   skipping: %-22s  %s\n", entry.shown.c_str(),
                                 declined && !wrong ? "no password given" : "incorrect password"));
    note(IZ_BADPWD);
    ++problems_;
    return nullptr;
}

// False when the caller gave no password.
bool Extraction::askPassword(const Entry& entry, bool first, std::string& password)
{
    if (!functions_ || !functions_->password)
        return false;
    char answer[kPasswordSize] = {};
    std::string prompt = first ? Format("[%s] %s password: ", archiveShown_.c_str(), entry.shown.c_str())
                               : std::string("password incorrect--reenter: ");
    if (functions_->password(answer, static_cast<int32_t>(sizeof answer), prompt.c_str(),
                             entry.shown.c_str()) != 0)
        return false;
    answer[sizeof answer - 1] = '\0';
    password = answer;
    std::memset(answer, 0, sizeof answer);
    return !password.empty();
}

// Reads the entry to its end, checking size and CRC; writes the data to
// `fd` (when not -1) or through the print callback.
bool Extraction::readAll(const Entry& entry, zip_file_t* file, int fd, bool toPrint)
{
    bool text = false, decided = false;
    CrLfToLf converter;
    std::string converted;
    uint64_t total = 0;
    for (;;) {
        zip_int64_t n = zip_fread(file, buffer_.data(), buffer_.size());
        if (n < 0) {
            reportReadError(entry, zip_file_get_error(file));
            return false;
        }
        if (n == 0)
            break;
        total += static_cast<uint64_t>(n);
        if (total > entry.stat.size)
            return sizeMismatch(entry, total);
        const char* data = buffer_.data();
        size_t size = static_cast<size_t>(n);
        if (options_.naflag && !decided) {
            text = LooksLikeText(data, size);
            decided = true;
        }
        if (text) {
            converted.clear();
            converter.convert(data, size, converted);
            data = converted.data();
            size = converted.size();
        }
        if (!deliver(entry, data, size, fd, toPrint) || (fd >= 0 && !goOn(nullptr, total)))
            return false;
    }
    if (text) {
        converted.clear();
        converter.finish(converted);
        if (!deliver(entry, converted.data(), converted.size(), fd, toPrint))
            return false;
    }
    return total == entry.stat.size || sizeMismatch(entry, total);
}

// Hands a piece of an entry's data on: through the print callback, or
// into the file with a look at the free space now and then.
bool Extraction::deliver(const Entry& entry, const char* data, size_t size, int fd, bool toPrint)
{
    if (toPrint) {
        for (size_t at = 0; at < size; at += kPrintPiece) {
            std::string piece(data + at, std::min(kPrintPiece, size - at));
            functions_->print(piece.data(), static_cast<uint32_t>(piece.size()));
        }
        return true;
    }
    if (fd < 0 || size == 0)
        return true;
    int error = 0;
    if (!WriteAll(fd, data, size, error)) {
        bool full = error == ENOSPC || error == EDQUOT;
        print(Level::Problem, Format("error:  %s while writing %s; extraction stopped\n",
                                     full ? "the disk is full" : ErrnoText(error).c_str(),
                                     entry.shown.c_str()));
        note(PK_DISK);
        stop_ = true;
        return false;
    }
    sinceSpaceCheck_ += size;
    return sinceSpaceCheck_ < kSpaceCheckInterval || checkRoom(folder_, 0, entry.shown);
}

// Reports data longer or shorter than the entry's header says; always false.
bool Extraction::sizeMismatch(const Entry& entry, uint64_t total)
{
    if (total > entry.stat.size)
        print(Level::Problem, Format("error:  %s holds more data than its header says (%llu bytes)\n",
                                     entry.shown.c_str(), static_cast<unsigned long long>(entry.stat.size)));
    else
        print(Level::Problem, Format("error:  %s is shorter than its header says (%llu of %llu bytes)\n",
                                     entry.shown.c_str(), static_cast<unsigned long long>(total),
                                     static_cast<unsigned long long>(entry.stat.size)));
    note(PK_ERR);
    ++problems_;
    return false;
}

void Extraction::testEntry(const Entry& entry)
{
    if (!entry.name.empty() && entry.name.back() == '/')
        return;
    zip_file_t* file = openEntry(entry);
    if (!file)
        return;
    bool ok = readAll(entry, file, -1, false);
    zip_fclose(file);
    if (ok)
        print(Level::Detail, Format("    testing: %-22s   OK\n", entry.shown.c_str()));
}

void Extraction::printEntryData(const Entry& entry)
{
    if (entry.isLink || (!entry.name.empty() && entry.name.back() == '/'))
        return;
    print(Level::Detail, Format(" extracting: %s\n", entry.shown.c_str()));
    zip_file_t* file = openEntry(entry);
    if (!file)
        return;
    readAll(entry, file, -1, true);
    zip_fclose(file);
}

bool Extraction::ensureFolders(const std::vector<std::string>& parts, size_t count,
                               const std::string& entryName)
{
    std::string relative;
    for (size_t i = 0; i < count; ++i) {
        relative += (i ? "/" : "") + parts[i];
        if (knownFolders_.count(relative))
            continue;
        std::string path = folder_ + "/" + relative;
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0) {
            if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
                print(Level::Problem, Format("error:  cannot create folder %s: %s\n", relative.c_str(),
                                             ErrnoText(errno).c_str()));
                note(PK_DISK);
                return false;
            }
            if (::lstat(path.c_str(), &st) != 0) {
                note(PK_DISK);
                return false;
            }
        }
        if (S_ISLNK(st.st_mode)) {
            print(Level::Problem,
                  Format("   skipping: %s  (%s is a symbolic link; nothing is written through one)\n",
                         entryName.c_str(), relative.c_str()));
            note(PK_WARN);
            return false;
        }
        if (!S_ISDIR(st.st_mode)) {
            print(Level::Problem, Format("   skipping: %s  (a file %s is in the way of its folder)\n",
                                         entryName.c_str(), relative.c_str()));
            note(PK_WARN);
            return false;
        }
        knownFolders_.insert(relative);
    }
    return true;
}

bool Extraction::replaceExisting(const Entry& entry, const std::string& path,
                                 const struct stat& existing)
{
    if (options_.ExtractOnlyNewer || options_.nfflag) {
        // DOS times have a two-second grain.
        time_t fileTime = existing.st_mtime;
        bool newer = entry.exactTime ? entry.mtime > fileTime : entry.mtime > fileTime + 1;
        if (!newer)
            return false;
    }
    if (options_.noflag)
        return true;
    if (!options_.PromptToOverwrite || replaceNone_)
        return false;
    if (replaceAll_)
        return true;
    if (!functions_ || !functions_->replace)
        return false;
    std::string name = path;
    int answer = functions_->replace(name.data());
    switch (answer) {
    case IDM_REPLACE_YES:
        return true;
    case IDM_REPLACE_ALL:
        replaceAll_ = true;
        return true;
    case IDM_REPLACE_NONE:
        replaceNone_ = true;
        return false;
    default:
        return false;
    }
}

bool Extraction::checkRoom(const std::string& folder, uint64_t needed, const std::string& entryName)
{
    // The last answer of the file system, less what was written since, is
    // good enough while it leaves room: no question per small file.
    if (spaceKnown_ && sinceSpaceCheck_ < kSpaceCheckInterval && knownFree_ >= sinceSpaceCheck_ &&
        RoomFor(needed, knownFree_ - sinceSpaceCheck_, knownSize_))
        return true;
    struct statvfs fs;
    if (::statvfs(folder.c_str(), &fs) != 0)
        return true; // nothing known: the writes themselves report a full disk
    spaceKnown_ = true;
    sinceSpaceCheck_ = 0;
    knownFree_ = uint64_t(fs.f_bavail) * fs.f_frsize;
    knownSize_ = uint64_t(fs.f_blocks) * fs.f_frsize;
    if (RoomFor(needed, knownFree_, knownSize_))
        return true;
    print(Level::Problem,
          Format("error:  not enough disk space for %s (%llu bytes needed, %llu bytes free in the "
                 "extraction folder); extraction stopped\n",
                 entryName.c_str(), static_cast<unsigned long long>(needed),
                 static_cast<unsigned long long>(knownFree_)));
    note(PK_DISK);
    stop_ = true;
    return false;
}

// Writes one file: room on the disk, a target to write into, the data,
// the file's mode, owner and time, then the target put in its place.
bool Extraction::writeFile(const Entry& entry, const std::string& folder, const std::string& path,
                           const std::string& shownName, bool replacing)
{
    if (!checkRoom(folder, entry.stat.size, entry.shown))
        return false;
    zip_file_t* file = openEntry(entry);
    if (!file)
        return false;
    Target target;
    if (!createTarget(folder, path, replacing, target)) {
        int error = errno;
        zip_fclose(file);
        print(Level::Problem, Format("error:  cannot create %s: %s\n", shownName.c_str(),
                                     ErrnoText(error).c_str()));
        note(PK_DISK);
        if (error == ENOSPC || error == EDQUOT)
            stop_ = true;
        return false;
    }
    bool ok = readAll(entry, file, target.fd, false);
    zip_fclose(file);
    if (ok)
        applyAttributes(entry, target.fd);
    if (target.written.empty()) // an unnamed file is named while it is open
        ok = ok && putInPlace(target, path, shownName);
    if (::close(target.fd) != 0 && ok) {
        print(Level::Problem, Format("error:  cannot write %s: %s\n", shownName.c_str(),
                                     ErrnoText(errno).c_str()));
        note(PK_DISK);
        ok = false;
    }
    ok = ok && putInPlace(target, path, shownName);
    if (!ok && !target.written.empty())
        ::unlink(target.written.c_str());
    return ok;
}

// A new file is written under its own name (O_EXCL: never through a link)
// and removed again if anything goes wrong; a file that replaces another
// is written unnamed in its folder, or where the file system cannot make
// unnamed files beside it, and takes the old one's name once complete, so
// that a damaged entry leaves the old file as it was. An unnamed file
// leaves nothing behind when the entry is damaged or the process killed,
// and costs the folder one change fewer than a file renamed into place.
// False with errno set when nothing could be created.
bool Extraction::createTarget(const std::string& folder, const std::string& path, bool replacing,
                              Target& target)
{
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW;
    target.direct = !replacing;
    if (target.direct) {
        target.written = path;
        target.fd = ::open(path.c_str(), flags, 0666);
        if (target.fd < 0 && errno == EEXIST)
            target.direct = false;
    }
    if (!target.direct && unnamedFiles_ != 0) {
        target.fd = ::open(folder.c_str(), O_WRONLY | O_TMPFILE | O_CLOEXEC, 0666);
        if (target.fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL))
            unnamedFiles_ = 0;
        if (target.fd >= 0 && unnamedFiles_ < 0) {
            // Once per extraction: an unnamed file is linked by its name
            // in /proc, which a sandbox may lack.
            struct stat open {}, named {};
            unnamedFiles_ = ::fstat(target.fd, &open) == 0 &&
                            ::stat(OpenFileName(target.fd).c_str(), &named) == 0 &&
                            open.st_ino == named.st_ino && open.st_dev == named.st_dev;
        }
        if (target.fd >= 0 && unnamedFiles_ == 1) {
            target.written.clear();
            return true;
        }
        if (target.fd >= 0)
            ::close(target.fd);
        target.fd = -1;
    }
    for (int attempt = 0; !target.direct && attempt < 8 && target.fd < 0; ++attempt) {
        target.written = TemporaryName(folder);
        target.fd = ::open(target.written.c_str(), flags, 0666);
        if (target.fd < 0 && errno != EEXIST)
            break;
    }
    return target.fd >= 0;
}

// The mode bits of the entry, its owner when privileges are asked for
// (only the superuser may give files away), and its time.
void Extraction::applyAttributes(const Entry& entry, int fd)
{
    if (entry.mode & 0777)
        ::fchmod(fd, entry.mode & (options_.fPrivilege ? 07777u : 0777u));
    if (options_.fPrivilege) {
        zip_uint16_t length = 0;
        const zip_uint8_t* field = zip_file_extra_field_get_by_id(archive_, entry.index, kUnixOwnerField,
                                                                  0, &length, ZIP_FL_CENTRAL | ZIP_FL_LOCAL);
        if (field && length >= 3 + 4 + 1 + 4 && field[0] == 1 && field[1] == 4 && field[6] == 4) {
            if (::fchown(fd, ReadLe32(field + 2), ReadLe32(field + 7)) != 0) {
                // The file keeps its owner.
            }
        }
    }
    if (entry.mtime) {
        struct timespec times[2];
        times[0].tv_sec = entry.mtime;
        times[0].tv_nsec = 0;
        times[1] = times[0];
        ::futimens(fd, times);
    }
}

// A file written unnamed or beside its place replaces the old one. The old
// file goes first, as unzip programs do: a rename over an existing file
// makes ext4 flush the new one at once, which costs more than the whole
// extraction of a small file.
bool Extraction::putInPlace(Target& target, const std::string& path, const std::string& shownName)
{
    if (target.direct)
        return true;
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        print(Level::Problem, Format("error:  cannot replace %s: %s\n", shownName.c_str(),
                                     ErrnoText(errno).c_str()));
        note(PK_DISK);
        return false;
    }
    bool placed;
    if (target.written.empty()) {
        // Named under the old name (linkat never follows a link found
        // there); from now on it is the file itself.
        placed = ::linkat(AT_FDCWD, OpenFileName(target.fd).c_str(), AT_FDCWD, path.c_str(),
                          AT_SYMLINK_FOLLOW) == 0;
        target.direct = true;
        if (placed)
            target.written = path;
    } else {
        placed = ::rename(target.written.c_str(), path.c_str()) == 0;
    }
    if (!placed) {
        print(Level::Problem, Format("error:  cannot create %s: %s\n", shownName.c_str(),
                                     ErrnoText(errno).c_str()));
        note(PK_DISK);
    }
    return placed;
}

bool Extraction::readLinkTarget(const Entry& entry, std::string& target)
{
    if (entry.stat.size > kLinkTargetLimit) {
        print(Level::Problem, Format("   skipping: %s  (symbolic link with a %llu-byte target)\n",
                                     entry.shown.c_str(),
                                     static_cast<unsigned long long>(entry.stat.size)));
        note(PK_WARN);
        return false;
    }
    zip_file_t* file = openEntry(entry);
    if (!file)
        return false;
    target.clear();
    bool ok = true;
    for (;;) {
        zip_int64_t n = zip_fread(file, buffer_.data(), buffer_.size());
        if (n < 0) {
            reportReadError(entry, zip_file_get_error(file));
            ok = false;
            break;
        }
        if (n == 0)
            break;
        target.append(buffer_.data(), static_cast<size_t>(n));
        if (target.size() > kLinkTargetLimit) {
            ok = false;
            break;
        }
    }
    zip_fclose(file);
    if (ok && target.find('\0') != std::string::npos) {
        print(Level::Problem, Format("   skipping: %s  (symbolic link target holds a zero byte)\n",
                                     entry.shown.c_str()));
        note(PK_WARN);
        ok = false;
    }
    return ok;
}

void Extraction::extractEntry(const Entry& entry)
{
    EntryPath where = ClassifyEntryName(entry.name, options_.ndflag == 0, options_.SpaceToUnderscore != 0);
    if (where.verdict == EntryPath::Verdict::Unsafe) {
        print(Level::Problem, Format("   skipping: %s  (unsafe name: %s)\n", entry.shown.c_str(),
                                     where.reason.c_str()));
        note(PK_WARN);
        return;
    }
    if (where.verdict == EntryPath::Verdict::Nothing)
        return;
    std::string shown = where.joined();
    if (where.verdict == EntryPath::Verdict::Directory) {
        if (ensureFolders(where.parts, where.parts.size(), entry.shown))
            print(Level::Detail, Format("   creating: %s/\n", shown.c_str()));
        return;
    }
    if (!ensureFolders(where.parts, where.parts.size() - 1, entry.shown))
        return;
    std::string path = folder_ + "/" + shown;
    std::string folder = path.substr(0, path.rfind('/'));
    struct stat existing;
    bool replacing = ::lstat(path.c_str(), &existing) == 0;
    if (replacing) {
        if (S_ISDIR(existing.st_mode)) {
            print(Level::Problem, Format("   skipping: %s  (a folder of that name is in the way)\n",
                                         entry.shown.c_str()));
            note(PK_WARN);
            return;
        }
        if (!replaceExisting(entry, path, existing))
            return;
    } else if (options_.nfflag) {
        return; // freshen creates no files
    }
    if (entry.isLink) {
        std::string target;
        if (!readLinkTarget(entry, target))
            return;
        if (!LinkStaysInside(where.parts, target)) {
            print(Level::Problem,
                  Format("   skipping: %s  (symbolic link to %s leads out of the extraction folder)\n",
                         entry.shown.c_str(), Printable(target).c_str()));
            note(PK_WARN);
            return;
        }
        links_.push_back({path, shown, target});
        return;
    }
    if (writeFile(entry, folder, path, shown, replacing))
        print(Level::Detail, Format("%s: %s\n",
                                    entry.stat.comp_method == ZIP_CM_STORE ? " extracting" : "  inflating",
                                    shown.c_str()));
}

// Links are made last, so that no entry of the archive is written through
// one, and only those that stay inside the folder taken all together.
void Extraction::createPendingLinks()
{
    std::map<std::string, std::string> targets; // the last link named so wins
    std::map<std::string, size_t> last;
    for (size_t i = 0; i < links_.size(); ++i) {
        targets[links_[i].shownName] = links_[i].target;
        last[links_[i].shownName] = i;
    }
    LinkCheck check(folder_, targets);
    for (size_t i = 0; i < links_.size(); ++i) {
        const PendingLink& link = links_[i];
        if (last[link.shownName] != i)
            continue; // replaced by a later entry of the same name
        LinkCheck::Verdict verdict = check.check(link.shownName);
        if (verdict != LinkCheck::Verdict::Inside) {
            print(Level::Problem,
                  Format("   skipping: %s  (symbolic link to %s %s)\n", link.shownName.c_str(),
                         Printable(link.target).c_str(),
                         verdict == LinkCheck::Verdict::Outside
                             ? "leads out of the extraction folder"
                             : "might lead out of the extraction folder through other links"));
            note(PK_WARN);
            continue;
        }
        struct stat st;
        if (::lstat(link.path.c_str(), &st) == 0) {
            if (S_ISDIR(st.st_mode) || ::unlink(link.path.c_str()) != 0) {
                print(Level::Problem, Format("   skipping: %s  (cannot replace what is there)\n",
                                             link.shownName.c_str()));
                note(PK_WARN);
                continue;
            }
        }
        if (::symlink(link.target.c_str(), link.path.c_str()) != 0) {
            print(Level::Problem, Format("error:  cannot create symbolic link %s: %s\n",
                                         link.shownName.c_str(), ErrnoText(errno).c_str()));
            note(PK_DISK);
            continue;
        }
        print(Level::Detail, Format("    linking: %s  -> %s\n", link.shownName.c_str(),
                                    Printable(link.target).c_str()));
    }
}

} // namespace varnock::engine
