#pragma once
// UnzipFiles: the unzip engine's options as properties, and Unzip.

#include "ComObject.h"

#include <optional>
#include <string>

namespace varnock {

class UnzipFiles final : public _UnzipFiles, public ErrorRecordReader, public IPromptHost,
                         public RefCounted<UnzipFiles> {
public:
    UnzipFiles() = default;

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override { return addRef(); }
    ULONG Release() override { return release(); }

#define VARNOCK_ENUM_PROPERTY(Name, Type)                                                          \
    HRESULT get_##Name(Type* value) override                                                       \
    {                                                                                              \
        ClearErrorRecord();                                                                        \
        if (!value)                                                                                \
            return E_POINTER;                                                                      \
        *value = static_cast<Type>(m_##Name);                                                      \
        return S_OK;                                                                               \
    }                                                                                              \
    HRESULT put_##Name(Type value) override                                                        \
    {                                                                                              \
        ClearErrorRecord();                                                                        \
        m_##Name = static_cast<int32_t>(value);                                                    \
        return S_OK;                                                                               \
    }

    VARNOCK_BOOL_PROPERTY(ExtractNewer)
    VARNOCK_BOOL_PROPERTY(SpaceToUnderScore)
    VARNOCK_BOOL_PROPERTY(PromptOverwrite)
    VARNOCK_ENUM_PROPERTY(MessageLevel, ZMessageLevel)
    VARNOCK_BOOL_PROPERTY(WriteToStdOut)
    VARNOCK_BOOL_PROPERTY(TestZip)
    VARNOCK_ENUM_PROPERTY(ExtractList, ZExtractType)
    VARNOCK_BOOL_PROPERTY(ExtractOnlyNewer)
    VARNOCK_BOOL_PROPERTY(DisplayComment)
    VARNOCK_BOOL_PROPERTY(HonorDirectories)
    VARNOCK_BOOL_PROPERTY(OverWriteFiles)
    VARNOCK_BOOL_PROPERTY(ConvertCRtoCRLF)
    VARNOCK_BOOL_PROPERTY(Verbose)
    VARNOCK_BOOL_PROPERTY(CaseSensitive)
    VARNOCK_ENUM_PROPERTY(Privilege, ZPrivilege)
#undef VARNOCK_ENUM_PROPERTY

    VARNOCK_STRING_PROPERTY(ZipFileName)
    VARNOCK_STRING_PROPERTY(ExtractDir)
    HRESULT Unzip(BSTR* sZipFileName, BSTR* sExtractDir, int32_t* result) override;
    HRESULT GetLastMessage(BSTR* result) override;

    HRESULT SetPromptHook(const VarnockPromptHook* hook) override;

private:
    // Booleans as 1 or 0, enumerations as the 32-bit values set.
    int16_t m_ExtractNewer = 0;
    int16_t m_SpaceToUnderScore = 0;
    int16_t m_PromptOverwrite = 0;
    int32_t m_MessageLevel = NoMessages;
    int16_t m_WriteToStdOut = 0;
    int16_t m_TestZip = 0;
    int32_t m_ExtractList = Extract;
    int16_t m_ExtractOnlyNewer = 0;
    int16_t m_DisplayComment = 0;
    int16_t m_HonorDirectories = 1;
    int16_t m_OverWriteFiles = 1;
    int16_t m_ConvertCRtoCRLF = 0;
    int16_t m_Verbose = 0;
    int16_t m_CaseSensitive = 1;
    int32_t m_Privilege = Ignore;
    std::string m_ZipFileName;
    std::string m_ExtractDir;
    std::optional<VarnockPromptHook> m_PromptHook;
};

} // namespace varnock
