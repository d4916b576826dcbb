// The unzip engine's two entry points (libvarnockunzip.so).

#include "Extraction.h"

#include <zlib.h>
#undef zlib_version // zlib.h makes it a macro; here it is the record's field

#include <cstring>
#include <new>

#define VARNOCK_ENGINE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

void CopyText(char* field, size_t size, const char* text)
{
    std::memset(field, 0, size);
    std::strncpy(field, text, size - 1);
}

} // namespace

VARNOCK_ENGINE_EXPORT unsigned UzpVersion2(UzpVer2* version)
{
    if (!version)
        return 0;
    version->structlen = sizeof(UzpVer2);
    version->flag = 2; // uses zlib, no beta
    CopyText(version->betalevel, sizeof version->betalevel, "");
    CopyText(version->date, sizeof version->date, "8 Dec 2026");
    CopyText(version->zlib_version, sizeof version->zlib_version, zlibVersion());
    version->unzip = {1, 0, 0, 0};
    version->zipinfo = {1, 0, 0, 0};
    version->os2dll = {0, 0, 0, 0};
    version->windll = {1, 0, 0, 0};
    return version->structlen;
}

VARNOCK_ENGINE_EXPORT int Wiz_SingleEntryUnzip(int32_t ifnc, char** ifnv, int32_t xfnc, char** xfnv,
                                               DCL* lpDCL, USERFUNCTIONS* lpUserFunc)
{
    if (!lpDCL)
        return PK_PARAM;
    try {
        varnock::engine::Extraction extraction(ifnc, ifnv, xfnc, xfnv, *lpDCL, lpUserFunc);
        return extraction.run();
    } catch (const std::bad_alloc&) {
        return PK_MEM;
    } catch (...) {
        return PK_BADERR;
    }
}
