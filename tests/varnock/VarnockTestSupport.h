#pragma once
// Helpers of the Varnock tests: the component library loaded through its
// public header (from the application folder or from a staged copy beside
// fake engines), objects, strings, and archives made by Debian's zip or by
// libzip.

#include "TempDir.h"
#include "core/TextHelpers.h"

#include <varnock/UnzipApi.h>
#include <varnock/Varnock.h>
#include <varnock/ZipApi.h>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/wait.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace varnock::test {

namespace fs = std::filesystem;
using tavrin::test::TempDir;

inline fs::path AppFolder() { return TAVRIN_APP_DIR; }

// A loaded libvarnock.so (never unloaded: its objects and thread state may
// be in use until the test program ends).
class Component {
public:
    explicit Component(const fs::path& folder)
    {
        handle_ = dlopen((folder / kLibraryFileName).c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle_)
            throw std::runtime_error(dlerror());
        getClassObject_ = reinterpret_cast<PFN_DllGetClassObject>(dlsym(handle_, "DllGetClassObject"));
        canUnloadNow_ = reinterpret_cast<PFN_DllCanUnloadNow>(dlsym(handle_, "DllCanUnloadNow"));
    }
    void* symbol(const char* name) const { return dlsym(handle_, name); }

    template <class Interface>
    Interface* create(const CLSID& clsid, const IID& iid) const
    {
        void* p = nullptr;
        if (getClassObject_(clsid, IID_IClassFactory, &p) != S_OK)
            throw std::runtime_error("no class factory");
        auto* factory = static_cast<IClassFactory*>(p);
        void* object = nullptr;
        HRESULT hr = factory->CreateInstance(nullptr, iid, &object);
        factory->Release();
        if (hr != S_OK)
            throw std::runtime_error("CreateInstance failed");
        return static_cast<Interface*>(object);
    }
    _UnzipFiles* unzip() const { return create<_UnzipFiles>(CLSID_UnzipFiles, IID__UnzipFiles); }
    _ZipFiles* zip() const { return create<_ZipFiles>(CLSID_ZipFiles, IID__ZipFiles); }
    PFN_DllGetClassObject getClassObject() const { return getClassObject_; }
    PFN_DllCanUnloadNow canUnloadNow() const { return canUnloadNow_; }

private:
    void* handle_ = nullptr;
    PFN_DllGetClassObject getClassObject_ = nullptr;
    PFN_DllCanUnloadNow canUnloadNow_ = nullptr;
};

// The component of the application folder, with the real engines.
inline const Component& RealComponent()
{
    static Component component(AppFolder());
    return component;
}

// Releases an interface at the end of a scope.
template <class Interface>
struct Releaser {
    Interface* p;
    ~Releaser()
    {
        if (p)
            p->Release();
    }
    Interface* operator->() const { return p; }
};

// A BSTR owned by the test.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::string& text) : s_(SysAllocString(std::string_view(text))) {}
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
    BSTR* in() { return &s_; }
    std::string text() const { return std::string(BstrView(s_)); }

private:
    BSTR s_ = nullptr;
};

inline std::string LastMessage(_UnzipFiles* object)
{
    Bstr text;
    EXPECT_EQ(object->GetLastMessage(text.out()), S_OK);
    return text.text();
}

inline std::string LastMessage(_ZipFiles* object)
{
    Bstr text;
    EXPECT_EQ(object->GetLastMessage(text.out()), S_OK);
    return text.text();
}

struct ErrorInfo {
    int32_t number = 0;
    std::string description, source;
};

template <class Interface>
ErrorInfo ReadError(Interface* object)
{
    ErrorInfo info;
    void* p = nullptr;
    if (object->QueryInterface(IID_IErrorRecord, &p) != S_OK)
        return info;
    auto* record = static_cast<IErrorRecord*>(p);
    Bstr description, source;
    record->GetNumber(&info.number);
    record->GetDescription(description.out());
    record->GetSource(source.out());
    record->Release();
    info.description = description.text();
    info.source = source.text();
    return info;
}

// Unzip with the properties set; returns the engine's code.
inline int32_t Unzip(_UnzipFiles* object, const std::string& zipName, const std::string& dir)
{
    Bstr zip(zipName), folder(dir);
    int32_t result = -1;
    HRESULT hr = object->Unzip(zip.in(), folder.in(), &result);
    EXPECT_EQ(hr, S_OK) << ReadError(object).description;
    return result;
}

// Runs a command line through the shell and returns its exit code.
inline int Shell(const std::string& command)
{
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline std::string Quote(const fs::path& path) { return tavrin::concat({"'", path.string(), "'"}); }

inline std::string RandomBytes(size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string out(size, '\0');
    for (char& c : out)
        c = static_cast<char>(random());
    return out;
}

inline std::string TextBytes(size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    static const char* const words[] = {"ELITE ", "chuckie ", "egg ", "10 PRINT ", "\r\n", "RUN\n"};
    std::string out;
    while (out.size() < size)
        out += words[random() % 6];
    out.resize(size);
    return out;
}

// Every regular file below `folder`, by relative name, with its content.
inline std::map<std::string, std::string> FolderContents(const fs::path& folder)
{
    std::map<std::string, std::string> files;
    for (auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file() && !entry.is_symlink())
            files[fs::relative(entry.path(), folder).string()] = tavrin::test::readFile(entry.path());
    }
    return files;
}

// Files whose name looks like the engine's half-written ones.
inline std::vector<std::string> PartFiles(const fs::path& folder)
{
    std::vector<std::string> found;
    if (!fs::exists(folder))
        return found;
    for (auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.path().filename().string().rfind(".vnk-", 0) == 0)
            found.push_back(entry.path().string());
    return found;
}

// An archive built entry by entry with libzip, for names and attributes
// that no friendly tool writes.
class ZipBuilder {
public:
    explicit ZipBuilder(const fs::path& file)
    {
        int error = 0;
        archive_ = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        if (!archive_)
            throw std::runtime_error("zip_open failed");
    }
    ~ZipBuilder()
    {
        if (archive_)
            zip_discard(archive_);
    }
    zip_int64_t add(const std::string& name, const std::string& data, bool store = false)
    {
        auto* copy = static_cast<char*>(malloc(data.size() + 1));
        memcpy(copy, data.data(), data.size());
        zip_source_t* source = zip_source_buffer(archive_, copy, data.size(), 1);
        zip_int64_t index = zip_file_add(archive_, name.c_str(), source, ZIP_FL_ENC_RAW);
        if (index < 0)
            throw std::runtime_error(zip_strerror(archive_));
        zip_set_file_compression(archive_, static_cast<zip_uint64_t>(index),
                                 store ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 6);
        return index;
    }
    void link(const std::string& name, const std::string& target)
    {
        zip_int64_t index = add(name, target, true);
        zip_file_set_external_attributes(archive_, static_cast<zip_uint64_t>(index), 0,
                                         ZIP_OPSYS_UNIX, (0120777u) << 16);
    }
    void encrypt(zip_int64_t index, zip_uint16_t method, const std::string& password)
    {
        if (zip_file_set_encryption(archive_, static_cast<zip_uint64_t>(index), method,
                                    password.c_str()) != 0)
            throw std::runtime_error(zip_strerror(archive_));
    }
    void close()
    {
        if (zip_close(archive_) != 0)
            throw std::runtime_error(zip_strerror(archive_));
        archive_ = nullptr;
    }

private:
    zip_t* archive_ = nullptr;
};

inline void WriteBytes(const fs::path& file, const std::string& bytes)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

} // namespace varnock::test
