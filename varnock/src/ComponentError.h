#pragma once
// Errors raised inside Varnock and the calling thread's error record that
// a client reads through IErrorRecord.

#include <varnock/Varnock.h>

#include <cstdint>
#include <string>

namespace varnock {

// An error raised inside the component: number, description and source,
// as a client finally sees them (each layer may raise it again with its own
// source).
struct ComponentError {
    int32_t number;
    std::string description;
    std::string source;
};

// The record of the last failed call on this thread.
struct ErrorRecordData {
    bool set = false;
    int32_t number = 0;
    std::string description;
    std::string source;
};
ErrorRecordData& ThreadErrorRecord();

// Clears the thread's record; every method calls it on entry.
void ClearErrorRecord();

// Fills the thread's record and returns the status code of the failure.
HRESULT RaiseError(int32_t number, const std::string& description, const std::string& source);
HRESULT RaiseError(const ComponentError& error, const std::string& source);

// Narrows a 32-bit value to 16 bits, raising overflow (error 6) when it does
// not fit.
int16_t NarrowTo16(int32_t value);

// Stores a boolean property as 1 or 0, and reads it back.
constexpr int16_t StoreBool(VARIANT_BOOL value) { return value ? 1 : 0; }
constexpr VARIANT_BOOL ReadBool(int16_t stored) { return stored == 1 ? VARIANT_TRUE : VARIANT_FALSE; }

// Copies a string into a new BSTR for an out-parameter.
HRESULT ReturnString(const std::string& text, BSTR* out);

} // namespace varnock
