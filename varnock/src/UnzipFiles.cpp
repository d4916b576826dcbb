#include "UnzipFiles.h"

#include "CodeModule.h"

#include <new>

namespace varnock {
namespace {
const char* const kUnzipSource = "UnZipFiles::Unzip";
}

HRESULT UnzipFiles::QueryInterface(REFIID riid, void** object)
{
    return QueryObjectInterface<_UnzipFiles>(this, riid, IID__UnzipFiles, object);
}

HRESULT UnzipFiles::Unzip(BSTR* sZipFileName, BSTR* sExtractDir, int32_t* result)
{
    ClearErrorRecord();
    if (!result)
        return E_POINTER;
    try {
        if (sZipFileName && SysStringLen(*sZipFileName) > 0)
            m_ZipFileName = BstrView(*sZipFileName);
        if (sExtractDir && SysStringLen(*sExtractDir) > 0)
            m_ExtractDir = BstrView(*sExtractDir);
        UnpackArguments arguments;
        arguments.zipFileName = m_ZipFileName;
        arguments.extractDir = m_ExtractDir;
        arguments.extractOnlyNewer = m_ExtractOnlyNewer;
        arguments.spaceToUnderscore = m_SpaceToUnderScore;
        arguments.promptToOverwrite = m_PromptOverwrite;
        arguments.messageLevel = NarrowTo16(m_MessageLevel);
        arguments.writeToStdOut = m_WriteToStdOut;
        arguments.testZip = m_TestZip;
        arguments.extractList = NarrowTo16(m_ExtractList);
        arguments.extractNewer = m_ExtractNewer;
        arguments.displayComment = m_DisplayComment;
        arguments.honorDirectories = m_HonorDirectories;
        arguments.overwriteFiles = m_OverWriteFiles;
        arguments.convertCRtoCRLF = m_ConvertCRtoCRLF;
        arguments.verbose = m_Verbose;
        arguments.caseSensitive = m_CaseSensitive;
        arguments.privilege = NarrowTo16(m_Privilege);
        *result = WinUnpack(arguments, m_PromptHook ? &*m_PromptHook : nullptr);
        return S_OK;
    } catch (const ComponentError& error) {
        return RaiseError(error, kUnzipSource);
    } catch (const std::bad_alloc&) {
        return RaiseError(VARNOCK_ERR_OUT_OF_MEMORY, "Out of memory", kUnzipSource);
    }
}

HRESULT UnzipFiles::GetLastMessage(BSTR* result)
{
    ClearErrorRecord();
    return ReturnString(ThreadMessageState().LastMessage, result);
}

HRESULT UnzipFiles::SetPromptHook(const VarnockPromptHook* hook)
{
    ClearErrorRecord();
    if (hook)
        m_PromptHook = *hook;
    else
        m_PromptHook.reset();
    return S_OK;
}

} // namespace varnock
