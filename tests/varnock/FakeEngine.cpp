// The recording fake engine: see FakeEngine.h.

#include "FakeEngine.h"

#include <cstring>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
fake::State g_state;
}

FAKE_EXPORT fake::State* FakeEngineState() { return &g_state; }

FAKE_EXPORT unsigned UzpVersion2(UzpVer2* version)
{
    ++g_state.versionCalls;
    std::memcpy(g_state.version.data(), version, sizeof(UzpVer2));
    return 0;
}

FAKE_EXPORT int Wiz_SingleEntryUnzip(int32_t ifnc, char** ifnv, int32_t xfnc, char** xfnv, DCL* dcl,
                                     USERFUNCTIONS* functions)
{
    fake::State& s = g_state;
    ++s.unzipCalls;
    s.ifnc = ifnc;
    s.xfnc = xfnc;
    s.ifnvAllNull = s.xfnvAllNull = true;
    for (int i = 0; i < UZ_NAME_SLOTS; ++i) {
        s.ifnvAllNull = s.ifnvAllNull && ifnv && !ifnv[i];
        s.xfnvAllNull = s.xfnvAllNull && xfnv && !xfnv[i];
    }
    s.dcl = *dcl;
    s.zipFNNull = !dcl->lpszZipFN;
    s.extractDirNull = !dcl->lpszExtractDir;
    s.zipFN = dcl->lpszZipFN ? dcl->lpszZipFN : "";
    s.extractDir = dcl->lpszExtractDir ? dcl->lpszExtractDir : "";
    s.dcl.lpszZipFN = s.dcl.lpszExtractDir = nullptr;
    s.functions = *functions;
    s.answers.clear();
    for (const fake::Action& a : s.script) {
        fake::Answer answer;
        switch (a.kind) {
        case fake::Action::Print: {
            std::string buffer = a.bytes;
            answer.result = functions->print(buffer.data(), a.size);
            break;
        }
        case fake::Action::List:
            functions->SendApplicationMessage(a.ucsize, a.ucsize / 2, 50, a.month, a.day, a.year,
                                              a.hour, a.minute, ' ', a.name.c_str(), "Defl:N",
                                              0x12345678u, 0);
            break;
        case fake::Action::Password: {
            std::string buffer(static_cast<size_t>(a.bufferSize), '\x55');
            answer.result = functions->password(buffer.data(), a.bufferSize, "prompt", "entry");
            answer.passwordBuffer = buffer;
            break;
        }
        case fake::Action::Replace: {
            std::string buffer = a.bytes;
            answer.result = functions->replace(buffer.data());
            break;
        }
        case fake::Action::Service:
            answer.result = functions->ServCallBk(a.bytes.c_str(), 10);
            break;
        }
        s.answers.push_back(answer);
    }
    return s.unzipResult;
}

FAKE_EXPORT int ZpInit(ZIPUSERFUNCTIONS* functions)
{
    g_state.zipCalls.push_back("ZpInit");
    g_state.zipFunctions = *functions;
    return 1;
}

FAKE_EXPORT int ZpSetOptions(ZPOPT* options)
{
    g_state.zipCalls.push_back("ZpSetOptions");
    g_state.zpopt = *options;
    g_state.rootDir.reset();
    g_state.date.reset();
    if (options->szRootDir)
        g_state.rootDir = options->szRootDir;
    if (options->Date)
        g_state.date = options->Date;
    g_state.zpopt.szRootDir = g_state.zpopt.Date = nullptr;
    return 1;
}

FAKE_EXPORT int ZpArchive(int32_t argc, const char* zipName, ZIPNAMES* names)
{
    fake::State& s = g_state;
    s.zipCalls.push_back("ZpArchive");
    s.argc = argc;
    s.zipName = zipName ? zipName : "";
    s.names.clear();
    for (int i = 0; i < ZP_NAME_SLOTS; ++i) {
        if (names->s[i])
            s.names.emplace_back(std::string(names->s[i]));
        else
            s.names.emplace_back(std::nullopt);
    }
    for (const std::string& text : s.zipPrints) {
        std::string buffer = text;
        s.zipFunctions.print(buffer.data(), static_cast<uint32_t>(buffer.size()));
    }
    if (s.zipFunctions.comment) {
        char comment[ZP_COMMENT_SIZE] = "as it came";
        s.zipFunctions.comment(comment);
    }
    return s.archiveResult;
}
