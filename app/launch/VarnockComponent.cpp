#include "VarnockComponent.h"

#include "core/ProgramFolders.h"

#include <QCoreApplication>

#include <dlfcn.h>

#include <cstdio>
#include <cstring>

namespace tavrin {
namespace {

using namespace varnock;

// Owns a BSTR handed to or received from the component.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::string& text) : s_(SysAllocString(std::string_view(text)))
    {
        if (!s_)
            throw std::bad_alloc();
    }
    ~Bstr() { SysFreeString(s_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR get() const { return s_; }
    BSTR* out()
    {
        SysFreeString(s_);
        s_ = nullptr;
        return &s_;
    }
    std::string text() const { return std::string(BstrView(s_)); }

private:
    BSTR s_ = nullptr;
};

std::string HexStatus(HRESULT hr)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

// Turns a failed call into a VarnockError carrying the error record that
// the failing call left on this thread.
[[noreturn]] void ThrowFailure(IUnknown* object, HRESULT hr, const char* member)
{
    int32_t number = 0;
    std::string description, source;
    void* p = nullptr;
    if (object && object->QueryInterface(IID_IErrorRecord, &p) == S_OK && p) {
        ComPtr<IErrorRecord> record(static_cast<IErrorRecord*>(p));
        Bstr text, from;
        if (record->GetNumber(&number) != S_OK)
            number = 0;
        if (record->GetDescription(text.out()) == S_OK)
            description = text.text();
        if (record->GetSource(from.out()) == S_OK)
            source = from.text();
    }
    if (number == 0) {
        number = hr;
        description = std::string("The call ") + member + " of the component failed with status " +
                      HexStatus(hr);
        source = kRegistrySource;
    }
    throw VarnockError(number, description, source);
}

template <class Interface>
void Check(Interface* object, HRESULT hr, const char* member)
{
    if (FAILED(hr))
        ThrowFailure(object, hr, member);
}

template <class Interface, class Getter>
bool GetBool(Interface* object, Getter getter, const char* member)
{
    VARIANT_BOOL value = VARIANT_FALSE;
    Check(object, (object->*getter)(&value), member);
    return value != VARIANT_FALSE;
}

template <class Interface, class Getter>
std::string GetString(Interface* object, Getter getter, const char* member)
{
    Bstr value;
    Check(object, (object->*getter)(value.out()), member);
    return value.text();
}

template <class Interface, class Putter>
void PutString(Interface* object, Putter putter, const std::string& text, const char* member)
{
    Bstr value(text);
    Check(object, (object->*putter)(value.get()), member);
}

VARIANT_BOOL ToVariantBool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

} // namespace

struct PromptHookContext {
    Prompt* prompt = nullptr;
    UnzipProgress progress;
};

namespace {

// The prompt hook over tavrin's own Prompt; without one the questions are
// declined.
int32_t PromptInputBox(void* context, const char* text, const char* caption, char* answer,
                       int32_t answerSize)
{
    if (!answer || answerSize <= 0)
        return 0;
    answer[0] = '\0';
    Prompt* prompt = static_cast<PromptHookContext*>(context)->prompt;
    if (!prompt)
        return 0;
    std::optional<std::string> typed = prompt->inputBox(text ? text : "", caption ? caption : "", {});
    if (!typed || typed->empty())
        return 0;
    size_t length = std::min(typed->size(), static_cast<size_t>(answerSize - 1));
    std::memcpy(answer, typed->data(), length);
    answer[length] = '\0';
    return static_cast<int32_t>(length);
}

int32_t PromptYesNoCancel(void* context, const char* text, const char* caption)
{
    Prompt* prompt = static_cast<PromptHookContext*>(context)->prompt;
    if (!prompt)
        return vbNo;
    switch (prompt->messageBox(text ? text : "", PromptButtons::YesNoCancel, PromptIcon::Exclamation,
                               caption ? caption : "")) {
    case PromptAnswer::Yes:
        return vbYes;
    case PromptAnswer::Cancel:
        return vbCancel;
    default:
        return vbNo;
    }
}

void PromptProcessEvents(void*)
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

// Anything thrown by the one who follows stops the extraction.
int32_t ReportProgress(void* context, const char* name, uint64_t done, uint64_t total)
{
    try {
        const UnzipProgress& progress = static_cast<PromptHookContext*>(context)->progress;
        return !progress || progress(name ? name : "", done, total) ? 0 : 1;
    } catch (...) {
        return 1;
    }
}

// Installs the hook over `context` on the object, or Varnock's defaults when
// it holds nothing.
void InstallHook(IUnknown* object, const std::shared_ptr<PromptHookContext>& context)
{
    void* p = nullptr;
    Check(object, object->QueryInterface(IID_IPromptHost, &p), "SetPromptHook");
    ComPtr<IPromptHost> host(static_cast<IPromptHost*>(p));
    if (!context->prompt && !context->progress) {
        Check(host.get(), host->SetPromptHook(nullptr), "SetPromptHook");
        return;
    }
    VarnockPromptHook hook{context.get(), PromptInputBox, PromptYesNoCancel, PromptProcessEvents,
                           ReportProgress};
    Check(host.get(), host->SetPromptHook(&hook), "SetPromptHook");
}

PromptHookContext& HookOf(std::shared_ptr<PromptHookContext>& hook)
{
    if (!hook)
        hook = std::make_shared<PromptHookContext>();
    return *hook;
}

} // namespace

std::filesystem::path ApplicationFolder()
{
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec && self.has_parent_path())
        return self.parent_path();
    return std::filesystem::current_path();
}

// ---- UnzipFiles ----------------------------------------------------------

#define TAVRIN_UNZIP_BOOL(Name)                                                                    \
    bool UnzipFilesObject::Name() const                                                            \
    {                                                                                              \
        return GetBool(object_.get(), &_UnzipFiles::get_##Name, #Name);                            \
    }                                                                                              \
    void UnzipFilesObject::set##Name(bool value)                                                   \
    {                                                                                              \
        Check(object_.get(), object_->put_##Name(ToVariantBool(value)), #Name);                    \
    }
#define TAVRIN_UNZIP_ENUM(Name, Type)                                                              \
    Type UnzipFilesObject::Name() const                                                            \
    {                                                                                              \
        Type value{};                                                                              \
        Check(object_.get(), object_->get_##Name(&value), #Name);                                  \
        return value;                                                                              \
    }                                                                                              \
    void UnzipFilesObject::set##Name(Type value)                                                   \
    {                                                                                              \
        Check(object_.get(), object_->put_##Name(value), #Name);                                   \
    }
#define TAVRIN_UNZIP_STRING(Name)                                                                  \
    std::string UnzipFilesObject::Name() const                                                     \
    {                                                                                              \
        return GetString(object_.get(), &_UnzipFiles::get_##Name, #Name);                          \
    }                                                                                              \
    void UnzipFilesObject::set##Name(const std::string& value)                                     \
    {                                                                                              \
        PutString(object_.get(), &_UnzipFiles::put_##Name, value, #Name);                          \
    }

TAVRIN_UNZIP_BOOL(ExtractNewer)
TAVRIN_UNZIP_BOOL(SpaceToUnderScore)
TAVRIN_UNZIP_BOOL(PromptOverwrite)
TAVRIN_UNZIP_ENUM(MessageLevel, ZMessageLevel)
TAVRIN_UNZIP_BOOL(WriteToStdOut)
TAVRIN_UNZIP_BOOL(TestZip)
TAVRIN_UNZIP_ENUM(ExtractList, ZExtractType)
TAVRIN_UNZIP_BOOL(ExtractOnlyNewer)
TAVRIN_UNZIP_BOOL(DisplayComment)
TAVRIN_UNZIP_BOOL(HonorDirectories)
TAVRIN_UNZIP_BOOL(OverWriteFiles)
TAVRIN_UNZIP_BOOL(ConvertCRtoCRLF)
TAVRIN_UNZIP_BOOL(Verbose)
TAVRIN_UNZIP_BOOL(CaseSensitive)
TAVRIN_UNZIP_ENUM(Privilege, ZPrivilege)
TAVRIN_UNZIP_STRING(ZipFileName)
TAVRIN_UNZIP_STRING(ExtractDir)

int32_t UnzipFilesObject::Unzip(const std::string& sZipFileName, const std::string& sExtractDir)
{
    Bstr zipName(sZipFileName), extractDir(sExtractDir);
    BSTR zipArgument = zipName.get(), dirArgument = extractDir.get();
    int32_t result = 0;
    Check(object_.get(), object_->Unzip(&zipArgument, &dirArgument, &result), "Unzip");
    return result;
}

std::string UnzipFilesObject::GetLastMessage() const
{
    return GetString(object_.get(), &_UnzipFiles::GetLastMessage, "GetLastMessage");
}

void UnzipFilesObject::setPrompt(Prompt* prompt)
{
    HookOf(hook_).prompt = prompt;
    InstallHook(object_.get(), hook_);
}

void UnzipFilesObject::setProgress(UnzipProgress progress)
{
    HookOf(hook_).progress = std::move(progress);
    InstallHook(object_.get(), hook_);
}

// ---- ZipFiles -------------------------------------------------------------

#define TAVRIN_ZIP_BOOL(Name)                                                                      \
    bool ZipFilesObject::Name() const { return GetBool(object_.get(), &_ZipFiles::get_##Name, #Name); } \
    void ZipFilesObject::set##Name(bool value)                                                     \
    {                                                                                              \
        Check(object_.get(), object_->put_##Name(ToVariantBool(value)), #Name);                    \
    }
#define TAVRIN_ZIP_STRING(Name)                                                                    \
    std::string ZipFilesObject::Name() const                                                       \
    {                                                                                              \
        return GetString(object_.get(), &_ZipFiles::get_##Name, #Name);                            \
    }                                                                                              \
    void ZipFilesObject::set##Name(const std::string& value)                                       \
    {                                                                                              \
        PutString(object_.get(), &_ZipFiles::put_##Name, value, #Name);                            \
    }

TAVRIN_ZIP_BOOL(RecurseFolders)
TAVRIN_ZIP_STRING(ZipFileName)
TAVRIN_ZIP_BOOL(Encrypted)
TAVRIN_ZIP_BOOL(IncludeSystemFiles)
TAVRIN_ZIP_STRING(RootDirectory)
TAVRIN_ZIP_BOOL(UpdatingZip)

int32_t ZipFilesObject::ZipFileCount() const
{
    int32_t value = 0;
    Check(object_.get(), object_->get_ZipFileCount(&value), "ZipFileCount");
    return value;
}

void ZipFilesObject::AddFile(const std::string& sFileName)
{
    Bstr name(sFileName);
    VARIANT result;
    Check(object_.get(), object_->AddFile(name.get(), &result), "AddFile");
}

void ZipFilesObject::RemoveFile(const std::string& sFileName)
{
    Bstr name(sFileName);
    VARIANT result;
    Check(object_.get(), object_->RemoveFile(name.get(), &result), "RemoveFile");
}

int32_t ZipFilesObject::MakeZipFile()
{
    int32_t result = 0;
    Check(object_.get(), object_->MakeZipFile(&result), "MakeZipFile");
    return result;
}

std::string ZipFilesObject::GetLastMessage() const
{
    return GetString(object_.get(), &_ZipFiles::GetLastMessage, "GetLastMessage");
}

void ZipFilesObject::setPrompt(Prompt* prompt)
{
    HookOf(hook_).prompt = prompt;
    InstallHook(object_.get(), hook_);
}

// ---- The library -----------------------------------------------------------

VarnockLibrary::VarnockLibrary(const std::filesystem::path& folder)
    : file_((folder.empty() ? ComponentLibraryFolder(ApplicationFolder()) : folder) /
            kLibraryFileName)
{
    dlerror();
    void* handle = dlopen(file_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        throw VarnockError(kCannotCreateObject,
                           "The component library " + file_.string() + " cannot be loaded: " +
                               (reason ? reason : "unknown reason"),
                           kRegistrySource);
    }
    handle_ = LibraryHandle(handle, [](void* h) { dlclose(h); });
    getClassObject_ = reinterpret_cast<PFN_DllGetClassObject>(dlsym(handle, "DllGetClassObject"));
    canUnloadNow_ = reinterpret_cast<PFN_DllCanUnloadNow>(dlsym(handle, "DllCanUnloadNow"));
    if (!getClassObject_ || !canUnloadNow_)
        throw VarnockError(kCannotCreateObject,
                           "The file " + file_.string() +
                               " is not a Varnock component library: it lacks the entry point " +
                               (getClassObject_ ? "DllCanUnloadNow" : "DllGetClassObject"),
                           kRegistrySource);
}

void* VarnockLibrary::create(const CLSID& clsid, const IID& iid, const char* className) const
{
    void* p = nullptr;
    HRESULT hr = getClassObject_(clsid, IID_IClassFactory, &p);
    if (FAILED(hr) || !p)
        throw VarnockError(kCannotCreateObject,
                           std::string("The component library ") + file_.string() +
                               " does not offer the class " + className + " (status " +
                               HexStatus(hr) + ")",
                           kRegistrySource);
    ComPtr<IClassFactory> factory(static_cast<IClassFactory*>(p));
    void* object = nullptr;
    hr = factory->CreateInstance(nullptr, iid, &object);
    if (FAILED(hr) || !object)
        throw VarnockError(kCannotCreateObject,
                           std::string("The component library ") + file_.string() +
                               " cannot create an object of the class " + className + " (status " +
                               HexStatus(hr) + ")",
                           kRegistrySource);
    return object;
}

UnzipFilesObject VarnockLibrary::createUnzipFiles() const
{
    auto* object = static_cast<_UnzipFiles*>(create(CLSID_UnzipFiles, IID__UnzipFiles, "UnzipFiles"));
    UnzipFilesObject unzip(handle_, ComPtr<_UnzipFiles>(object));
    if (defaultPrompt_)
        unzip.setPrompt(defaultPrompt_);
    return unzip;
}

ZipFilesObject VarnockLibrary::createZipFiles() const
{
    auto* object = static_cast<_ZipFiles*>(create(CLSID_ZipFiles, IID__ZipFiles, "ZipFiles"));
    ZipFilesObject zip(handle_, ComPtr<_ZipFiles>(object));
    if (defaultPrompt_)
        zip.setPrompt(defaultPrompt_);
    return zip;
}

bool VarnockLibrary::canUnloadNow() const { return canUnloadNow_() == S_OK; }

} // namespace tavrin
