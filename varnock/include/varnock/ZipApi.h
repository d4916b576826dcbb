#ifndef VARNOCK_ZIPAPI_H
#define VARNOCK_ZIPAPI_H
/* The zip engine's interface: the records Varnock fills and the three
 * functions it calls (libvarnockzip.so). C layout; strings are 8-bit (UTF-8)
 * text, integers 32-bit. The engine keeps the callbacks and options of
 * ZpInit and ZpSetOptions per calling thread. */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int (*ZDLLPRNT)(char* text, uint32_t size); /* text is zero-terminated at size */
typedef int (*ZDLLPASSWORD)(char* buffer, int32_t size, const char* prompt, const char* name);
typedef char* (*ZDLLCOMMENT)(char* buffer);         /* buffer of ZP_COMMENT_SIZE bytes */
typedef int (*ZDLLSERVICE)(const char* name, uint64_t size);

/* Four slots: print, password, comment, service (Varnock leaves it 0). */
typedef struct {
    ZDLLPRNT print;
    ZDLLPASSWORD password;
    ZDLLCOMMENT comment;
    ZDLLSERVICE service;
} ZIPUSERFUNCTIONS;

#define ZP_COMMENT_SIZE 4097

/* Option record: 27 32-bit flags, the level byte, then two strings. */
typedef struct {
    int32_t fSuffix;        /* not used */
    int32_t fEncrypt;       /* encrypt (traditional PKWARE) with the password callback's answer */
    int32_t fSystem;        /* not used: every file is included */
    int32_t fVolume;        /* not used */
    int32_t fExtra;         /* not used */
    int32_t fNoDirEntries;  /* store no entries for folders */
    int32_t fExcludeDate;   /* not used */
    int32_t fIncludeDate;   /* not used */
    int32_t fVerbose;       /* not used */
    int32_t fQuiet;         /* print warnings and errors only */
    int32_t fCRLF_LF;       /* not used */
    int32_t fLF_CRLF;       /* not used */
    int32_t fJunkDir;       /* store names without their folders */
    int32_t fRecurse;       /* recurse into named folders */
    int32_t fGrow;          /* not used: an existing archive is always updated */
    int32_t fForce;         /* not used */
    int32_t fMove;          /* not used */
    int32_t fDeleteEntries; /* delete the named entries from the archive */
    int32_t fUpdate;        /* add new files, replace entries only by newer files */
    int32_t fFreshen;       /* replace entries only by newer files, add none */
    int32_t fJunkSFX;       /* not used */
    int32_t fLatestTime;    /* not used */
    int32_t fComment;       /* ask the comment callback for an archive comment */
    int32_t fOffsets;       /* not used */
    int32_t fPrivilege;     /* not used */
    int32_t fEncryption;    /* not used */
    int32_t fRepair;        /* not used */
    char fLevel;            /* '0' to '9' (or 1 to 9); 0 is the default level, 6 */
    const char* Date;       /* not used */
    const char* szRootDir;  /* base of relative names and of the stored names */
} ZPOPT;

#define ZP_NAME_SLOTS 100

typedef struct {
    char* s[ZP_NAME_SLOTS];
} ZIPNAMES;

/* Return codes of ZpArchive. */
#define ZE_OK 0
#define ZE_EOF 2    /* unexpected end of the existing archive */
#define ZE_FORM 3   /* the existing archive is damaged */
#define ZE_MEM 4    /* out of memory */
#define ZE_LOGIC 5  /* internal error */
#define ZE_NONE 12  /* nothing to do: no name matched a file */
#define ZE_NAME 13  /* no archive name */
#define ZE_WRITE 14 /* the archive cannot be written */
#define ZE_CREAT 15 /* the archive cannot be created */
#define ZE_PARMS 16 /* bad arguments */
#define ZE_OPEN 18  /* a named file cannot be read */

/* ZpInit and ZpSetOptions return 1 (true) when they took their record. */
int ZpInit(ZIPUSERFUNCTIONS* functions);
int ZpSetOptions(ZPOPT* options);
int ZpArchive(int32_t argc, const char* zipName, ZIPNAMES* names);

typedef int (*PFN_ZpInit)(ZIPUSERFUNCTIONS*);
typedef int (*PFN_ZpSetOptions)(ZPOPT*);
typedef int (*PFN_ZpArchive)(int32_t, const char*, ZIPNAMES*);

#define VARNOCK_ZIP_LIBRARY "libvarnockzip.so"

#ifdef __cplusplus
}
#endif

#endif
