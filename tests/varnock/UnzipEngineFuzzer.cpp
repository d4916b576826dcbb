// Feeds arbitrary bytes to the unzip engine as an archive: listed, tested
// and extracted into a scratch folder. Nothing may crash, and nothing may
// land outside the folder.

#include "unzip/Extraction.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <cerrno>
#include <csignal>

#include <unistd.h>

namespace {

int Print(char*, uint32_t) { return 0; }
int Password(char* buffer, int32_t size, const char*, const char*)
{
    if (size < 5)
        return 1;
    std::snprintf(buffer, static_cast<size_t>(size), "pass");
    return 0;
}
int Replace(char*) { return IDM_REPLACE_YES; }
void Message(uint64_t, uint64_t, uint32_t, uint16_t, uint16_t, uint16_t, uint16_t, uint16_t, char,
             const char*, const char*, uint32_t, char)
{
}
int Service(const char*, uint64_t) { return 0; }

// A scratch folder per process: "fuzz-unzip-engine-PID" in the temporary
// folder. libFuzzer may end without running exit handlers, so the folders
// of processes that are gone are removed at start.
const std::filesystem::path& Scratch()
{
    static const std::filesystem::path dir = [] {
        namespace fs = std::filesystem;
        const std::string prefix = "fuzz-unzip-engine-";
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(fs::temp_directory_path(), ec)) {
            std::string name = entry.path().filename().string();
            if (name.rfind(prefix, 0) != 0)
                continue;
            pid_t pid = static_cast<pid_t>(std::atol(name.c_str() + prefix.size()));
            if (pid > 0 && kill(pid, 0) != 0 && errno == ESRCH)
                fs::remove_all(entry.path(), ec);
        }
        fs::path made = fs::temp_directory_path() / (prefix + std::to_string(getpid()));
        fs::create_directories(made, ec);
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(Scratch(), ignored);
        });
        return made;
    }();
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::filesystem::path archive = Scratch() / "input.zip";
    const std::filesystem::path out = Scratch() / "out";
    if (FILE* f = std::fopen(archive.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    std::string zipName = archive.string(), dir = out.string();
    USERFUNCTIONS functions{Print, nullptr, Replace, Password, Message, Service, 0, 0, 0, 0, 0};
    for (int mode = 0; mode < 3; ++mode) {
        DCL options{};
        options.fQuiet = 0;
        options.nvflag = mode == 0;
        options.ntflag = mode == 1;
        options.ndflag = 1;
        options.noflag = 1;
        options.naflag = size % 2;
        options.C_flag = 1;
        options.lpszZipFN = zipName.c_str();
        options.lpszExtractDir = dir.c_str();
        char* none[UZ_NAME_SLOTS] = {};
        varnock::engine::Extraction extraction(0, none, 0, none, options, &functions);
        extraction.run();
    }
    std::error_code ec;
    std::filesystem::remove_all(out, ec);
    std::filesystem::remove(archive, ec);
    return 0;
}
