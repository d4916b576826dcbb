#pragma once
// CodeModule: the extraction routine WinUnpack, the packing routine WinPack,
// the engine callbacks, and the per-thread message state that UnzipFiles and
// ZipFiles share.

#include "ComponentError.h"

#include <varnock/UnzipApi.h>
#include <varnock/Varnock.h>
#include <varnock/ZipApi.h>

#include <cstdint>
#include <string>

namespace varnock {

// Each thread that uses the library has its own copy.
struct MessageState {
    std::string LastMessage;
    int16_t ListCount = 0;
    std::string ListText;
    std::string PrintText;
    int16_t SkipPassword = 0;
};
MessageState& ThreadMessageState();

// Texts and limits of the callbacks.
inline constexpr const char* kPasswordPrompt = "Please Enter The Password!";
inline constexpr const char* kComponentName = "Varnock";
inline constexpr const char* kReplaceCaption = "WinUnpack32 - File Already Exists!";
inline constexpr uint32_t kUnzipPrintLastPosition = 32800;
inline constexpr uint32_t kZipPrintLastPosition = 4096;
inline constexpr size_t kNameBytes = 256;

// Everything WinUnpack hands to the unzip engine, already narrowed.
struct UnpackArguments {
    std::string zipFileName;
    std::string extractDir;
    int16_t extractOnlyNewer = 0;
    int16_t spaceToUnderscore = 0;
    int16_t promptToOverwrite = 0;
    int16_t messageLevel = 2;
    int16_t writeToStdOut = 0;
    int16_t testZip = 0;
    int16_t extractList = 0;
    int16_t extractNewer = 0;
    int16_t displayComment = 0;
    int16_t honorDirectories = 1;
    int16_t overwriteFiles = 1;
    int16_t convertCRtoCRLF = 0;
    int16_t verbose = 0;
    int16_t caseSensitive = 1;
    int16_t privilege = 0;
};

// Runs one extraction; raises ComponentError with the source
// "CodeModule::WinUnpack" when anything fails (the engine cannot be loaded,
// for instance). `hook` (may be null) answers the two questions.
int32_t WinUnpack(const UnpackArguments& arguments, const VarnockPromptHook* hook);

// Everything WinPack hands to the zip engine.
struct PackArguments {
    int32_t count = 0;
    std::string zipFileName;
    ZIPNAMES* names = nullptr;
    int16_t junkDirectories = 0;
    int16_t recurse = 0;
    int16_t update = 0;
    int16_t freshen = 0;
    std::string rootDirectory;
};

// Builds or updates an archive; raises ComponentError when the zip engine
// cannot be loaded (instead of returning 0 as if the archive had been
// written). `hook` (may be null) processes the client's window events.
int32_t WinPack(const PackArguments& arguments, const VarnockPromptHook* hook);

// The records as WinUnpack and WinPack fill them (exposed for tests).
DCL MakeOptionRecord(const UnpackArguments& arguments);
USERFUNCTIONS MakeUnzipCallbacks();
UzpVer2 MakeVersionRecord();
ZIPUSERFUNCTIONS MakeZipCallbacks();
ZPOPT MakeZipOptions(const PackArguments& arguments, const std::string& upperRoot);
std::string UpperCase(const std::string& text);

// The callbacks.
int OnUnzipPrint(char* text, uint32_t size);
int OnUnzipReplace(char* filename);
int OnUnzipPassword(char* buffer, int32_t size, const char* prompt, const char* name);
void OnUnzipListEntry(uint64_t ucsize, uint64_t csize, uint32_t cfactor, uint16_t month,
                      uint16_t day, uint16_t year, uint16_t hour, uint16_t minute, char c,
                      const char* filename, const char* method, uint32_t crc, char fCrypt);
int OnUnzipService(const char* name, uint64_t size);
int OnZipPrint(char* text, uint32_t size);
int OnZipPassword(char* buffer, int32_t size, const char* prompt, const char* name);
char* OnZipComment(char* buffer);

// The listing's header line and one entry line (80 columns, no line end).
std::string ListHeaderLine();
std::string ListEntryLine(uint64_t ucsize, uint16_t month, uint16_t day, uint16_t year,
                          uint16_t hour, uint16_t minute, const char* filename);

// Makes `hook` answer the questions of the extractions on this thread while
// the guard lives.
class ActivePromptHook {
public:
    explicit ActivePromptHook(const VarnockPromptHook* hook);
    ~ActivePromptHook();
    ActivePromptHook(const ActivePromptHook&) = delete;
    ActivePromptHook& operator=(const ActivePromptHook&) = delete;

private:
    const VarnockPromptHook* previous_;
};

} // namespace varnock
