#pragma once
// Varnock, the archive component library: the one header a client program
// needs. A client loads libvarnock.so at run time (dlopen), looks up
// DllGetClassObject and creates the classes UnzipFiles and ZipFiles by their
// class identifiers. Objects are COM-style interfaces: reference counted,
// every method returns a status code, and a failed call leaves an error
// record (number, description, source) that the caller reads through
// IErrorRecord, which every Varnock object answers to.
//
// Strings cross the boundary as BSTR: UTF-8 text with a 32-bit length in
// front and a zero byte behind, allocated with SysAllocString*. A null BSTR
// is the empty string. The caller owns what it passes and frees what it gets
// back with SysFreeString; both sides allocate with the C library's malloc.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace varnock {

using HRESULT = int32_t;
using ULONG = uint32_t;
using VARIANT_BOOL = int16_t;
inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111);

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

// Error numbers. The component's own errors lie above the base for
// component errors; the others are the run-time error numbers the
// component raises (an error record's number is one of these).
inline constexpr int32_t vbObjectError = static_cast<int32_t>(0x80040000);
inline constexpr int32_t VARNOCK_E_ALREADY_IN_LIST = vbObjectError + 2001; // 0x800407D1
inline constexpr int32_t VARNOCK_E_NOT_IN_LIST = vbObjectError + 2002;     // 0x800407D2
inline constexpr int32_t VARNOCK_ERR_OUT_OF_MEMORY = 7;
inline constexpr int32_t VARNOCK_ERR_OVERFLOW = 6;
inline constexpr int32_t VARNOCK_ERR_SUBSCRIPT = 9;             // subscript out of range
inline constexpr int32_t VARNOCK_ERR_FILE_NOT_FOUND = 53;       // an engine library is missing
inline constexpr int32_t VARNOCK_ERR_ENTRY_POINT = 453;         // an engine library lacks a function
inline constexpr int32_t VARNOCK_ERR_INVALID_CALL = 5;          // invalid procedure call or argument

// The status code a method returns when it fails with error number `n`:
// a number that is already a status code stays as it is, the small
// run-time numbers are placed in the facility of the control.
constexpr HRESULT HresultFromErrorNumber(int32_t n)
{
    return n < 0 ? n : static_cast<HRESULT>(0x800A0000u | (static_cast<uint32_t>(n) & 0xFFFFu));
}

// ---- Strings -----------------------------------------------------------

using BSTR = char*;

inline BSTR SysAllocStringLen(const char* text, uint32_t length)
{
    auto* block = static_cast<char*>(std::malloc(sizeof(uint32_t) + size_t(length) + 1));
    if (!block)
        return nullptr;
    std::memcpy(block, &length, sizeof length);
    BSTR s = block + sizeof(uint32_t);
    if (text && length)
        std::memcpy(s, text, length);
    s[length] = '\0';
    return s;
}
inline BSTR SysAllocString(const char* text)
{
    return SysAllocStringLen(text, text ? static_cast<uint32_t>(std::strlen(text)) : 0);
}
inline BSTR SysAllocString(std::string_view text)
{
    return SysAllocStringLen(text.data(), static_cast<uint32_t>(text.size()));
}
inline uint32_t SysStringLen(const char* s)
{
    uint32_t length = 0;
    if (s)
        std::memcpy(&length, s - sizeof(uint32_t), sizeof length);
    return length;
}
inline void SysFreeString(BSTR s)
{
    if (s)
        std::free(s - sizeof(uint32_t));
}
inline std::string_view BstrView(const char* s) { return {s ? s : "", SysStringLen(s)}; }

// ---- Variants (only what AddFile and RemoveFile give back) -------------

using VARTYPE = uint16_t;
inline constexpr VARTYPE VT_EMPTY = 0;
struct VARIANT {
    VARTYPE vt = VT_EMPTY;
    uint16_t wReserved1 = 0, wReserved2 = 0, wReserved3 = 0;
    union {
        int64_t llVal;
        int32_t lVal;
        double dblVal;
        BSTR bstrVal;
        void* byref;
    };
    VARIANT() : llVal(0) {}
};

// ---- Identifiers --------------------------------------------------------

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const GUID&;
using REFCLSID = const GUID&;

constexpr bool operator==(const GUID& a, const GUID& b)
{
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3)
        return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i])
            return false;
    return true;
}

inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// The type library of Varnock, its two classes and their interfaces.
inline constexpr GUID LIBID_Varnock = {
    0x51ce20e7, 0x8e3d, 0x42e7, {0x91, 0xb7, 0xc5, 0x97, 0xea, 0x62, 0x3d, 0xa0}};
inline constexpr CLSID CLSID_UnzipFiles = {
    0x6e325e53, 0xc318, 0x44df, {0x87, 0xb5, 0xfd, 0x30, 0x37, 0x26, 0x40, 0x98}};
inline constexpr IID IID__UnzipFiles = {
    0x1475ee78, 0x7f4f, 0x4491, {0x90, 0xf2, 0x60, 0x28, 0xc6, 0x83, 0x94, 0xdb}};
inline constexpr CLSID CLSID_ZipFiles = {
    0x521e903e, 0x83f9, 0x487e, {0x97, 0xb3, 0x74, 0xe1, 0x03, 0xfe, 0x08, 0xc9}};
inline constexpr IID IID__ZipFiles = {
    0x4e6e66c7, 0x4409, 0x4327, {0xbe, 0xfb, 0x9d, 0xb1, 0x9a, 0x78, 0x5a, 0xf9}};
inline constexpr IID IID_IErrorRecord = {
    0xc642e0b4, 0xa407, 0x419b, {0x98, 0x87, 0xa5, 0x12, 0xe4, 0x62, 0x56, 0x7b}};
inline constexpr IID IID_IPromptHost = {
    0x968b8df0, 0x8721, 0x4a9e, {0x8d, 0x1c, 0x15, 0x34, 0x2f, 0xdc, 0x6a, 0x22}};

// ---- Enumerations (32-bit values) ---------------------------------------

enum ZMessageLevel : int32_t { All = 0, Less = 1, NoMessages = 2 };
enum ZExtractType : int32_t { Extract = 0, ListContents = 1 };
enum ZPrivilege : int32_t { Ignore = 0, ACL = 1, Privileges = 2 };
enum ZTranslate : int32_t { CRLFtoLF = 1, LFtoCRLF = 2 };

// ---- Interfaces ---------------------------------------------------------

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
};

struct IClassFactory : IUnknown {
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) = 0;
    virtual HRESULT LockServer(int32_t lock) = 0;
};

// The calling thread's record of the last failed call of a Varnock object.
// Every method clears it on entry and fills it when it fails.
struct IErrorRecord : IUnknown {
    virtual HRESULT GetNumber(int32_t* number) = 0;
    virtual HRESULT GetDescription(BSTR* description) = 0;
    virtual HRESULT GetSource(BSTR* source) = 0;
};

// Answers of the prompt hook.
inline constexpr int32_t vbOK = 1;
inline constexpr int32_t vbCancel = 2;
inline constexpr int32_t vbYes = 6;
inline constexpr int32_t vbNo = 7;

// The two questions of an extraction (password, overwrite), the pump that
// lets a client's windows stay live while an archive is written, and the
// progress of an extraction, which the client may stop. A client or a test
// sets them per object through IPromptHost. Without a hook Varnock shows no
// windows: the password question is declined (no password) and the
// overwrite question answered No; tavrin installs a hook over its own Qt
// dialogs.
struct VarnockPromptHook {
    void* context;
    // An input box: writes the answer (UTF-8, at most answerSize - 1 bytes,
    // zero-terminated) and returns its length; an empty answer or a cancelled
    // box returns 0.
    int32_t (*inputBox)(void* context, const char* prompt, const char* caption, char* answer,
                        int32_t answerSize);
    // A Yes/No/Cancel message box with an exclamation icon: returns vbYes,
    // vbNo or vbCancel.
    int32_t (*askYesNoCancel)(void* context, const char* text, const char* caption);
    // Processes the client's pending window events (may be null).
    void (*processEvents)(void* context);
    // Follows an extraction (may be null): `name` is the entry being written
    // (empty before the first), `done` the bytes written of all entries and
    // `total` the size their headers declare, which the first call gives
    // before anything is written. An answer other than 0 stops the
    // extraction; the file being written is removed.
    int32_t (*unzipProgress)(void* context, const char* name, uint64_t done, uint64_t total);
};

// Answered by UnzipFiles and ZipFiles objects. The hook is copied; a null
// pointer restores the defaults.
struct IPromptHost : IUnknown {
    virtual HRESULT SetPromptHook(const VarnockPromptHook* hook) = 0;
};

// The default interface of UnzipFiles, members in interface order. A
// boolean property is stored as 1 or 0 and reads back VARIANT_TRUE exactly
// when it holds 1.
struct _UnzipFiles : IUnknown {
    virtual HRESULT get_ExtractNewer(VARIANT_BOOL* value) = 0;
    virtual HRESULT put_ExtractNewer(VARIANT_BOOL value) = 0;
    virtual HRESULT get_SpaceToUnderScore(VARIANT_BOOL* value) = 0;
    virtual HRESULT put_SpaceToUnderScore(VARIANT_BOOL value) = 0;
    virtual HRESULT get_PromptOverwrite(VARIANT_BOOL* value) = 0;
    virtual HRESULT put_PromptOverwrite(VARIANT_BOOL value) = 0;
    virtual HRESULT get_MessageLevel(ZMessageLevel* value) = 0;
    virtual HRESULT put_MessageLevel(ZMessageLevel value) = 0;
    virtual HRESULT get_WriteToStdOut(VARIANT_BOOL* value) = 0;
    virtual HRESULT put_WriteToStdOut(VARIANT_BOOL value) = 0;
    virtual HRESULT get_TestZip(VARIANT_BOOL* value) = 0;
    virtual HRESULT put_TestZip(VARIANT_BOOL value) = 0;
    virtual HRESULT get_ExtractList(ZExtractType* value) = 0;
    virtual HRESULT put_ExtractList(ZExtractType value) = 0;
    virtual HRESULT get_ExtractOnlyNewer(VARIANT_BOOL* value) = 0;
    virtual HRESULT put_ExtractOnlyNewer(VARIANT_BOOL value) = 0;
    virtual HRESULT get_DisplayComment(VARIANT_BOOL* value) = 0;
    virtual HRESULT put_DisplayComment(VARIANT_BOOL value) = 0;
    virtual HRESULT get_HonorDirectories(VARIANT_BOOL* value) = 0;
    virtual HRESULT put_HonorDirectories(VARIANT_BOOL value) = 0;
    virtual HRESULT get_OverWriteFiles(VARIANT_BOOL* value) = 0;
    virtual HRESULT put_OverWriteFiles(VARIANT_BOOL value) = 0;
    virtual HRESULT get_ConvertCRtoCRLF(VARIANT_BOOL* value) = 0;
    virtual HRESULT put_ConvertCRtoCRLF(VARIANT_BOOL value) = 0;
    virtual HRESULT get_Verbose(VARIANT_BOOL* value) = 0;
    virtual HRESULT put_Verbose(VARIANT_BOOL value) = 0;
    virtual HRESULT get_CaseSensitive(VARIANT_BOOL* value) = 0;
    virtual HRESULT put_CaseSensitive(VARIANT_BOOL value) = 0;
    virtual HRESULT get_Privilege(ZPrivilege* value) = 0;
    virtual HRESULT put_Privilege(ZPrivilege value) = 0;
    virtual HRESULT get_ZipFileName(BSTR* value) = 0;
    virtual HRESULT put_ZipFileName(BSTR value) = 0;
    virtual HRESULT get_ExtractDir(BSTR* value) = 0;
    virtual HRESULT put_ExtractDir(BSTR value) = 0;
    // Both arguments are optional: a null pointer, or a pointer to an empty
    // string, keeps the property as it is. `result` receives the unzip
    // engine's return code (0 = success).
    virtual HRESULT Unzip(BSTR* sZipFileName, BSTR* sExtractDir, int32_t* result) = 0;
    virtual HRESULT GetLastMessage(BSTR* result) = 0;
};

// The default interface of ZipFiles, members in interface order.
struct _ZipFiles : IUnknown {
    virtual HRESULT get_RecurseFolders(VARIANT_BOOL* value) = 0;
    virtual HRESULT put_RecurseFolders(VARIANT_BOOL value) = 0;
    virtual HRESULT get_ZipFileName(BSTR* value) = 0;
    virtual HRESULT put_ZipFileName(BSTR value) = 0;
    virtual HRESULT get_Encrypted(VARIANT_BOOL* value) = 0;
    virtual HRESULT put_Encrypted(VARIANT_BOOL value) = 0;
    virtual HRESULT get_IncludeSystemFiles(VARIANT_BOOL* value) = 0;
    virtual HRESULT put_IncludeSystemFiles(VARIANT_BOOL value) = 0;
    virtual HRESULT get_ZipFileCount(int32_t* value) = 0;
    virtual HRESULT get_RootDirectory(BSTR* value) = 0;
    virtual HRESULT put_RootDirectory(BSTR value) = 0;
    virtual HRESULT get_UpdatingZip(VARIANT_BOOL* value) = 0;
    virtual HRESULT put_UpdatingZip(VARIANT_BOOL value) = 0;
    // `result` (may be null) receives an empty variant.
    virtual HRESULT AddFile(BSTR sFileName, VARIANT* result) = 0;
    virtual HRESULT RemoveFile(BSTR sFileName, VARIANT* result) = 0;
    // `result` receives the zip engine's return code (0 = success).
    virtual HRESULT MakeZipFile(int32_t* result) = 0;
    virtual HRESULT GetLastMessage(BSTR* result) = 0;
};

} // namespace varnock

// ---- The four entry points of libvarnock.so (C linkage) ----------------

extern "C" {
varnock::HRESULT DllGetClassObject(varnock::REFCLSID rclsid, varnock::REFIID riid, void** object);
varnock::HRESULT DllCanUnloadNow();
varnock::HRESULT DllRegisterServer();
varnock::HRESULT DllUnregisterServer();
}

namespace varnock {
using PFN_DllGetClassObject = HRESULT (*)(REFCLSID, REFIID, void**);
using PFN_DllCanUnloadNow = HRESULT (*)();
inline constexpr const char* kLibraryFileName = "libvarnock.so";
} // namespace varnock
