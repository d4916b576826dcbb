#pragma once
// The archive file as a libzip source that reads with pread. libzip seeks
// before every entry it opens; here a seek is only a number, so a small
// entry costs one read instead of a seek and a read each time.

#include <zip.h>

#include <string>

namespace varnock::engine {

// The opened archive, or null with `error` set (a libzip error code and
// errno).
zip_t* OpenArchiveForReading(const std::string& path, zip_error_t* error);

} // namespace varnock::engine
