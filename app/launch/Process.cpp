#include "Process.h"

#include <QDir>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <thread>

#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace tavrin {
namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

QStringList qsList(const std::vector<std::string>& words)
{
    QStringList list;
    for (const std::string& w : words)
        list << qs(w);
    return list;
}

// Why a program file cannot be executed; empty when it can.
std::string whyNotExecutable(const std::string& program)
{
    if (::access(program.c_str(), F_OK) != 0)
        return std::strerror(errno);
    if (::access(program.c_str(), X_OK) != 0)
        return std::string(std::strerror(errno)) + " (the file is not executable)";
    return {};
}

StartedProgram startDetached(const QString& program, const QStringList& arguments,
                             const std::string& folder)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setWorkingDirectory(folder.empty() ? QDir::currentPath() : qs(folder));
    process.setStandardInputFile(QProcess::nullDevice());
    qint64 pid = 0;
    if (!process.startDetached(&pid) || pid <= 0) {
        const QString why = process.errorString();
        return {0, why.isEmpty() ? std::string("the system refused to start it") : why.toStdString()};
    }
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
        QStringList args{QStringLiteral("-c"), QString::fromLatin1(kRunBatchFile),
                         qs(command.program)};
        args << qsList(command.arguments);
        return startDetached(QStringLiteral("/bin/sh"), args, command.workingFolder);
    }
    if (std::string why = whyNotExecutable(command.program); !why.empty())
        return {0, why};
    return startDetached(qs(command.program), qsList(command.arguments), command.workingFolder);
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
