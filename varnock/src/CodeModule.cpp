#include "CodeModule.h"

#include "EngineLoader.h"
#include "Prompts.h"

#include "common/HostPath.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace varnock {
namespace {

thread_local const VarnockPromptHook* t_activeHook = nullptr;

// How far the thread's current extraction has got, from the service calls.
struct ServiceProgress {
    uint64_t total = 0;
    uint64_t done = 0; // the entries before the current one
    uint64_t entrySize = 0;
    bool inEntry = false;
    std::string entry;
};
thread_local ServiceProgress t_progress;

const VarnockPromptHook& CurrentHook()
{
    return t_activeHook ? *t_activeHook : DefaultPromptHook();
}

// Bytes of `text` from position 0, stopping at the first zero byte and
// never beyond `lastPosition`, nor beyond `count` bytes.
std::string TakeText(const char* text, size_t count, size_t lastPosition)
{
    if (!text)
        return {};
    size_t limit = std::min(count, lastPosition + 1);
    size_t length = 0;
    while (length < limit && text[length] != '\0')
        ++length;
    return std::string(text, length);
}

// UTF-8 text as code points; a byte that starts no valid sequence stands for
// itself (Latin-1), so that nothing is lost from a listed name.
std::u32string DecodeUtf8(const std::string& text)
{
    std::u32string out;
    size_t i = 0;
    while (i < text.size()) {
        auto lead = static_cast<unsigned char>(text[i]);
        int extra = lead >= 0xC2 && lead < 0xE0 ? 1 : lead >= 0xE0 && lead < 0xF0 ? 2
                  : lead >= 0xF0 && lead < 0xF5 ? 3 : 0;
        bool valid = extra > 0 && i + extra < text.size();
        char32_t cp = lead & (0x7F >> (extra + 1));
        for (int k = 1; valid && k <= extra; ++k) {
            auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            cp = (cp << 6) | (next & 0x3F);
        }
        if (valid) {
            out.push_back(cp);
            i += static_cast<size_t>(extra) + 1;
        } else {
            out.push_back(lead);
            ++i;
        }
    }
    return out;
}

std::string EncodeUtf8(const std::u32string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char32_t cp : text)
        engine::AppendUtf8(out, cp);
    return out;
}

// Writes `text` into the 80-column line from 1-based `column`.
void Place(std::u32string& line, size_t column, const std::u32string& text)
{
    for (size_t i = 0; i < text.size() && column - 1 + i < line.size(); ++i)
        line[column - 1 + i] = text[i];
}

std::u32string Ascii(const std::string& text) { return std::u32string(text.begin(), text.end()); }

std::string TwoDigits(unsigned value)
{
    std::string s = std::to_string(value);
    return value < 10 ? "0" + s : s;
}

std::string LastChars(const std::string& text, size_t count)
{
    return text.size() > count ? text.substr(text.size() - count) : text;
}

std::string RightAligned(const std::string& text, size_t width)
{
    std::string last = LastChars(text, width);
    return std::string(width - last.size(), ' ') + last;
}

} // namespace

MessageState& ThreadMessageState()
{
    thread_local MessageState state;
    return state;
}

ActivePromptHook::ActivePromptHook(const VarnockPromptHook* hook) : previous_(t_activeHook)
{
    t_activeHook = hook;
}

ActivePromptHook::~ActivePromptHook() { t_activeHook = previous_; }

// ---- The listing ----------------------------------------------------------

std::string ListHeaderLine()
{
    std::u32string line(80, U' ');
    Place(line, 1, U"Filename:");
    Place(line, 53, U"Size");
    Place(line, 62, U"Date");
    Place(line, 71, U"Time");
    return EncodeUtf8(line);
}

std::string ListEntryLine(uint64_t ucsize, uint16_t month, uint16_t day, uint16_t year,
                          uint16_t hour, uint16_t minute, const char* filename)
{
    std::u32string line(80, U' ');
    std::u32string name = DecodeUtf8(TakeText(filename, kNameBytes, kNameBytes - 1));
    Place(line, 1, name.substr(0, 50));
    Place(line, 51, Ascii(RightAligned(std::to_string(ucsize), 7)));
    Place(line, 60, Ascii(TwoDigits(month) + "/"));
    Place(line, 63, Ascii(TwoDigits(day) + "/"));
    Place(line, 66, Ascii(LastChars(TwoDigits(year), 2)));
    Place(line, 70, Ascii(RightAligned(std::to_string(hour), 2) + ":"));
    Place(line, 73, Ascii(TwoDigits(minute)));
    return EncodeUtf8(line);
}

// ---- Unzip callbacks -----------------------------------------------------------

int OnUnzipPrint(char* text, uint32_t size)
{
    MessageState& state = ThreadMessageState();
    try {
        std::string piece = TakeText(text, size, kUnzipPrintLastPosition);
        if (!piece.empty() && piece.front() == '\n')
            piece = "\r\n";
        state.PrintText += piece;
        state.LastMessage = state.PrintText;
    } catch (...) {
        // Errors inside the callbacks are passed over.
    }
    return 0;
}

void OnUnzipListEntry(uint64_t ucsize, uint64_t, uint32_t, uint16_t month, uint16_t day,
                      uint16_t year, uint16_t hour, uint16_t minute, char, const char* filename,
                      const char*, uint32_t, char)
{
    MessageState& state = ThreadMessageState();
    try {
        if (state.ListCount == 0)
            state.ListText = ListHeaderLine() + "\r\n";
        state.ListText += ListEntryLine(ucsize, month, day, year, hour, minute, filename) + "\r\n";
    } catch (...) {
    }
    // A 16-bit counter: at its top the increment fails and is passed over.
    if (state.ListCount < INT16_MAX)
        ++state.ListCount;
}

// Before each entry: its name and declared size. With no name: the total
// before the first entry, then the bytes of the current entry written so
// far. The hook hears the entry, the bytes written of all and the total.
int OnUnzipService(const char* name, uint64_t size)
{
    ServiceProgress& p = t_progress;
    try {
        uint64_t written = 0;
        if (name) {
            if (p.inEntry)
                p.done += std::min(p.entrySize, UINT64_MAX - p.done);
            p.entry = TakeText(name, kNameBytes, kNameBytes - 1);
            p.entrySize = size;
            p.inEntry = true;
        } else if (p.inEntry) {
            written = std::min({size, p.entrySize, UINT64_MAX - p.done});
        } else {
            p.total = size;
        }
        const VarnockPromptHook& hook = CurrentHook();
        if (hook.unzipProgress &&
            hook.unzipProgress(hook.context, p.entry.c_str(), p.done + written, p.total) != 0)
            return 1;
    } catch (...) {
    }
    return 0;
}

int OnUnzipPassword(char* buffer, int32_t size, const char*, const char*)
{
    MessageState& state = ThreadMessageState();
    if (state.SkipPassword == 1)
        return 1;
    std::string answer;
    try {
        const VarnockPromptHook& hook = CurrentHook();
        std::string typed(1024, '\0');
        int32_t length = hook.inputBox ? hook.inputBox(hook.context, kPasswordPrompt, kComponentName,
                                                       typed.data(), static_cast<int32_t>(typed.size()))
                                       : 0;
        answer = typed.substr(0, static_cast<size_t>(std::clamp<int32_t>(length, 0, 1023)));
    } catch (...) {
    }
    if (answer.empty()) {
        state.SkipPassword = 1;
        return 1;
    }
    if (buffer && size > 0) {
        std::memset(buffer, 0, static_cast<size_t>(size));
        size_t count = std::min(answer.size(), static_cast<size_t>(size - 1));
        std::memcpy(buffer, answer.data(), count);
        buffer[count] = '\0';
    }
    return 0;
}

int OnUnzipReplace(char* filename)
{
    int32_t answer = vbNo;
    try {
        std::string name = TakeText(filename, kNameBytes, kNameBytes - 1);
        std::string text = "Overwrite " + name + "?";
        const VarnockPromptHook& hook = CurrentHook();
        answer = hook.askYesNoCancel ? hook.askYesNoCancel(hook.context, text.c_str(), kReplaceCaption)
                                     : vbNo;
    } catch (...) {
    }
    switch (answer) {
    case vbYes:
        return IDM_REPLACE_YES;
    case vbCancel:
        return IDM_REPLACE_NONE;
    default:
        return IDM_REPLACE_NO;
    }
}

// ---- Zip callbacks --------------------------------------------------------------

int OnZipPrint(char* text, uint32_t size)
{
    try {
        // Up to and including position `size`: the engine's text is
        // zero-terminated there.
        ThreadMessageState().LastMessage += TakeText(text, size_t(size) + 1, kZipPrintLastPosition);
        ProcessPendingEvents(t_activeHook);
    } catch (...) {
    }
    return 0;
}

int OnZipPassword(char*, int32_t, const char*, const char*) { return 1; }

char* OnZipComment(char* buffer) { return buffer; }

// ---- Records ---------------------------------------------------------------------

DCL MakeOptionRecord(const UnpackArguments& a)
{
    DCL dcl{};
    dcl.ExtractOnlyNewer = a.extractOnlyNewer;
    dcl.SpaceToUnderscore = a.spaceToUnderscore;
    dcl.PromptToOverwrite = a.promptToOverwrite;
    dcl.fQuiet = a.messageLevel;
    dcl.ncflag = a.writeToStdOut;
    dcl.ntflag = a.testZip;
    dcl.nvflag = a.extractList;
    dcl.nfflag = a.extractNewer;
    dcl.nzflag = a.displayComment;
    dcl.ndflag = a.honorDirectories;
    dcl.noflag = a.overwriteFiles;
    dcl.naflag = a.convertCRtoCRLF;
    dcl.nZIflag = a.verbose;
    dcl.C_flag = a.caseSensitive;
    dcl.fPrivilege = a.privilege;
    dcl.lpszZipFN = a.zipFileName.c_str();
    dcl.lpszExtractDir = a.extractDir.c_str();
    return dcl;
}

USERFUNCTIONS MakeUnzipCallbacks()
{
    USERFUNCTIONS functions{};
    functions.print = OnUnzipPrint;
    functions.sound = nullptr;
    functions.replace = OnUnzipReplace;
    functions.password = OnUnzipPassword;
    functions.SendApplicationMessage = OnUnzipListEntry;
    functions.ServCallBk = OnUnzipService;
    return functions;
}

UzpVer2 MakeVersionRecord()
{
    UzpVer2 version{};
    version.structlen = sizeof(UzpVer2);
    std::memset(version.betalevel, ' ', sizeof version.betalevel - 1);
    std::memset(version.date, ' ', sizeof version.date - 1);
    std::memset(version.zlib_version, ' ', sizeof version.zlib_version - 1);
    return version;
}

ZIPUSERFUNCTIONS MakeZipCallbacks() { return {OnZipPrint, OnZipPassword, OnZipComment, nullptr}; }

ZPOPT MakeZipOptions(const PackArguments& a, const std::string& upperRoot)
{
    ZPOPT options{};
    options.fJunkDir = a.junkDirectories ? 1 : 0;
    options.fRecurse = a.recurse ? 1 : 0;
    options.fUpdate = a.update ? 1 : 0;
    options.fFreshen = a.freshen ? 1 : 0;
    options.fLevel = 0;
    options.Date = nullptr;
    options.szRootDir = upperRoot.c_str();
    return options;
}

std::string UpperCase(const std::string& text) { return engine::UpperCase(text); }

// ---- The two routines --------------------------------------------------------------

int32_t WinUnpack(const UnpackArguments& arguments, const VarnockPromptHook* hook)
{
    try {
        ThreadMessageState() = MessageState{};
        t_progress = ServiceProgress{};
        DCL options = MakeOptionRecord(arguments);
        USERFUNCTIONS functions = MakeUnzipCallbacks();
        UzpVer2 version = MakeVersionRecord();
        char* include[UZ_NAME_SLOTS] = {};
        char* exclude[UZ_NAME_SLOTS] = {};
        UnzipEngine engine = LoadUnzipEngine();
        engine.UzpVersion2(&version);
        ActivePromptHook active(hook);
        return engine.Wiz_SingleEntryUnzip(0, include, 0, exclude, &options, &functions);
    } catch (const ComponentError& error) {
        throw ComponentError{error.number, error.description, "CodeModule::WinUnpack"};
    } catch (const std::bad_alloc&) {
        throw ComponentError{VARNOCK_ERR_OUT_OF_MEMORY, "Out of memory", "CodeModule::WinUnpack"};
    }
}

int32_t WinPack(const PackArguments& arguments, const VarnockPromptHook* hook)
{
    ThreadMessageState().LastMessage.clear();
    ZIPUSERFUNCTIONS functions = MakeZipCallbacks();
    std::string upperRoot = UpperCase(arguments.rootDirectory);
    ZPOPT options = MakeZipOptions(arguments, upperRoot);
    // Without its engine no archive can be written: that is an error, not
    // a result of 0 as if the archive had been made.
    ZipEngine engine = LoadZipEngine();
    ActivePromptHook active(hook);
    int32_t code = 0;
    code = engine.ZpInit(&functions);
    code = engine.ZpSetOptions(&options);
    code = engine.ZpArchive(arguments.count, arguments.zipFileName.c_str(), arguments.names);
    return code;
}

} // namespace varnock
