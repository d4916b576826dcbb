#include "DeflateSource.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <new>

#include <fcntl.h>
#include <unistd.h>

namespace varnock::engine {

namespace {
constexpr size_t kReadSize = 256 * 1024;
constexpr int kRawDeflate = -15; // zip entries hold deflate data without a zlib header
constexpr int kMemoryLevel = 8;
} // namespace

// A compressor with its read buffer; reset, not rebuilt, for each file.
struct Deflater::Stream {
    z_stream z{};
    std::vector<Bytef> input;
    bool ready = false;
    bool busy = false;
};

// One file being read and deflated.
struct FileSource {
    Deflater& owner;
    std::string path;
    uint64_t expectedSize;
    time_t mtime;
    Deflater::Stream* stream = nullptr;
    int fd = -1;
    bool inputDone = false;
    bool streamDone = false;
    uint64_t total = 0;
    uLong crc = 0;
    zip_error_t error{};

    zip_int64_t fail(int zipError, int systemError)
    {
        zip_error_set(&error, zipError, systemError);
        return -1;
    }

    zip_int64_t open()
    {
        close();
        stream = owner.acquire();
        if (!stream)
            return fail(ZIP_ER_MEMORY, 0);
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return fail(ZIP_ER_OPEN, errno);
        stream->z.avail_in = 0;
        inputDone = streamDone = false;
        total = 0;
        crc = crc32(0, Z_NULL, 0);
        return 0;
    }

    void close()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
        if (stream)
            owner.release(stream);
        stream = nullptr;
    }

    // Fills the compressor's input from the file when it has run dry.
    bool refill()
    {
        z_stream& z = stream->z;
        if (z.avail_in > 0 || inputDone)
            return true;
        ssize_t n;
        do
            n = ::read(fd, stream->input.data(), stream->input.size());
        while (n < 0 && errno == EINTR);
        if (n < 0) {
            zip_error_set(&error, ZIP_ER_READ, errno);
            return false;
        }
        if (n == 0) {
            inputDone = true;
            return true;
        }
        crc = crc32_z(crc, stream->input.data(), static_cast<size_t>(n));
        total += static_cast<uint64_t>(n);
        z.next_in = stream->input.data();
        z.avail_in = static_cast<uInt>(n);
        return true;
    }

    zip_int64_t read(void* data, zip_uint64_t length)
    {
        if (streamDone || length == 0)
            return 0;
        z_stream& z = stream->z;
        z.next_out = static_cast<Bytef*>(data);
        z.avail_out = static_cast<uInt>(std::min<zip_uint64_t>(length, UINT_MAX));
        uInt asked = z.avail_out;
        while (z.avail_out > 0) {
            if (!refill())
                return -1;
            int result = deflate(&z, inputDone ? Z_FINISH : Z_NO_FLUSH);
            if (result == Z_STREAM_END) {
                streamDone = true;
                break;
            }
            if (result != Z_OK && result != Z_BUF_ERROR)
                return fail(ZIP_ER_INTERNAL, 0);
        }
        return static_cast<zip_int64_t>(asked - z.avail_out);
    }

    zip_int64_t stat(void* data, zip_uint64_t length)
    {
        auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &error);
        if (!st)
            return -1;
        zip_stat_init(st);
        st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME | ZIP_STAT_COMP_METHOD | ZIP_STAT_ENCRYPTION_METHOD;
        st->comp_method = ZIP_CM_DEFLATE;
        st->encryption_method = ZIP_EM_NONE;
        st->mtime = mtime;
        st->size = expectedSize;
        if (streamDone) {
            // What was really read counts, should the file have changed.
            st->size = total;
            st->crc = static_cast<zip_uint32_t>(crc);
            st->valid |= ZIP_STAT_CRC;
        }
        return sizeof(zip_stat_t);
    }
};

namespace {

zip_int64_t Callback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command)
{
    auto* source = static_cast<FileSource*>(state);
    switch (command) {
    case ZIP_SOURCE_OPEN:
        return source->open();
    case ZIP_SOURCE_READ:
        return source->read(data, length);
    case ZIP_SOURCE_CLOSE:
        source->close();
        return 0;
    case ZIP_SOURCE_STAT:
        return source->stat(data, length);
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&source->error, data, length);
    case ZIP_SOURCE_FREE:
        source->close();
        zip_error_fini(&source->error);
        delete source;
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                              ZIP_SOURCE_SUPPORTS, -1);
    default:
        zip_error_set(&source->error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

} // namespace

Deflater::Deflater(int level) : level_(level) {}

Deflater::~Deflater()
{
    for (auto& stream : streams_)
        if (stream->ready)
            deflateEnd(&stream->z);
}

Deflater::Stream* Deflater::acquire()
{
    for (auto& stream : streams_) {
        if (!stream->busy) {
            if (deflateReset(&stream->z) != Z_OK)
                return nullptr;
            stream->busy = true;
            return stream.get();
        }
    }
    auto stream = std::make_unique<Stream>();
    if (deflateInit2(&stream->z, level_, Z_DEFLATED, kRawDeflate, kMemoryLevel, Z_DEFAULT_STRATEGY) != Z_OK)
        return nullptr;
    stream->ready = true;
    stream->input.resize(kReadSize);
    stream->busy = true;
    streams_.push_back(std::move(stream));
    return streams_.back().get();
}

void Deflater::release(Stream* stream) { stream->busy = false; }

zip_source_t* Deflater::source(const std::string& path, uint64_t size, time_t mtime, zip_error_t* error)
{
    auto* state = new (std::nothrow) FileSource{*this, path, size, mtime};
    if (!state) {
        zip_error_set(error, ZIP_ER_MEMORY, 0);
        return nullptr;
    }
    zip_error_init(&state->error);
    zip_source_t* source = zip_source_function_create(Callback, state, error);
    if (!source) {
        zip_error_fini(&state->error);
        delete state;
    }
    return source;
}

} // namespace varnock::engine
