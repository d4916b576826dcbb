#pragma once
// What every Varnock object shares: a reference count, the count of live
// objects that DllCanUnloadNow reads, and the error record interface.

#include "ComponentError.h"

#include <varnock/Varnock.h>

#include <atomic>

namespace varnock {

// Live objects and server locks of the library.
std::atomic<long>& LiveObjectCount();

// Reports the calling thread's error record; mixed into each class.
class ErrorRecordReader : public IErrorRecord {
public:
    HRESULT GetNumber(int32_t* number) override;
    HRESULT GetDescription(BSTR* description) override;
    HRESULT GetSource(BSTR* source) override;
};

// A boolean property is stored as 1 or 0 and reads back true exactly when
// it holds 1.
HRESULT GetBoolProperty(int16_t stored, VARIANT_BOOL* value);
HRESULT PutBoolProperty(int16_t& stored, VARIANT_BOOL value);

#define VARNOCK_BOOL_PROPERTY(Name)                                                                \
    HRESULT get_##Name(VARIANT_BOOL* value) override { return GetBoolProperty(m_##Name, value); }          \
    HRESULT put_##Name(VARIANT_BOOL value) override { return PutBoolProperty(m_##Name, value); }

// A string property: the stored text, a new BSTR for the caller.
#define VARNOCK_STRING_PROPERTY(Name)                                                              \
    HRESULT get_##Name(BSTR* value) override                                                       \
    {                                                                                              \
        ClearErrorRecord();                                                                        \
        return ReturnString(m_##Name, value);                                                      \
    }                                                                                              \
    HRESULT put_##Name(BSTR value) override                                                        \
    {                                                                                              \
        ClearErrorRecord();                                                                        \
        m_##Name = BstrView(value);                                                                \
        return S_OK;                                                                               \
    }

// QueryInterface of a Varnock class: its own interface `Main` (also answered
// for IUnknown), the error record and the prompt host.
template <class Main, class Object>
HRESULT QueryObjectInterface(Object* self, REFIID riid, const IID& mainIid, void** object)
{
    if (!object)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == mainIid)
        *object = static_cast<Main*>(self);
    else if (riid == IID_IErrorRecord)
        *object = static_cast<IErrorRecord*>(self);
    else if (riid == IID_IPromptHost)
        *object = static_cast<IPromptHost*>(self);
    else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    self->AddRef();
    return S_OK;
}

// The reference count of a Varnock object of class `Derived`; the object
// deletes itself when the last reference goes.
template <class Derived>
class RefCounted {
protected:
    RefCounted() { ++LiveObjectCount(); }
    ~RefCounted() { --LiveObjectCount(); }
    ULONG addRef() { return ++refs_; }
    ULONG release()
    {
        ULONG left = --refs_;
        if (left == 0)
            delete static_cast<Derived*>(this);
        return left;
    }

private:
    std::atomic<ULONG> refs_{1};
};

} // namespace varnock
