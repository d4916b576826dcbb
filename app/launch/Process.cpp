#include "Process.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tavrin {
namespace {

// Why a program file cannot be executed; empty when it can.
std::string whyNotExecutable(const std::string& program)
{
    if (::access(program.c_str(), F_OK) != 0)
        return std::strerror(errno);
    if (::access(program.c_str(), X_OK) != 0)
        return std::string(std::strerror(errno)) + " (the file is not executable)";
    return {};
}

// Writes all of `size` bytes, going on after an interruption; only calls
// that are safe between fork and exec.
void writeAll(int fd, const void* data, size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        p += n;
        size -= static_cast<size_t>(n);
    }
}

// The steps of a start that can fail, as the starting process reports them.
enum StartStep : int { kFolder = 1, kStandardInput = 2, kExec = 3 };

// The program in a process of its own, detached from tavrin: a child that
// starts it in a new session and ends at once, so that the program is never
// a child of ours (no zombie, and it outlives tavrin). The words reach exec
// as the bytes they are, whatever their encoding. The report pipe carries
// the program's process id, then, only when it could not be started, the
// step that failed and its errno; it closes at the exec.
StartedProgram startDetached(const std::string& program, const std::vector<std::string>& arguments,
                             const std::string& folder)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const char* workingFolder = folder.empty() ? nullptr : folder.c_str();

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return {0, std::strerror(errno)};
    const pid_t child = ::fork();
    if (child < 0) {
        const int error = errno;
        ::close(report[0]);
        ::close(report[1]);
        return {0, std::strerror(error)};
    }
    if (child == 0) {
        // Only calls that are safe after a fork from here on.
        ::setsid();
        const pid_t started = ::fork();
        if (started != 0) {
            writeAll(report[1], &started, sizeof started);
            ::_exit(0);
        }
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        int failed[2] = {0, 0};
        const int in = ::open("/dev/null", O_RDONLY);
        if (workingFolder && ::chdir(workingFolder) != 0) {
            failed[0] = kFolder;
        } else if (in < 0 || ::dup2(in, STDIN_FILENO) < 0) {
            failed[0] = kStandardInput;
        } else {
            if (in != STDIN_FILENO)
                ::close(in);
            ::execv(program.c_str(), argv.data());
            failed[0] = kExec;
        }
        failed[1] = errno;
        writeAll(report[1], failed, sizeof failed);
        ::_exit(127);
    }
    ::close(report[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    char buffer[sizeof(pid_t) + 2 * sizeof(int)];
    size_t have = 0;
    while (have < sizeof buffer) {
        const ssize_t n = ::read(report[0], buffer + have, sizeof buffer - have);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        have += static_cast<size_t>(n);
    }
    ::close(report[0]);
    pid_t pid = 0;
    int failed[2] = {0, 0};
    if (have >= sizeof pid)
        std::memcpy(&pid, buffer, sizeof pid);
    if (have == sizeof buffer)
        std::memcpy(failed, buffer + sizeof pid, sizeof failed);
    if (pid <= 0)
        return {0, "the system refused to start it"};
    if (failed[0] == kFolder)
        return {0, "its folder " + folder + " cannot be entered: " + std::strerror(failed[1])};
    if (failed[0] != 0)
        return {0, std::strerror(failed[1])};
    return {pid, {}};
}

// Runs the file $0 as a shell script without its carriage returns, in this
// shell, so that $0, $1... stay the batch file's.
constexpr const char* kRunBatchFile =
    "script=$(tr -d '\\r' < \"$0\"; echo .) && eval \"${script%.}\"";

} // namespace

bool IsBatchFile(std::string_view program)
{
    if (program.size() < 4)
        return false;
    std::string ext(program.substr(program.size() - 4));
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".bat";
}

StartedProgram StartProgram(const CommandLine& command, WindowStyle /*style: a hint X11 programs choose for themselves*/)
{
    if (command.program.empty())
        return {0, "no program is set"};
    if (IsBatchFile(command.program)) {
        std::ifstream in(command.program, std::ios::binary);
        if (!in)
            return {0, std::strerror(errno)};
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        if (in.bad())
            return {0, "the batch file cannot be read"};
        if (bytes.find('\0') != std::string::npos)
            return {0, "the batch file holds a NUL byte and is no text"};
        // $0 is the batch file, $1... its arguments, as %0 and %1 were. The
        // shell reads the file itself, so that bytes which are not UTF-8 (a
        // tape's name) reach it unchanged.
        std::vector<std::string> args{"-c", kRunBatchFile, command.program};
        args.insert(args.end(), command.arguments.begin(), command.arguments.end());
        return startDetached("/bin/sh", args, command.workingFolder);
    }
    if (std::string why = whyNotExecutable(command.program); !why.empty())
        return {0, why};
    return startDetached(command.program, command.arguments, command.workingFolder);
}

WaitDeadline WaitDeadline::from(int secondsSinceMidnight, int timeOut)
{
    WaitDeadline d;
    d.start = secondsSinceMidnight;
    d.timeOut = timeOut;
    if (timeOut > 0) {
        if (d.start + timeOut < 86400) {
            d.quit = d.start + timeOut;
        } else {
            d.quit = d.start - 86400 + timeOut;
            d.crossesMidnight = true;
        }
    }
    return d;
}

bool WaitDeadline::passed(int now) const
{
    if (timeOut == 0 || now <= quit)
        return false;
    return !crossesMidnight || now < start;
}

int SecondsSinceMidnight()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    return local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
}

bool WaitForProgramEnd(int64_t pid, const WaitDeadline& deadline,
                       const std::function<bool()>& between, int sliceMs)
{
    if (pid <= 0)
        return true;
    // A pidfd turns readable when the process ends, whoever reaps it (the
    // program was started detached, so it is no child of ours).
    const int fd = static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
    if (fd < 0 && errno == ESRCH)
        return true;
    bool ended = false;
    while (!ended) {
        if (fd >= 0) {
            pollfd p{fd, POLLIN, 0};
            const int r = ::poll(&p, 1, sliceMs);
            ended = r > 0 || (r < 0 && errno != EINTR);
        } else {
            ended = ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
            if (!ended)
                std::this_thread::sleep_for(std::chrono::milliseconds(sliceMs));
        }
        const bool goOn = !between || between();
        if (!goOn || deadline.passed(SecondsSinceMidnight()))
            break;
    }
    if (fd >= 0)
        ::close(fd);
    return ended;
}

} // namespace tavrin
