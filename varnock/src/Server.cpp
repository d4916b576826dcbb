// The four entry points of the in-process component server.

#include "ComObject.h"
#include "UnzipFiles.h"
#include "ZipFiles.h"

#include <new>

namespace varnock {
namespace {

template <class Class>
class ClassFactory final : public IClassFactory {
public:
    HRESULT QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // The factories are static: counting them would keep the library
    // loaded for nothing.
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }

    HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        auto* instance = new (std::nothrow) Class();
        if (!instance)
            return E_OUTOFMEMORY;
        HRESULT hr = instance->QueryInterface(riid, object);
        instance->Release();
        return hr;
    }

    HRESULT LockServer(int32_t lock) override
    {
        if (lock)
            ++LiveObjectCount();
        else
            --LiveObjectCount();
        return S_OK;
    }
};

} // namespace
} // namespace varnock

using namespace varnock;

#define VARNOCK_EXPORT extern "C" __attribute__((visibility("default")))

VARNOCK_EXPORT HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** object)
{
    static ClassFactory<UnzipFiles> unzipFactory;
    static ClassFactory<ZipFiles> zipFactory;
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (rclsid == CLSID_UnzipFiles)
        return unzipFactory.QueryInterface(riid, object);
    if (rclsid == CLSID_ZipFiles)
        return zipFactory.QueryInterface(riid, object);
    return CLASS_E_CLASSNOTAVAILABLE;
}

VARNOCK_EXPORT HRESULT DllCanUnloadNow() { return LiveObjectCount() == 0 ? S_OK : S_FALSE; }

// The library is found by its place beside the program, not through a
// registry: there is nothing to record or remove.
VARNOCK_EXPORT HRESULT DllRegisterServer() { return S_OK; }

VARNOCK_EXPORT HRESULT DllUnregisterServer() { return S_OK; }
