#pragma once
// tavrin's side of the component registry: loads libvarnock.so from the
// application folder, creates UnzipFiles (and ZipFiles) objects through its
// class factory, and wraps them so that a failed call becomes a C++
// exception carrying the error's number, description and source.

#include "core/Prompt.h"

#include <varnock/Varnock.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace tavrin {

// A failed call of a Varnock object, or a component library that cannot be
// loaded. what() is the description.
class VarnockError : public std::runtime_error {
public:
    VarnockError(int32_t number, const std::string& description, const std::string& source)
        : std::runtime_error(description), number_(number), description_(description),
          source_(source)
    {
    }
    int32_t number() const { return number_; }
    const std::string& description() const { return description_; }
    const std::string& source() const { return source_; }

private:
    int32_t number_;
    std::string description_;
    std::string source_;
};

// The run-time error "ActiveX component can't create object", with which a
// missing or broken component library is reported.
inline constexpr int32_t kCannotCreateObject = 429;
inline constexpr const char* kRegistrySource = "Varnock";

// The folder that holds the running program.
std::filesystem::path ApplicationFolder();

// Owns one reference to a COM-style interface.
template <class Interface>
class ComPtr {
public:
    ComPtr() = default;
    explicit ComPtr(Interface* adopted) : p_(adopted) {}
    ComPtr(const ComPtr& other) : p_(other.p_)
    {
        if (p_)
            p_->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
    ComPtr& operator=(ComPtr other) noexcept
    {
        std::swap(p_, other.p_);
        return *this;
    }
    ~ComPtr()
    {
        if (p_)
            p_->Release();
    }
    Interface* get() const { return p_; }
    Interface* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    Interface* p_ = nullptr;
};

class VarnockLibrary;

// Follows an extraction: the entry being written (empty before the first),
// the bytes written of all entries and the size their headers declare,
// which the first call gives before anything is written. False stops the
// extraction.
using UnzipProgress = std::function<bool(const std::string& entry, uint64_t done, uint64_t total)>;

// What a Varnock object's prompt hook answers with.
struct PromptHookContext;

// Shared by the object wrappers: the library stays loaded while any of its
// objects lives.
using LibraryHandle = std::shared_ptr<void>;

// An UnzipFiles object. Every member throws VarnockError when the call fails.
class UnzipFilesObject {
public:
    bool ExtractNewer() const;
    void setExtractNewer(bool value);
    bool SpaceToUnderScore() const;
    void setSpaceToUnderScore(bool value);
    bool PromptOverwrite() const;
    void setPromptOverwrite(bool value);
    varnock::ZMessageLevel MessageLevel() const;
    void setMessageLevel(varnock::ZMessageLevel value);
    bool WriteToStdOut() const;
    void setWriteToStdOut(bool value);
    bool TestZip() const;
    void setTestZip(bool value);
    varnock::ZExtractType ExtractList() const;
    void setExtractList(varnock::ZExtractType value);
    bool ExtractOnlyNewer() const;
    void setExtractOnlyNewer(bool value);
    bool DisplayComment() const;
    void setDisplayComment(bool value);
    bool HonorDirectories() const;
    void setHonorDirectories(bool value);
    bool OverWriteFiles() const;
    void setOverWriteFiles(bool value);
    bool ConvertCRtoCRLF() const;
    void setConvertCRtoCRLF(bool value);
    bool Verbose() const;
    void setVerbose(bool value);
    bool CaseSensitive() const;
    void setCaseSensitive(bool value);
    varnock::ZPrivilege Privilege() const;
    void setPrivilege(varnock::ZPrivilege value);
    std::string ZipFileName() const;
    void setZipFileName(const std::string& value);
    std::string ExtractDir() const;
    void setExtractDir(const std::string& value);

    // The unzip engine's return code (0 = success); empty arguments keep
    // the properties.
    int32_t Unzip(const std::string& sZipFileName = {}, const std::string& sExtractDir = {});
    std::string GetLastMessage() const;

    // Routes the password and overwrite questions (and the window-event pump)
    // through `prompt`, which must outlive the object; null restores
    // Varnock's defaults (questions declined).
    void setPrompt(Prompt* prompt);
    // Lets `progress` follow the extraction and stop it; empty: no one does.
    void setProgress(UnzipProgress progress);

    varnock::_UnzipFiles* raw() const { return object_.get(); }

private:
    friend class VarnockLibrary;
    UnzipFilesObject(LibraryHandle library, ComPtr<varnock::_UnzipFiles> object)
        : library_(std::move(library)), object_(std::move(object))
    {
    }

    LibraryHandle library_;
    ComPtr<varnock::_UnzipFiles> object_;
    std::shared_ptr<PromptHookContext> hook_; // kept where the object can reach it
};

// A ZipFiles object (the program itself never makes archives; the wrapper
// serves tests and tools).
class ZipFilesObject {
public:
    bool RecurseFolders() const;
    void setRecurseFolders(bool value);
    std::string ZipFileName() const;
    void setZipFileName(const std::string& value);
    bool Encrypted() const;
    void setEncrypted(bool value);
    bool IncludeSystemFiles() const;
    void setIncludeSystemFiles(bool value);
    int32_t ZipFileCount() const;
    std::string RootDirectory() const;
    void setRootDirectory(const std::string& value);
    bool UpdatingZip() const;
    void setUpdatingZip(bool value);
    void AddFile(const std::string& sFileName);
    void RemoveFile(const std::string& sFileName);
    int32_t MakeZipFile();
    std::string GetLastMessage() const;

    // Lets `prompt`'s owner keep its windows live while the archive is
    // written (the zip side asks no questions); null restores the default.
    void setPrompt(Prompt* prompt);

private:
    friend class VarnockLibrary;
    ZipFilesObject(LibraryHandle library, ComPtr<varnock::_ZipFiles> object)
        : library_(std::move(library)), object_(std::move(object))
    {
    }

    LibraryHandle library_;
    ComPtr<varnock::_ZipFiles> object_;
    std::shared_ptr<PromptHookContext> hook_;
};

// The loaded component library.
class VarnockLibrary {
public:
    // Loads libvarnock.so from `folder` (when empty: beside the program,
    // or else from the installed library folder). A missing or broken
    // library throws VarnockError 429 with a description that names the
    // file and the reason.
    explicit VarnockLibrary(const std::filesystem::path& folder = {});

    const std::filesystem::path& file() const { return file_; }

    // The prompt that every object created from now on asks its questions
    // with (the program passes its Qt prompt; tests a scripted one). Without
    // one, Varnock declines the questions. The prompt must outlive the
    // objects.
    void setDefaultPrompt(Prompt* prompt) { defaultPrompt_ = prompt; }

    // A fresh object for each extraction.
    UnzipFilesObject createUnzipFiles() const;
    ZipFilesObject createZipFiles() const;

    // DllCanUnloadNow: true when no object of the library is alive.
    bool canUnloadNow() const;

private:
    void* create(const varnock::CLSID& clsid, const varnock::IID& iid, const char* className) const;

    std::filesystem::path file_;
    LibraryHandle handle_;
    varnock::PFN_DllGetClassObject getClassObject_ = nullptr;
    varnock::PFN_DllCanUnloadNow canUnloadNow_ = nullptr;
    Prompt* defaultPrompt_ = nullptr;
};

} // namespace tavrin
