#pragma once
// ZipFiles: a list of file names and the options with which MakeZipFile
// hands them to the zip engine.

#include "ComObject.h"

#include <list>
#include <map>
#include <optional>
#include <string>

namespace varnock {

class ZipFiles final : public _ZipFiles, public ErrorRecordReader, public IPromptHost,
                       public RefCounted<ZipFiles> {
public:
    ZipFiles();

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override { return addRef(); }
    ULONG Release() override { return release(); }

    VARNOCK_BOOL_PROPERTY(RecurseFolders)
    VARNOCK_STRING_PROPERTY(ZipFileName)
    VARNOCK_BOOL_PROPERTY(Encrypted)
    VARNOCK_BOOL_PROPERTY(IncludeSystemFiles)
    HRESULT get_ZipFileCount(int32_t* value) override;
    VARNOCK_STRING_PROPERTY(RootDirectory)
    VARNOCK_BOOL_PROPERTY(UpdatingZip)
    HRESULT AddFile(BSTR sFileName, VARIANT* result) override;
    HRESULT RemoveFile(BSTR sFileName, VARIANT* result) override;
    HRESULT MakeZipFile(int32_t* result) override;
    HRESULT GetLastMessage(BSTR* result) override;

    HRESULT SetPromptHook(const VarnockPromptHook* hook) override;

    static constexpr const char* kPlaceholder = "querty";

private:
    static std::string Key(const std::string& name);

    // The file list: items in insertion order, found by a key that
    // compares without regard to letter case.
    std::list<std::string> m_Items;
    std::map<std::string, std::list<std::string>::iterator> m_Keys;
    // The placeholder's entry while it is in the list: it keeps its slot
    // in the name table, but no name of it reaches the engine.
    std::list<std::string>::iterator m_Placeholder;
    int16_t m_RecurseFolders = 0;
    std::string m_ZipFileName;
    int16_t m_Encrypted = 0;
    int16_t m_IncludeSystemFiles = 0;
    std::string m_RootDirectory = "\\";
    int16_t m_UpdatingZip = 0;
    std::optional<VarnockPromptHook> m_PromptHook;
};

} // namespace varnock
