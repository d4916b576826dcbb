#pragma once
// Loads libvarnock.so from the application folder and creates its objects
// (what tavrin's binding does, without tavrin).

#include <varnock/Varnock.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace bench {

inline varnock::PFN_DllGetClassObject LoadVarnock()
{
    static varnock::PFN_DllGetClassObject get = [] {
        std::string file = std::string(TAVRIN_APP_DIR) + "/" + varnock::kLibraryFileName;
        void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            std::fprintf(stderr, "%s\n", dlerror());
            std::exit(2);
        }
        return reinterpret_cast<varnock::PFN_DllGetClassObject>(dlsym(handle, "DllGetClassObject"));
    }();
    return get;
}

template <class Interface>
Interface* Create(const varnock::CLSID& clsid, const varnock::IID& iid)
{
    void* p = nullptr;
    LoadVarnock()(clsid, varnock::IID_IClassFactory, &p);
    auto* factory = static_cast<varnock::IClassFactory*>(p);
    void* object = nullptr;
    factory->CreateInstance(nullptr, iid, &object);
    factory->Release();
    return static_cast<Interface*>(object);
}

// UnzipFiles.Unzip with the defaults and HonorDirectories false.
inline int32_t VarnockUnzip(const std::string& zip, const std::string& dir)
{
    using namespace varnock;
    auto* u = Create<_UnzipFiles>(CLSID_UnzipFiles, IID__UnzipFiles);
    u->put_HonorDirectories(VARIANT_FALSE);
    BSTR z = SysAllocString(zip.c_str()), d = SysAllocString(dir.c_str());
    int32_t result = -1;
    if (FAILED(u->Unzip(&z, &d, &result)))
        result = -1;
    SysFreeString(z);
    SysFreeString(d);
    u->Release();
    return result;
}

// ZipFiles.MakeZipFile of the names (relative to root).
template <class Names>
int32_t VarnockZip(const std::string& root, const Names& names, const std::string& zip)
{
    using namespace varnock;
    auto* z = Create<_ZipFiles>(CLSID_ZipFiles, IID__ZipFiles);
    for (const std::string& name : names) {
        BSTR n = SysAllocString(name.c_str());
        z->AddFile(n, nullptr);
        SysFreeString(n);
    }
    BSTR r = SysAllocString(root.c_str()), f = SysAllocString(zip.c_str());
    z->put_RootDirectory(r);
    z->put_ZipFileName(f);
    SysFreeString(r);
    SysFreeString(f);
    int32_t result = -1;
    if (FAILED(z->MakeZipFile(&result)))
        result = -1;
    z->Release();
    return result;
}

} // namespace bench
