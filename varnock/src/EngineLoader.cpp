#include "EngineLoader.h"

#include "ComponentError.h"

#include <dlfcn.h>

#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace varnock {
namespace {

// The engines stay loaded for the life of the process (their per-thread
// state may outlive any one call); the map only ever gains entries, under
// the mutex.
std::mutex& LoaderMutex()
{
    static std::mutex mutex;
    return mutex;
}

const char* EngineRole(const char* fileName)
{
    return std::string_view(fileName) == VARNOCK_ZIP_LIBRARY ? "zip engine" : "unzip engine";
}

void* OpenEngine(const char* fileName)
{
    static std::map<std::string, void*> loaded;
    std::lock_guard<std::mutex> lock(LoaderMutex());
    auto found = loaded.find(fileName);
    if (found != loaded.end())
        return found->second;
    std::filesystem::path path = ComponentFolder() / fileName;
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        throw ComponentError{VARNOCK_ERR_FILE_NOT_FOUND,
                             std::string("File not found: the ") + EngineRole(fileName) +
                                 " " + path.string() + " cannot be loaded (" +
                                 (reason ? reason : "unknown reason") + ")",
                             ""};
    }
    loaded.emplace(fileName, handle);
    return handle;
}

template <class Function>
Function Resolve(void* handle, const char* fileName, const char* name)
{
    void* symbol = dlsym(handle, name);
    if (!symbol)
        throw ComponentError{VARNOCK_ERR_ENTRY_POINT,
                             std::string("Can't find DLL entry point ") + name + " in the " +
                                 EngineRole(fileName) + " " + (ComponentFolder() / fileName).string(),
                             ""};
    return reinterpret_cast<Function>(symbol);
}

} // namespace

std::filesystem::path ComponentFolder()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ComponentFolder), &info) && info.dli_fname) {
        std::filesystem::path self(info.dli_fname);
        if (self.has_parent_path())
            return self.parent_path();
    }
    return std::filesystem::current_path();
}

UnzipEngine LoadUnzipEngine()
{
    void* handle = OpenEngine(VARNOCK_UNZIP_LIBRARY);
    return {Resolve<PFN_UzpVersion2>(handle, VARNOCK_UNZIP_LIBRARY, "UzpVersion2"),
            Resolve<PFN_Wiz_SingleEntryUnzip>(handle, VARNOCK_UNZIP_LIBRARY,
                                              "Wiz_SingleEntryUnzip")};
}

ZipEngine LoadZipEngine()
{
    void* handle = OpenEngine(VARNOCK_ZIP_LIBRARY);
    return {Resolve<PFN_ZpInit>(handle, VARNOCK_ZIP_LIBRARY, "ZpInit"),
            Resolve<PFN_ZpSetOptions>(handle, VARNOCK_ZIP_LIBRARY, "ZpSetOptions"),
            Resolve<PFN_ZpArchive>(handle, VARNOCK_ZIP_LIBRARY, "ZpArchive")};
}

} // namespace varnock
