#include "ComponentError.h"

#include <limits>

namespace varnock {

ErrorRecordData& ThreadErrorRecord()
{
    thread_local ErrorRecordData record;
    return record;
}

void ClearErrorRecord() { ThreadErrorRecord() = ErrorRecordData{}; }

HRESULT RaiseError(int32_t number, const std::string& description, const std::string& source)
{
    ErrorRecordData& record = ThreadErrorRecord();
    record.set = true;
    record.number = number;
    record.description = description;
    record.source = source;
    return HresultFromErrorNumber(number);
}

HRESULT RaiseError(const ComponentError& error, const std::string& source)
{
    return RaiseError(error.number, error.description, source);
}

int16_t NarrowTo16(int32_t value)
{
    if (value < std::numeric_limits<int16_t>::min() || value > std::numeric_limits<int16_t>::max())
        throw ComponentError{VARNOCK_ERR_OVERFLOW, "Overflow", ""};
    return static_cast<int16_t>(value);
}

HRESULT ReturnString(const std::string& text, BSTR* out)
{
    if (!out)
        return E_POINTER;
    *out = SysAllocString(std::string_view(text));
    return *out ? S_OK : E_OUTOFMEMORY;
}

} // namespace varnock
