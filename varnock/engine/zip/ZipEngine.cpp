// The zip engine's three entry points (libvarnockzip.so). The callbacks of
// ZpInit and the options of ZpSetOptions are kept per calling thread until
// the next call replaces them.

#include "Archiver.h"

#include <new>
#include <string>

#define VARNOCK_ENGINE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct ThreadSettings {
    ZIPUSERFUNCTIONS functions{};
    ZPOPT options{};
    std::string date;
    std::string root;
};

ThreadSettings& Settings()
{
    thread_local ThreadSettings settings;
    return settings;
}

} // namespace

VARNOCK_ENGINE_EXPORT int ZpInit(ZIPUSERFUNCTIONS* functions)
{
    if (!functions)
        return 0;
    Settings().functions = *functions;
    return 1;
}

VARNOCK_ENGINE_EXPORT int ZpSetOptions(ZPOPT* options)
{
    if (!options)
        return 0;
    try {
        ThreadSettings& settings = Settings();
        settings.options = *options;
        settings.date = options->Date ? options->Date : "";
        settings.root = options->szRootDir ? options->szRootDir : "";
        settings.options.Date = nullptr;
        settings.options.szRootDir = nullptr;
        return 1;
    } catch (...) {
        return 0;
    }
}

VARNOCK_ENGINE_EXPORT int ZpArchive(int32_t argc, const char* zipName, ZIPNAMES* names)
{
    try {
        ThreadSettings& settings = Settings();
        varnock::engine::Archiver archiver(settings.functions, settings.options, settings.root);
        return archiver.run(argc, zipName, names);
    } catch (const std::bad_alloc&) {
        return ZE_MEM;
    } catch (...) {
        return ZE_LOGIC;
    }
}
