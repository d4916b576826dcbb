#pragma once
// File operations that fail for root too. The tests run as root (so does
// CI), and root reads and writes files and folders whatever their permission
// bits say, so the failures here come from elsewhere:
// - the running test program cannot be opened for writing by anybody while
//   it runs ("Text file busy"); a link to it named like a disk image stands
//   for an image that can be read but not written;
// - under a file size limit of 0 bytes every write fails ("File too large"),
//   as on a full disk: a file can be created and opened, nothing written;
// - "/proc" is a folder in which nobody can create a file.

#include <filesystem>
#include <stdexcept>
#include <string>

#include <csignal>
#include <sys/resource.h>

namespace tavrin::test
{

inline constexpr const char* kUncreatableFolder = "/proc";

// A link at `link` to the running program.
inline void linkToRunningProgram(const std::filesystem::path& link)
{
    std::filesystem::create_symlink(std::filesystem::read_symlink("/proc/self/exe"), link);
}

// Every write of this process fails while the limit is in force (the
// signal that would end the process is ignored, so the write reports EFBIG).
class FileSizeLimit
{
  public:
    FileSizeLimit()
    {
        if (::getrlimit(RLIMIT_FSIZE, &old_) != 0)
            throw std::runtime_error("getrlimit failed");
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit none = old_;
        none.rlim_cur = 0;
        if (::setrlimit(RLIMIT_FSIZE, &none) != 0)
            throw std::runtime_error("setrlimit failed");
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    // For a child process, between fork and exec: the same limit, for good.
    static void applyInChild()
    {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit none{};
        ::getrlimit(RLIMIT_FSIZE, &none);
        none.rlim_cur = 0;
        ::setrlimit(RLIMIT_FSIZE, &none);
    }

  private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

} // namespace tavrin::test
