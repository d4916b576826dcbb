// The hand-off to each emulator: the image copied to the destination it
// reads, PcBBC's "Emulator.cfg" patched for the image type, "ElectrEm.bat"
// written, the emulator started, and waited for where it must end first.

#include "Launcher.h"

#include "CommandLine.h"
#include "core/Configuration.h"
#include "core/FileHelpers.h"
#include "core/Paths.h"
#include "core/TextHelpers.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>

namespace tavrin {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kDisk0 = "Disk0";
constexpr const char* kEmulatorCfg = "Emulator.cfg";
constexpr const char* kElectrEmBat = "ElectrEm.bat";

// Runs a restore step on every way out of a routine.
template <class F>
class OnExit {
public:
    explicit OnExit(F f) : f_(std::move(f)) {}
    ~OnExit() { f_(); }
    OnExit(const OnExit&) = delete;
    OnExit& operator=(const OnExit&) = delete;

private:
    F f_;
};

std::string inQuotes(const std::string& path) { return "\"" + path + "\""; }

// The dialog box where each emulator's program is entered.
const char* programBox(const Form1State& f)
{
    switch (CheckedEmulator(f).value_or(Emulator::BeebEm)) {
    case Emulator::BeebEm: return "BeebEm exec/batch file";
    case Emulator::B_Em: return "B-Em exec/batch file";
    case Emulator::PcBBC: return "PcBBC exec/batch file";
    case Emulator::ElectrEm: return "ElectrEm exec file";
    }
    return "";
}

const char* destinationBox(const Form1State& f)
{
    switch (CheckedEmulator(f).value_or(Emulator::BeebEm)) {
    case Emulator::BeebEm: return "BeebEm data destination";
    case Emulator::B_Em: return "B-Em data destination";
    case Emulator::PcBBC: return "PcBBC data destination";
    case Emulator::ElectrEm: return "";
    }
    return "";
}

// Why `from` cannot be copied to `to`, checked before the copy so that the
// message names the real cause.
std::string whyNoCopy(const fs::path& from, const fs::path& to)
{
    std::error_code ec;
    if (!fs::exists(from, ec))
        return "the file does not exist";
    if (!fs::is_regular_file(from, ec))
        return "it is not a file";
    const fs::path folder = to.parent_path().empty() ? fs::path(".") : to.parent_path();
    if (!fs::is_directory(folder, ec))
        return "the folder " + inQuotes(folder.string()) + " does not exist";
    if (fs::exists(to, ec) && fs::equivalent(from, to, ec))
        return "it is the same file";
    if (fs::is_directory(to, ec))
        return "the destination is a folder";
    return {};
}

// Copies, overwriting the target. The reason on failure.
std::string copyOver(const fs::path& from, const fs::path& to)
{
    if (std::string why = whyNoCopy(from, to); !why.empty())
        return why;
    std::error_code ec;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (ec)
        return ec.message();
    return {};
}

} // namespace

std::optional<std::string> EmulatorCfgDiskBytes(const std::string& ext)
{
    if (ext == ".ssd" || ext == ".dsd" || ext == ".img" || ext == ".bbc")
        return ext;
    return std::nullopt;
}

std::optional<size_t> FindEmulatorCfgDisk(std::span<const char> bytes)
{
    const auto at = std::search(bytes.begin(), bytes.end(), kDisk0.begin(), kDisk0.end());
    if (at == bytes.end())
        return std::nullopt;
    return static_cast<size_t>(at - bytes.begin()) + kDisk0.size();
}

std::string Launcher::emulatorName() const
{
    const auto e = CheckedEmulator(f_);
    return e ? kEmulatorNames[static_cast<size_t>(*e)] : "the current emulator";
}

void Launcher::tellStarted()
{
    if (!std::exchange(startedTold_, true) && hooks_.emulatorStarted)
        hooks_.emulatorStarted(launchFile_);
}

bool Launcher::checkProgram(const ResolvedCommandLine& resolved, const std::string& commandLine)
{
    if (resolved.error.empty())
        return true;
    if (resolved.command.program.empty()) {
        message("No program is set for " + emulatorName() + ". Enter its command line in \"" +
                programBox(f_) + "\" under Options, Properties.");
    } else {
        message("The program " + inQuotes(resolved.command.program) + " of " + emulatorName() +
                " cannot be started: " + resolved.error + ".\n\nIts command line is: " +
                commandLine);
    }
    return false;
}

bool Launcher::startEmuApp(WindowStyle style)
{
    const ResolvedCommandLine resolved = ResolveCommandLine(f_.sEmuApp);
    if (!checkProgram(resolved, f_.sEmuApp))
        return false;
    const StartedProgram started = StartProgram(resolved.command, style);
    if (!started.started()) {
        message("The program " + inQuotes(resolved.command.program) + " of " + emulatorName() +
                " cannot be started: " + started.error + ".");
        return false;
    }
    tellStarted();
    return true;
}

bool Launcher::copyToDestination()
{
    if (f_.sDataDestination.empty()) {
        message("No data destination is set for " + emulatorName() + ". Enter it in \"" +
                destinationBox(f_) + "\" under Options, Properties.");
        return false;
    }
    const fs::path from = fs::absolute(OsPath(f_.sFullFilename));
    const fs::path to = fs::absolute(OsPath(f_.sDataDestination));
    if (std::string why = copyOver(from, to); !why.empty()) {
        message("The file " + inQuotes(from.string()) + " cannot be copied to " + inQuotes(to.string()) +
                ": " + why + ". " + emulatorName() + " was not started.");
        return false;
    }
    return true;
}

bool Launcher::ShellandWait(const std::string& ExeFullPath, int32_t TimeOutValue)
{
    const WaitDeadline deadline = WaitDeadline::from(SecondsSinceMidnight(), TimeOutValue);
    const ResolvedCommandLine resolved = ResolveCommandLine(ExeFullPath);
    if (!checkProgram(resolved, ExeFullPath))
        return false;
    const StartedProgram started = StartProgram(resolved.command, WindowStyle::MaximizedFocus);
    if (!started.started()) {
        message("The program " + inQuotes(resolved.command.program) + " of " + emulatorName() +
                " cannot be started: " + started.error + ".");
        return false;
    }
    tellStarted();
    waiting_ = true;
    OnExit waited([&] { waiting_ = false; });
    WaitForProgramEnd(started.pid, deadline, [this] {
        if (hooks_.processEvents)
            hooks_.processEvents();
        return !stopWaiting_;
    });
    return !stopWaiting_;
}

void Launcher::StopWaiting()
{
    if (waiting_)
        stopWaiting_ = true;
}

std::string Launcher::StopWaitingQuestion() const
{
    const std::string emulator = emulatorName();
    if (!offersUpdate_)
        return "Tavrin is waiting for " + emulator + " to end.\n\nStop waiting and close Tavrin? " +
               emulator + " keeps running on its own.";
    return "Tavrin is waiting for " + emulator + " to end, to offer to copy the changed disk image back over " +
           inQuotes(launchFile_) + ".\n\nStop waiting and close Tavrin? " + emulator +
           " keeps running on its own, and the changes it makes to the disk image are not copied back.";
}

// Waits for the emulator; an image it may have changed is offered back.
void Launcher::waitAndOfferUpdate(bool updateable)
{
    offersUpdate_ = updateable;
    workingCopy_ = f_.sDataDestination;
    if (ShellandWait(f_.sEmuApp, 0) && updateable && hooks_.showUpdateImg)
        hooks_.showUpdateImg();
}

std::string Launcher::EmulatorCfgPath() const
{
    const ResolvedCommandLine resolved = ResolveCommandLine(f_.sEmuApp);
    const fs::path folder = fs::path(resolved.command.program).parent_path();
    return folder.empty() ? std::string(kEmulatorCfg) : (folder / kEmulatorCfg).string();
}

void Launcher::SetEmulatorCfgDisk(const std::string& ext)
{
    const fs::path file = OsPath(EmulatorCfgPath());
    std::error_code ec;
    // A missing file stays missing: PcBBC then runs with its own defaults.
    if (!fs::exists(file, ec))
        return;
    const auto bytes = EmulatorCfgDiskBytes(ext);
    if (!bytes)
        return;
    std::fstream io(file, std::ios::in | std::ios::out | std::ios::binary);
    if (!io) {
        message(inQuotes(file.string()) + " cannot be changed: " + std::strerror(errno) + ".");
        return;
    }
    const std::string content{std::istreambuf_iterator<char>(io), {}};
    const auto at = FindEmulatorCfgDisk(content);
    if (!at || content.compare(*at, bytes->size(), *bytes) == 0)
        return;
    io.clear();
    io.seekp(static_cast<std::streamoff>(*at));
    io.write(bytes->data(), static_cast<std::streamsize>(bytes->size()));
    io.flush();
    if (!io)
        message(inQuotes(file.string()) + " cannot be changed: it could not be written.");
}

void Launcher::RunPcBBCImage(const std::string& ext)
{
    const std::string configured = f_.sDataDestination;
    SetEmulatorCfgDisk(ext);
    // "Emulator.cfg" back at ".ssd" and the destination back at its
    // configured value, whichever way the run ends.
    OnExit restore([&] {
        SetEmulatorCfgDisk(".ssd");
        f_.sDataDestination = configured;
    });
    if (!configured.empty())
        f_.sDataDestination = GetFullNameLessExt(configured) + ext;
    if (!copyToDestination())
        return;
    waitAndOfferUpdate(ext == ".img" && f_.iZipped == 0);
}

void Launcher::RunBeebEmImage(const std::string& ext)
{
    const std::string configured = f_.sDataDestination;
    OnExit restore([&] { f_.sDataDestination = configured; });
    if (!configured.empty())
        f_.sDataDestination = GetFullNameLessExt(configured) + f_.sExt;
    if (!copyToDestination())
        return;
    if (ext == ".img" && f_.iZipped == 0) {
        waitAndOfferUpdate(true);
    } else {
        startEmuApp(WindowStyle::MaximizedFocus);
    }
}

void Launcher::SendFileToElectrEm()
{
    const ResolvedCommandLine resolved = ResolveCommandLine(f_.sEmuApp);
    if (!checkProgram(resolved, f_.sEmuApp))
        return;
    // The software as the file system names it: a catalogue path is
    // relative to the program folder.
    std::string software = f_.sFullFilename;
    if (software.empty() || !isPathSeparator(software.front())) {
        const std::string folder =
            f_.sAppPath.empty() ? fs::current_path().string() : f_.sAppPath;
        software = folder + "/" + software;
    }
    // The batch file is one line, and its carriage returns are dropped.
    if (software.find_first_of("\r\n") != std::string::npos) {
        message(inQuotes(software) + " cannot be handed to ElectrEm: its name holds a line break.");
        return;
    }
    // The program and its arguments as the launch itself splits them, each
    // quoted for the shell: nothing typed in the box is run by a shell.
    const std::string program = JoinCommandLine(resolved.command);
    if (program.find_first_of("\r\n") != std::string::npos) {
        message(
            "The command line of ElectrEm holds a line break, which its batch file cannot hold. "
            "ElectrEm was not started.");
        return;
    }
    const std::string line = program + " " + QuoteForShell(OsPathString(software)) + "\r\n";

    const fs::path bat = fs::absolute(kElectrEmBat);
    const fs::path beside = bat.string() + ".new";
    {
        std::ofstream out(beside, std::ios::binary | std::ios::trunc);
        out << line;
        out.close();
        std::error_code ec;
        if (!out || (fs::rename(beside, bat, ec), ec)) {
            fs::remove(beside, ec);
            message(inQuotes(bat.string()) + " cannot be written; ElectrEm was not started.");
            return;
        }
    }
    const StartedProgram started = StartProgram(CommandLine{bat.string(), {}}, WindowStyle::MinimizedFocus);
    if (!started.started())
        message("The program " + inQuotes(bat.string()) + " of ElectrEm cannot be started: " +
                started.error + ".");
    else
        tellStarted();
}

bool Launcher::CapsLockOn() { return tavrin::CapsLockOn(keyboard_); }

void Launcher::SetCapsLock(bool wanted) { tavrin::SetCapsLock(keyboard_, wanted); }

bool Launcher::UpdateImageFromWorkingCopy()
{
    const bool ofLaunch = LaunchUnderWay() && offersUpdate_;
    const fs::path from = fs::absolute(OsPath(ofLaunch ? workingCopy_ : f_.sDataDestination));
    fs::path target = fs::absolute(OsPath(ofLaunch ? launchFile_ : f_.sFullFilename));
    std::error_code ec;
    // A link keeps pointing at the image: the image it names is replaced.
    if (fs::is_symlink(target, ec)) {
        const fs::path real = fs::canonical(target, ec);
        if (!ec)
            target = real;
    }
    auto refuse = [&](const std::string& why) {
        message("The disk image " + inQuotes(target.string()) + " was not updated from " +
                inQuotes(from.string()) + ": " + why + ". It stays as it was.");
        return false;
    };
    if (std::string why = whyNoCopy(from, target); !why.empty())
        return refuse(why);
    const fs::path beside = target.parent_path() / concat({".", target.filename().string(), ".tavrin-new"});
    fs::copy_file(from, beside, fs::copy_options::overwrite_existing, ec);
    if (!ec) {
        const fs::perms perms = fs::status(target, ec).permissions();
        if (!ec)
            fs::permissions(beside, perms, ec);
        ec.clear();
        fs::rename(beside, target, ec);
    }
    if (ec) {
        std::error_code ignored;
        fs::remove(beside, ignored);
        return refuse(ec.message());
    }
    return true;
}

} // namespace tavrin
