/* Every test program, and every tool it starts (Debian's zip and unzip, the
 * program itself), runs in a UTF-8 locale. On a fresh system no locale is
 * set at all, and Debian's unzip then writes "élève.txt" as
 * "#U00e9l#U00e8ve.txt". A locale the user did set is left as it is; C.UTF-8
 * is always present on Debian. */

#define _POSIX_C_SOURCE 200112L
#include <stdlib.h>

static int isSet(const char* name)
{
    const char* value = getenv(name);
    return value && *value;
}

__attribute__((constructor)) static void useUtf8WhenNoLocaleIsSet(void)
{
    if (!isSet("LC_ALL") && !isSet("LC_CTYPE") && !isSet("LANG"))
        setenv("LC_CTYPE", "C.UTF-8", 1);
}
