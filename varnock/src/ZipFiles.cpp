#include "ZipFiles.h"

#include "CodeModule.h"

#include "common/HostPath.h"

#include <new>

namespace varnock {
namespace {
const char* const kMakeSource = "ZipFiles::MakeZipFile";
// What the engine finds in the placeholder's slot: an empty name, which
// names no file (the placeholder's own text would archive a file of that
// name and leave a "name not matched" warning).
char kNoName[] = "";
} // namespace

ZipFiles::ZipFiles()
{
    m_Items.push_back(kPlaceholder);
    m_Placeholder = m_Items.begin();
    m_Keys.emplace(Key(kPlaceholder), m_Placeholder);
}

HRESULT ZipFiles::QueryInterface(REFIID riid, void** object)
{
    return QueryObjectInterface<_ZipFiles>(this, riid, IID__ZipFiles, object);
}

std::string ZipFiles::Key(const std::string& name)
{
    return engine::FoldCase(name);
}

HRESULT ZipFiles::get_ZipFileCount(int32_t* value)
{
    ClearErrorRecord();
    if (!value)
        return E_POINTER;
    *value = static_cast<int32_t>(m_Items.size()) - 1;
    return S_OK;
}

HRESULT ZipFiles::AddFile(BSTR sFileName, VARIANT* result)
{
    ClearErrorRecord();
    try {
        std::string name(BstrView(sFileName));
        std::string key = Key(name);
        if (name.empty())
            return RaiseError(VARNOCK_ERR_INVALID_CALL, "Invalid procedure call or argument",
                              "Zip::AddFile");
        if (m_Keys.count(key))
            return RaiseError(VARNOCK_E_ALREADY_IN_LIST, "File is already in Zip List",
                              "Zip::AddFile");
        m_Items.push_back(name);
        m_Keys.emplace(key, std::prev(m_Items.end()));
        if (result)
            *result = VARIANT();
        return S_OK;
    } catch (const std::bad_alloc&) {
        return RaiseError(VARNOCK_ERR_OUT_OF_MEMORY, "Out of memory", "Zip::AddFile");
    }
}

HRESULT ZipFiles::RemoveFile(BSTR sFileName, VARIANT* result)
{
    ClearErrorRecord();
    auto found = m_Keys.find(Key(std::string(BstrView(sFileName))));
    if (found == m_Keys.end())
        return RaiseError(VARNOCK_E_NOT_IN_LIST, "File is not in Zip List", "Zip::RemoveFile");
    if (found->second == m_Placeholder)
        m_Placeholder = m_Items.end();
    m_Items.erase(found->second);
    m_Keys.erase(found);
    if (result)
        *result = VARIANT();
    return S_OK;
}

HRESULT ZipFiles::MakeZipFile(int32_t* result)
{
    ClearErrorRecord();
    if (!result)
        return E_POINTER;
    try {
        if (m_Items.size() > ZP_NAME_SLOTS)
            throw ComponentError{VARNOCK_ERR_SUBSCRIPT,
                                 "Subscript out of range: the list holds " +
                                     std::to_string(m_Items.size() - 1) +
                                     " names, and at most 99 fit into one call",
                                 ""};
        ZIPNAMES table{};
        int32_t count = 0;
        for (auto item = m_Items.begin(); item != m_Items.end(); ++item)
            table.s[count++] = item == m_Placeholder ? kNoName : item->data();
        PackArguments arguments;
        arguments.count = count;
        arguments.zipFileName = m_ZipFileName;
        arguments.names = &table;
        arguments.recurse = m_RecurseFolders;
        arguments.update = m_UpdatingZip;
        arguments.rootDirectory = m_RootDirectory;
        *result = WinPack(arguments, m_PromptHook ? &*m_PromptHook : nullptr);
        return S_OK;
    } catch (const ComponentError& error) {
        return RaiseError(error, kMakeSource);
    } catch (const std::bad_alloc&) {
        return RaiseError(VARNOCK_ERR_OUT_OF_MEMORY, "Out of memory", kMakeSource);
    }
}

HRESULT ZipFiles::SetPromptHook(const VarnockPromptHook* hook)
{
    ClearErrorRecord();
    if (hook)
        m_PromptHook = *hook;
    else
        m_PromptHook.reset();
    return S_OK;
}

HRESULT ZipFiles::GetLastMessage(BSTR* result)
{
    ClearErrorRecord();
    return ReturnString(ThreadMessageState().LastMessage, result);
}

} // namespace varnock
