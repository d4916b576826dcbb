#include "ComObject.h"

namespace varnock {

std::atomic<long>& LiveObjectCount()
{
    static std::atomic<long> count{0};
    return count;
}

HRESULT ErrorRecordReader::GetNumber(int32_t* number)
{
    if (!number)
        return E_POINTER;
    *number = ThreadErrorRecord().number;
    return S_OK;
}

HRESULT ErrorRecordReader::GetDescription(BSTR* description)
{
    return ReturnString(ThreadErrorRecord().description, description);
}

HRESULT ErrorRecordReader::GetSource(BSTR* source)
{
    return ReturnString(ThreadErrorRecord().source, source);
}

HRESULT GetBoolProperty(int16_t stored, VARIANT_BOOL* value)
{
    ClearErrorRecord();
    if (!value)
        return E_POINTER;
    *value = ReadBool(stored);
    return S_OK;
}

HRESULT PutBoolProperty(int16_t& stored, VARIANT_BOOL value)
{
    ClearErrorRecord();
    stored = StoreBool(value);
    return S_OK;
}

} // namespace varnock
