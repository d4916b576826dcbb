#include "ArchiveSource.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varnock::engine {
namespace {

// Small reads (a local header, a small entry's data) are served from one
// block read ahead: the entries of an archive lie one after the other.
constexpr size_t kBlockSize = 64 * 1024;

struct FileSource {
    int fd = -1;
    zip_uint64_t size = 0;
    zip_uint64_t offset = 0;
    time_t mtime = 0;
    zip_error_t error;
    std::vector<char> block = std::vector<char>(kBlockSize);
    zip_uint64_t blockOffset = 0;
    size_t blockLength = 0;
};

// Reads up to `want` bytes at `at`; -1 on error (errno set).
ssize_t ReadAt(int fd, char* data, size_t want, zip_uint64_t at)
{
    size_t done = 0;
    while (done < want) {
        ssize_t n = ::pread(fd, data + done, want - done, static_cast<off_t>(at + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

zip_int64_t Callback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command)
{
    auto* source = static_cast<FileSource*>(state);
    switch (command) {
    case ZIP_SOURCE_OPEN:
        source->offset = 0;
        return 0;
    case ZIP_SOURCE_READ: {
        zip_uint64_t left = source->offset < source->size ? source->size - source->offset : 0;
        size_t want = static_cast<size_t>(length < left ? length : left);
        auto* out = static_cast<char*>(data);
        bool inBlock = source->offset >= source->blockOffset &&
                       source->offset + want <= source->blockOffset + source->blockLength;
        if (!inBlock && want < kBlockSize / 2) {
            ssize_t n = ReadAt(source->fd, source->block.data(), kBlockSize, source->offset);
            if (n < 0) {
                zip_error_set(&source->error, ZIP_ER_READ, errno);
                return -1;
            }
            source->blockOffset = source->offset;
            source->blockLength = static_cast<size_t>(n);
            want = std::min(want, source->blockLength);
            inBlock = true;
        }
        if (inBlock) {
            std::memcpy(out, source->block.data() + (source->offset - source->blockOffset), want);
            source->offset += want;
            return static_cast<zip_int64_t>(want);
        }
        ssize_t n = ReadAt(source->fd, out, want, source->offset);
        if (n < 0) {
            zip_error_set(&source->error, ZIP_ER_READ, errno);
            return -1;
        }
        source->offset += static_cast<zip_uint64_t>(n);
        return n;
    }
    case ZIP_SOURCE_CLOSE:
        return 0;
    case ZIP_SOURCE_STAT: {
        zip_stat_t* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &source->error);
        if (!st)
            return -1;
        zip_stat_init(st);
        st->size = source->size;
        st->mtime = source->mtime;
        st->valid |= ZIP_STAT_SIZE | ZIP_STAT_MTIME;
        return sizeof(*st);
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&source->error, data, length);
    case ZIP_SOURCE_FREE:
        ::close(source->fd);
        zip_error_fini(&source->error);
        delete source;
        return 0;
    case ZIP_SOURCE_SEEK: {
        zip_int64_t to = zip_source_seek_compute_offset(source->offset, source->size, data, length,
                                                        &source->error);
        if (to < 0)
            return -1;
        source->offset = static_cast<zip_uint64_t>(to);
        return 0;
    }
    case ZIP_SOURCE_TELL:
        return static_cast<zip_int64_t>(source->offset);
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                              ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL, ZIP_SOURCE_SUPPORTS,
                                              -1);
    default:
        zip_error_set(&source->error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

} // namespace

zip_t* OpenArchiveForReading(const std::string& path, zip_error_t* error)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        zip_error_set(error, errno == ENOENT ? ZIP_ER_NOENT : ZIP_ER_OPEN, errno);
        return nullptr;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        zip_error_set(error, ZIP_ER_READ, errno);
        ::close(fd);
        return nullptr;
    }
    auto* state = new FileSource;
    state->fd = fd;
    state->size = static_cast<zip_uint64_t>(st.st_size);
    state->mtime = st.st_mtime;
    zip_error_init(&state->error);
    zip_source_t* source = zip_source_function_create(Callback, state, error);
    if (!source) {
        Callback(state, nullptr, 0, ZIP_SOURCE_FREE);
        return nullptr;
    }
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, error);
    if (!archive)
        zip_source_free(source);
    return archive;
}

} // namespace varnock::engine
