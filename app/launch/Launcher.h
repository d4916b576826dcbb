#pragma once
// From the selected grid row to a running emulator: the decision by the
// ticked emulator and the file's extension (RunSelection,
// PrepareFilesForEmu, RunEmu) and the hand-off to each emulator (the copy to
// its destination, PcBBC's "Emulator.cfg", "ElectrEm.bat", the wait, the
// update prompt and Caps Lock).

#include "Keyboard.h"
#include "Process.h"
#include "ZippedSoftware.h"
#include "core/Form1State.h"
#include "core/Prompt.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace tavrin {

struct ResolvedCommandLine;

// What the launch needs of the windows around it.
struct LaunchHooks {
    // A fresh UnzipFiles object per extraction.
    CreateUnzipFiles createUnzipFiles;
    // Appends text to the main window's information box.
    AppendInfo appendInfo;
    // Lets the window process its pending events while an emulator is
    // waited for.
    std::function<void()> processEvents;
    // Shows frmUpdateImg modally; its OK calls UpdateImageFromWorkingCopy.
    std::function<void()> showUpdateImg;
    // Internet mode: hands the current row to the download window.
    std::function<void()> requestDownload;
    // Told as a launch starts (true) and once it has ended (false), so that
    // the window can hold back what would change what the launch uses.
    std::function<void(bool underWay)> launchUnderWay;
    // The window with Cancel while a zip is unpacked.
    ShowUnpackProgress showUnpackProgress;
    // Told once a launch has started its emulator, with the file the launch
    // began with (a row's stored path, a file run directly, a download), so
    // that the play can be counted. A launch refused or failed before the
    // emulator started tells nothing.
    std::function<void(const std::string& file)> emulatorStarted;
};

// The four bytes after "Disk0" in "Emulator.cfg" for an extension; none for
// an extension PcBBC is never given.
std::optional<std::string> EmulatorCfgDiskBytes(const std::string& ext);

// Where the four bytes after the first "Disk0" (exact case) begin, scanning
// the whole file; none without "Disk0".
std::optional<size_t> FindEmulatorCfgDisk(std::span<const char> bytes);

class Launcher {
public:
    Launcher(Form1State& f, Prompt& prompt, Keyboard& keyboard, LaunchHooks hooks);

    // The Run button and the grid's double click.
    void RunSelection();
    // The gate: path, zip, extension; also called after a download.
    void PrepareFilesForEmu();
    // The five blocks, always all five, in order.
    void RunEmu();

    // A launch is under way from Run (a file run directly, a download handed
    // over) until the emulator has the file; for an emulator waited for,
    // until it has ended and the update question was answered. Meanwhile
    // another launch does nothing, and what the launch began with (its file,
    // its extension, the ticked emulator) is what it goes on with.
    bool LaunchUnderWay() const { return depth_ > 0; }
    // True while an emulator is waited for and the wait was not stopped.
    bool Waiting() const { return waiting_ && !stopWaiting_; }
    // Ends the wait for the emulator now: it runs on as a separate program,
    // and its working copy is not copied back (the user has declined that,
    // see StopWaitingQuestion).
    void StopWaiting();
    // What the user is asked before Tavrin closes while it waits.
    std::string StopWaitingQuestion() const;

    // Starts a command line and waits for its end, or TimeOutValue seconds
    // (0: for as long as it runs), letting the window process its events.
    // False when it could not be started (the reason has been shown) or the
    // user stopped waiting.
    bool ShellandWait(const std::string& ExeFullPath, int32_t TimeOutValue);
    // Writes the extension after "Disk0" in PcBBC's "Emulator.cfg".
    void SetEmulatorCfgDisk(const std::string& ext);
    void RunPcBBCImage(const std::string& ext);
    void RunBeebEmImage(const std::string& ext);
    void SendFileToElectrEm();
    bool CapsLockOn();
    void SetCapsLock(bool wanted);

    // frmUpdateImg's OK: the working copy the emulator used replaces the
    // image the launch began with (written beside it, then renamed into
    // place); outside a launch, sDataDestination and sFullFilename name
    // them. False when it could not; the image is unchanged and the reason
    // has been shown.
    bool UpdateImageFromWorkingCopy();

    // "Emulator.cfg" beside the PcBBC program.
    std::string EmulatorCfgPath() const;

private:
    class LaunchScope;
    void prepareFiles();
    void waitAndOfferUpdate(bool updateable);
    bool copyToDestination();
    bool startEmuApp(WindowStyle style);
    bool checkProgram(const ResolvedCommandLine& resolved, const std::string& commandLine);
    std::string emulatorName() const;
    void tellStarted();
    void message(const std::string& text);

    Form1State& f_;
    Prompt& prompt_;
    Keyboard& keyboard_;
    LaunchHooks hooks_;

    int depth_ = 0;            // launches entered and not yet left
    bool handingOver_ = false; // a download may hand its file to PrepareFilesForEmu
    bool waiting_ = false;
    bool stopWaiting_ = false;
    // The image the launch began with, the working copy of it the emulator
    // was given, and whether the wait ends with the update question.
    std::string launchFile_;
    std::string workingCopy_;
    bool offersUpdate_ = false;
    bool startedTold_ = false;
};

} // namespace tavrin
