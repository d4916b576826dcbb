#pragma once
// A libzip source that reads a file and hands its data over already
// deflated. libzip's own compression sets up a compressor and its buffers
// for every entry and frees them again, which on archives of many small
// files costs about as much as the compression itself; here one
// compressor and one read buffer serve every file of an archive.

#include <zip.h>

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace varnock::engine {

class Deflater {
public:
    explicit Deflater(int level);
    ~Deflater();
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    // A source for the file at `path`, whose size and time were taken by
    // stat; nullptr with `error` set when no source could be made.
    zip_source_t* source(const std::string& path, uint64_t size, time_t mtime, zip_error_t* error);

    struct Stream;

private:
    friend struct FileSource;
    Stream* acquire();
    void release(Stream* stream);

    int level_;
    std::vector<std::unique_ptr<Stream>> streams_;
};

} // namespace varnock::engine
