#pragma once
// File descriptors and whole reads and writes at an offset, for the image
// readers and writers: each retries after a signal and tells a short read or
// write apart from an error.

#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace tavrin
{

// An open file descriptor, closed on every way out.
class FileDescriptor
{
  public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileDescriptor& operator=(FileDescriptor&&) = delete;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now and tells whether the close succeeded (a failed close can
    // mean lost data on some file systems). Returns 0 or the error number.
    int close()
    {
        int error = 0;
        if (fd_ >= 0 && ::close(fd_) != 0)
            error = errno;
        fd_ = -1;
        return error;
    }

  private:
    int fd_;
};

// Reads up to `count` bytes at `offset`, fewer where the file ends first;
// `done` says how many. Returns 0 or the error number.
inline int ReadUpTo(int fd, uint8_t* data, size_t count, uint64_t offset, size_t& done)
{
    done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd, data + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    return 0;
}

// Reads all `count` bytes at `offset`; 0 or the error number (EIO for a file
// that ends before them).
inline int ReadAt(int fd, uint8_t* data, size_t count, uint64_t offset)
{
    size_t done = 0;
    const int error = ReadUpTo(fd, data, count, offset, done);
    return error ? error : done < count ? EIO : 0;
}

// Writes all `count` bytes at `offset`; 0 or the error number.
inline int WriteAt(int fd, const uint8_t* data, size_t count, uint64_t offset)
{
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pwrite(fd, data + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return EIO;
        done += static_cast<size_t>(n);
    }
    return 0;
}

} // namespace tavrin
