#ifndef VARNOCK_UNZIPAPI_H
#define VARNOCK_UNZIPAPI_H
/* The unzip engine's interface: the records Varnock fills and the two
 * functions it calls (libvarnockunzip.so). C layout; strings are 8-bit
 * (UTF-8) text, integers 32-bit unless a comment says otherwise. */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Version record: 64 bytes. Varnock sends the three text fields as blanks
 * ended by a zero byte; the engine fills all of them. */
typedef struct {
    uint8_t major;
    uint8_t minor;
    uint8_t patchlevel;
    uint8_t not_used;
} UzpVersionType;

typedef struct {
    uint32_t structlen; /* 64 */
    uint32_t flag;      /* bit 0: beta, bit 1: uses zlib */
    char betalevel[10];
    char date[20];
    char zlib_version[10];
    UzpVersionType unzip;
    UzpVersionType zipinfo;
    UzpVersionType os2dll;
    UzpVersionType windll;
} UzpVer2;

/* Option record: fifteen 32-bit integers, then two strings. */
typedef struct {
    int32_t ExtractOnlyNewer;  /* update: extract new files and replace older ones, no question */
    int32_t SpaceToUnderscore; /* spaces in written names become underscores */
    int32_t PromptToOverwrite; /* ask through the replace callback before replacing a file */
    int32_t fQuiet;            /* 0 every message, 1 fewer, 2 errors and warnings only */
    int32_t ncflag;            /* write the data through the print callback, not to files */
    int32_t ntflag;            /* test only */
    int32_t nvflag;            /* 1: list only, through the application-message callback */
    int32_t nfflag;            /* freshen: replace existing files by newer ones, create none */
    int32_t nzflag;            /* print the archive comment */
    int32_t ndflag;            /* 1: keep folder names, 0: junk them */
    int32_t noflag;            /* replace existing files without a question */
    int32_t naflag;            /* text entries: CR LF line ends become the host's LF */
    int32_t nZIflag;           /* print a detailed listing (zipinfo style) instead */
    int32_t C_flag;            /* 1: names are compared case-sensitively */
    int32_t fPrivilege;        /* 0 ignore, 1 and 2: also restore owner and group */
    const char* lpszZipFN;
    const char* lpszExtractDir; /* empty: the current folder */
} DCL;

/* Callbacks. All run on the calling thread during Wiz_SingleEntryUnzip. */
typedef int (*DLLPRNT)(char* text, uint32_t size); /* text is zero-terminated at size */
typedef int (*DLLSND)(void);
/* Returns one of the IDM_REPLACE_* answers. */
typedef int (*DLLREPLACE)(char* filename);
/* Returns 0 with the password written into the buffer, non-zero for none. */
typedef int (*DLLPASSWORD)(char* buffer, int32_t size, const char* prompt, const char* name);
/* One call per listed entry; sizes are 64-bit, date and time 16-bit, the
 * year in full (1986). */
typedef void (*DLLMESSAGE)(uint64_t ucsize, uint64_t csize, uint32_t cfactor, uint16_t month,
                           uint16_t day, uint16_t year, uint16_t hour, uint16_t minute, char c,
                           const char* filename, const char* method, uint32_t crc, char fCrypt);
/* Called before each entry with its name and the size its header declares;
 * a non-zero answer stops the extraction. When files are extracted it is
 * also called with a null name: first, before anything is written, with the
 * declared size of all the entries to extract; then, while an entry is
 * written, after each piece with the number of its bytes written so far. */
typedef int (*DLLSERVICE)(const char* name, uint64_t size);

typedef struct {
    DLLPRNT print;
    DLLSND sound;
    DLLREPLACE replace;
    DLLPASSWORD password;
    DLLMESSAGE SendApplicationMessage;
    DLLSERVICE ServCallBk;
    /* Results the engine fills (saturated at 0xFFFFFFFF). */
    uint32_t TotalSizeComp;
    uint32_t TotalSize;
    uint32_t CompFactor;
    uint32_t NumMembers;
    uint32_t cchComment;
} USERFUNCTIONS;

/* Answers of the replace callback. */
#define IDM_REPLACE_NO 100
#define IDM_REPLACE_TEXT 101
#define IDM_REPLACE_YES 102
#define IDM_REPLACE_ALL 103
#define IDM_REPLACE_NONE 104

/* Each name list (include, exclude) is a table of this many slots. */
#define UZ_NAME_SLOTS 100

/* Return codes of Wiz_SingleEntryUnzip. Where several things went wrong the
 * highest code is returned. */
#define PK_OK 0       /* success */
#define PK_WARN 1     /* something was skipped: an unsafe name, a link leading out, a folder in the way, an empty archive */
#define PK_ERR 2      /* an entry is damaged: bad CRC, bad compressed data, wrong size */
#define PK_BADERR 3   /* the archive's structure is damaged */
#define PK_MEM 4      /* out of memory */
#define PK_NOZIP 9    /* the archive cannot be found or opened, or is not a zip archive */
#define PK_PARAM 10   /* bad arguments: no archive name, no option record */
#define PK_FIND 11    /* no entry matched the include list */
#define PK_DISK 50    /* the disk is (nearly) full or a file cannot be written */
#define PK_EOF 51     /* the archive is truncated */
#define IZ_CTRLC 80   /* stopped by the service callback */
#define IZ_UNSUP 81   /* an entry uses a compression or encryption method not supported */
#define IZ_BADPWD 82  /* an encrypted entry was skipped: password declined or wrong */

unsigned UzpVersion2(UzpVer2* version);
int Wiz_SingleEntryUnzip(int32_t ifnc, char** ifnv, int32_t xfnc, char** xfnv, DCL* lpDCL,
                         USERFUNCTIONS* lpUserFunc);

typedef unsigned (*PFN_UzpVersion2)(UzpVer2*);
typedef int (*PFN_Wiz_SingleEntryUnzip)(int32_t, char**, int32_t, char**, DCL*, USERFUNCTIONS*);

#define VARNOCK_UNZIP_LIBRARY "libvarnockunzip.so"

#ifdef __cplusplus
}
#endif

#endif
