#include "MmbFile.h"

#include "PosixFile.h"

#include "core/Paths.h"
#include "core/TextHelpers.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <optional>
#include <cerrno>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavrin
{

using namespace mmb;

namespace
{

// Every message of this file.
namespace message
{
std::string inQuotes(std::string_view path)
{
    return concat({"\"", path, "\""});
}
std::string reason(int error)
{
    return std::generic_category().message(error);
}
std::string cannotOpen(std::string_view path, int error)
{
    return "Cannot open " + inQuotes(path) + ": " + reason(error);
}
std::string cannotRead(std::string_view path, int error)
{
    return "Cannot read " + inQuotes(path) + ": " + reason(error);
}
std::string notRegularFile(std::string_view path)
{
    return inQuotes(path) + " is not a regular file";
}
std::string notMmb(std::string_view path, const std::string& why)
{
    return inQuotes(path) + " is not an MMB file: " + why;
}
std::string cannotWrite(std::string_view path, const std::string& why)
{
    return "Cannot write " + inQuotes(path) + ": " + why;
}
std::string nameNotText()
{
    return "its name is not UTF-8 text";
}
std::string changedMeanwhile()
{
    return "it was changed by something else while it was being written";
}
std::string notADisc(std::string_view path, const std::string& why)
{
    return inQuotes(path) + " cannot be a disc of an MMB file: " + why;
}
std::string sideNotADisc(std::string_view path, int side, const std::string& why)
{
    return "Side " + std::to_string(side) + " of " + inQuotes(path) +
           " cannot be a disc of an MMB file: " + why;
}
std::string doubleSided(std::string_view path)
{
    return inQuotes(path) + " is a double-sided image (.dsd), and a slot of an MMB file holds "
                            "one side";
}
std::string tooLargeForTwoSides(std::string_view path, uint64_t size)
{
    return inQuotes(path) + " is larger than two 80-track sides (" + std::to_string(size) +
           " bytes, " + std::to_string(kDoubleSidedSize) + " at most)";
}
} // namespace message

// A file opened for reading only; anything but a regular file is refused.
// O_NONBLOCK keeps a named pipe from blocking the open.
struct OpenedForReading {
    QFile file;
    uint64_t size = 0;
    std::string error;
};

void openForReading(std::string_view path, OpenedForReading& opened)
{
    const int fd = ::open(OsPath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        opened.error = message::cannotOpen(path, errno);
        return;
    }
    if (!opened.file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        opened.error = message::cannotOpen(path, EIO);
        return;
    }
    struct stat info {
    };
    if (::fstat(fd, &info) != 0) {
        opened.error = message::cannotOpen(path, errno);
    } else if (!S_ISREG(info.st_mode)) {
        opened.error = message::notRegularFile(path);
    } else {
        opened.size = static_cast<uint64_t>(info.st_size);
    }
}

// Copies the bytes from `from` to `to` (same offsets in both files): in the
// kernel where it can, else through a buffer.
int copyRange(int in, int out, uint64_t from, uint64_t to)
{
    loff_t inAt = loff_t(from), outAt = loff_t(from);
    while (uint64_t(inAt) < to) {
        const ssize_t n = ::copy_file_range(in, &inAt, out, &outAt, size_t(to - uint64_t(inAt)), 0);
        if (n > 0)
            continue;
        if (n == 0)
            return EIO; // the file ended early
        if (errno == EINTR)
            continue;
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP &&
            errno != EBADF)
            return errno;
        std::vector<uint8_t> buffer(1 << 20);
        for (uint64_t at = uint64_t(inAt); at < to;) {
            const size_t count = size_t(std::min<uint64_t>(buffer.size(), to - at));
            if (int error = ReadAt(in, buffer.data(), count, at))
                return error;
            if (int error = WriteAt(out, buffer.data(), count, at))
                return error;
            at += count;
        }
        return 0;
    }
    return 0;
}

std::string qtReason(const QFileDevice& file)
{
    return file.errorString().toStdString();
}

// The file name as the file writer takes it; none for a name that is not
// UTF-8 text, which would reach the disk as another name.
std::optional<QString> writerName(std::string_view path)
{
    const std::string bytes = OsPathString(path);
    const QString name = QFile::decodeName(QByteArray::fromStdString(bytes));
    if (QFile::encodeName(name).toStdString() != bytes)
        return std::nullopt;
    return name;
}

} // namespace

MmbFileRead ReadMmbFile(std::string_view path)
{
    MmbFileRead read;
    OpenedForReading opened;
    openForReading(path, opened);
    if (!opened.error.empty()) {
        read.error = std::move(opened.error);
        return read;
    }
    const int fd = opened.file.handle();
    std::vector<uint8_t> indexes(kHeaderSize);
    int zones = 1;
    if (opened.size >= kIndexSize) {
        if (int error = ReadAt(fd, indexes.data(), kHeaderSize, 0)) {
            read.error = message::cannotRead(path, error);
            return read;
        }
        zones = MmbZonesInHeader(indexes).value_or(1);
        // Only zones the file holds are read; ReadMmbIndex tells the rest.
        if (opened.size < MmbFileSize(zones))
            zones = 1;
        indexes.assign(size_t(zones) * kIndexSize, 0);
        for (int zone = 0; zone < zones; ++zone)
            if (int error = ReadAt(fd, indexes.data() + size_t(zone) * kIndexSize, kIndexSize,
                                   uint64_t(zone) * kZoneSize)) {
                read.error = message::cannotRead(path, error);
                return read;
            }
    }
    MmbIndexRead index = ReadMmbIndex(indexes, opened.size);
    if (index.notMmb) {
        read.error = message::notMmb(path, *index.notMmb);
        return read;
    }
    read.index = std::move(index.index);
    return read;
}

MmbDiscRead ReadMmbDisc(std::string_view path, const MmbIndex& index, int slot)
{
    MmbDiscRead read;
    OpenedForReading opened;
    openForReading(path, opened);
    if (opened.error.empty() && opened.size != index.fileSize)
        opened.error = message::cannotRead(path, ESTALE);
    if (!opened.error.empty()) {
        read.error = std::move(opened.error);
        return read;
    }
    read.disc.assign(kDiscSize, 0);
    if (int error =
            ReadAt(opened.file.handle(), read.disc.data(), kDiscSize, MmbDiscOffset(slot))) {
        read.disc.clear();
        read.error = message::cannotRead(path, error);
    }
    return read;
}

MmbImageRead ReadImageForMmb(std::string_view path, bool bothSides)
{
    MmbImageRead read;
    const bool doubleSided = IsDsdFilename(path);
    if (doubleSided && !bothSides) {
        read.error = message::doubleSided(path);
        return read;
    }
    // Only what a slot can hold is read; a larger file is refused by its size.
    OpenedForReading opened;
    openForReading(path, opened);
    if (!opened.error.empty()) {
        read.error = std::move(opened.error);
        return read;
    }
    const uint64_t size = opened.size;
    std::vector<uint8_t> bytes(
        size_t(std::min<uint64_t>(size, doubleSided ? kDoubleSidedSize : kDiscSize)));
    if (int error = ReadAt(opened.file.handle(), bytes.data(), bytes.size(), 0)) {
        read.error = message::cannotRead(path, error);
        return read;
    }
    if (!doubleSided) {
        if (auto why = CheckMmbDisc(bytes, size)) {
            read.error = message::notADisc(path, *why);
            return read;
        }
        read.discs.push_back(std::move(bytes));
        return read;
    }
    auto sides = SplitDoubleSided(bytes);
    if (!sides || size > kDoubleSidedSize) {
        read.error = message::tooLargeForTwoSides(path, size);
        return read;
    }
    for (int side = 0; side < 2; ++side) {
        auto& disc = (*sides)[size_t(side)];
        if (auto why = CheckMmbDisc(disc, disc.size())) {
            read.error = message::sideNotADisc(path, side, *why);
            read.discs.clear();
            return read;
        }
        read.discs.push_back(std::move(disc));
    }
    return read;
}

MmbWriter::MmbWriter(std::string_view path, const MmbIndex* old, const std::vector<int>& fresh)
    : path_(path), file_(std::make_unique<QSaveFile>())
{
    const std::optional<QString> name = writerName(path);
    if (!name) {
        error_ = message::cannotWrite(path_, message::nameNotText());
        return;
    }
    // The file is made whole and renamed into place, never written through.
    file_->setFileName(*name);
    if (!file_->open(QIODevice::WriteOnly)) {
        error_ = message::cannotWrite(path_, qtReason(*file_));
        return;
    }
    fresh_.assign(size_t(kMaxSlots), old == nullptr);
    for (int slot : fresh)
        if (slot >= 0 && slot < kMaxSlots)
            fresh_[size_t(slot)] = true;
    if (old)
        copyOld(*old, fresh);
}

MmbWriter::~MmbWriter() = default;

bool MmbWriter::fail(int error)
{
    if (error_.empty())
        error_ = message::cannotWrite(path_, message::reason(error));
    file_->cancelWriting();
    return false;
}

bool MmbWriter::copyOld(const MmbIndex& old, const std::vector<int>& fresh)
{
    OpenedForReading opened;
    openForReading(path_, opened);
    if (!opened.error.empty()) {
        error_ = opened.error;
        file_->cancelWriting();
        return false;
    }
    if (opened.size != old.fileSize) {
        error_ = message::cannotWrite(path_, message::changedMeanwhile());
        file_->cancelWriting();
        return false;
    }
    const int in = opened.file.handle();
    const int out = file_->handle();
    if (::ftruncate(out, off_t(old.fileSize)) != 0)
        return fail(errno);

    // The runs of the old file to carry over: everything but the fresh
    // discs, and only where the old file holds data (its holes stay holes).
    std::vector<std::pair<uint64_t, uint64_t>> skipped;
    for (int slot : fresh)
        if (slot >= 0 && MmbDiscOffset(slot) < old.fileSize)
            skipped.emplace_back(MmbDiscOffset(slot), MmbDiscOffset(slot) + kDiscSize);
    std::sort(skipped.begin(), skipped.end());
    auto copyKept = [&](uint64_t from, uint64_t to) {
        for (const auto& [skipFrom, skipTo] : skipped) {
            if (skipTo <= from || skipFrom >= to)
                continue;
            if (skipFrom > from)
                if (int error = copyRange(in, out, from, skipFrom))
                    return error;
            from = std::max(from, skipTo);
            if (from >= to)
                return 0;
        }
        return from < to ? copyRange(in, out, from, to) : 0;
    };
    uint64_t at = 0;
    while (at < old.fileSize) {
        off_t data = ::lseek(in, off_t(at), SEEK_DATA);
        if (data < 0) {
            if (errno == ENXIO)
                break; // a hole up to the end
            data = off_t(at);
        }
        off_t hole = ::lseek(in, data, SEEK_HOLE);
        if (hole < 0 || uint64_t(hole) > old.fileSize)
            hole = off_t(old.fileSize);
        if (int error = copyKept(uint64_t(data), uint64_t(hole)))
            return fail(error);
        at = uint64_t(hole);
    }
    return true;
}

bool MmbWriter::writeDisc(int slot, std::span<const uint8_t> disc)
{
    if (!ok())
        return false;
    if (slot < 0 || slot >= kMaxSlots || disc.size() > kDiscSize)
        return fail(EINVAL);
    const int fd = file_->handle();
    if (int error = WriteAt(fd, disc.data(), disc.size(), MmbDiscOffset(slot)))
        return fail(error);
    // A slot carried over from the old file still holds its old bytes past
    // the new disc's end.
    if (!fresh_[size_t(slot)] && disc.size() < kDiscSize) {
        const std::vector<uint8_t> zeros(kDiscSize - disc.size(), 0);
        if (int error = WriteAt(fd, zeros.data(), zeros.size(), MmbDiscOffset(slot) + disc.size()))
            return fail(error);
    }
    return true;
}

bool MmbWriter::commit(const MmbIndex& index)
{
    if (!ok())
        return false;
    if (index.bytes.size() != size_t(index.zones) * kIndexSize)
        return fail(EINVAL);
    const int fd = file_->handle();
    if (::ftruncate(fd, off_t(index.fileSize)) != 0)
        return fail(errno);
    for (int zone = 0; zone < index.zones; ++zone)
        if (int error = WriteAt(fd, index.bytes.data() + size_t(zone) * kIndexSize, kIndexSize,
                                uint64_t(zone) * kZoneSize))
            return fail(error);
    // commit() syncs the file to the disk before it renames it into place.
    if (!file_->commit()) {
        error_ = message::cannotWrite(path_, qtReason(*file_));
        return false;
    }
    return true;
}

std::string WriteWholeFile(std::string_view path, std::span<const uint8_t> bytes)
{
    const std::optional<QString> name = writerName(path);
    if (!name)
        return message::cannotWrite(path, message::nameNotText());
    QSaveFile file(*name);
    if (!file.open(QIODevice::WriteOnly))
        return message::cannotWrite(path, qtReason(file));
    const auto size = static_cast<qint64>(bytes.size());
    // Written and flushed before commit, which would not notice a last
    // buffered write that fails.
    if (file.write(reinterpret_cast<const char*>(bytes.data()), size) != size || !file.flush()) {
        const std::string why = qtReason(file);
        file.cancelWriting();
        return message::cannotWrite(path, why);
    }
    if (!file.commit())
        return message::cannotWrite(path, qtReason(file));
    return {};
}

} // namespace tavrin
