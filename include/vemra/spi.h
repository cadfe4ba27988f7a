/*
 * spi.h - the plug-in interface of Vemra (*.spi).
 *
 * A plug-in is an ELF shared object whose file name ends in ".spi" (any case),
 * placed in the plug-in folder. Vemra loads it with dlopen(RTLD_NOW |
 * RTLD_LOCAL) and looks up the functions below by name; every one is optional,
 * and a missing one makes its operation fail with SPI_NO_FUNCTION. The
 * interface follows the published Susie plug-in interface, in its 64-bit
 * Linux form: lengths, offsets and user data are intptr_t, memory handles are
 * pointers to blocks made with SpiAlloc().
 *
 * Two kinds exist, told apart by information entry 0:
 *   "00IN"  picture plug-in: IsSupported, GetPictureInfo, GetPicture
 *   "00AM"  archive plug-in: IsSupported, GetArchiveInfo, GetFileInfo, GetFile
 *
 * Calls come from one thread at a time. A plug-in must not keep pointers the
 * host passed in beyond the call. All text is UTF-8.
 *
 * This header is plain C and may be included from C or C++.
 */
#ifndef VEMRA_SPI_H
#define VEMRA_SPI_H

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Results of every function except GetPluginInfo and IsSupported. */
enum {
    SPI_ALL_RIGHT = 0,       /* success */
    SPI_NO_FUNCTION = -1,    /* not implemented, or an unsupported source mode */
    SPI_ABORT = 1,           /* the progress callback asked to stop */
    SPI_NOT_SUPPORT = 2,     /* unrecognised or invalid data */
    SPI_OUT_OF_ORDER = 3,    /* the data is broken */
    SPI_NO_MEMORY = 4,       /* memory could not be had */
    SPI_MEMORY_ERROR = 5,    /* a library or memory failure */
    SPI_FILE_READ_ERROR = 6, /* the file could not be read */
    SPI_WINDOW_ERROR = 7,    /* an unsupported kind of picture */
    SPI_OTHER_ERROR = 8,     /* the file could not be opened; any other error */
    SPI_END_OF_FILE = 9      /* no such member */
};

/* Source modes, in the low 3 bits of every `flag` argument. */
#define SPI_SOURCE_MASK 0x7u
#define SPI_SOURCE_FILE 0u   /* `buf` is a file name, `len` the offset where the data begins */
#define SPI_SOURCE_MEMORY 1u /* `buf` points at the data, `len` is its length */

/* Destination of GetFile, in bits 8-10 of its `flag`. */
#define SPI_DEST_MASK 0x700u
/* `dest` is a folder; the member is written there under its name. */
#define SPI_DEST_FOLDER 0x000u
/* `dest` is an SpiHandle* that receives a block holding the member. */
#define SPI_DEST_MEMORY 0x100u

/* GetFileInfo: compare member names ignoring the case of ASCII letters. */
#define SPI_IGNORE_CASE 0x80u

/* Values of IsSupported's second argument below this are file descriptors. */
#define SPI_HEADER_FD_LIMIT 0x10000u
/* A header pointer passed to IsSupported points at least this many bytes. */
#define SPI_HEADER_BYTES 2048

/*
 * Memory handles that cross the interface.
 *
 * A handle points at the usable bytes of a heap block whose exact size is kept
 * in front of it, so the receiver can ask SpiSize() and must free it with
 * SpiFree(). Whoever receives a handle owns it. Both sides use these inline
 * functions, so the host and every plug-in agree on the layout.
 */
typedef void* SpiHandle;

#define SPI_HANDLE_PREFIX 16 /* keeps the usable bytes 16-byte aligned */

static inline SpiHandle SpiAlloc(size_t size) {
    if (size > (size_t)-1 - SPI_HANDLE_PREFIX) {
        return NULL;
    }
    unsigned char* block = (unsigned char*)calloc(1, size + SPI_HANDLE_PREFIX);
    if (block == NULL) {
        return NULL;
    }
    memcpy(block, &size, sizeof size);
    return block + SPI_HANDLE_PREFIX;
}

static inline size_t SpiSize(SpiHandle handle) {
    size_t size = 0;
    if (handle != NULL) {
        memcpy(&size, (unsigned char*)handle - SPI_HANDLE_PREFIX, sizeof size);
    }
    return size;
}

static inline void SpiFree(SpiHandle handle) {
    if (handle != NULL) {
        free((unsigned char*)handle - SPI_HANDLE_PREFIX);
    }
}

#pragma pack(push, 1)

/* Filled by GetPictureInfo; the host zeroes it before the call. */
struct PictureInfo {
    int32_t left; /* position of the picture on its page, usually 0 */
    int32_t top;
    int32_t width;      /* pixels */
    int32_t height;     /* pixels */
    uint16_t x_density; /* dots per inch, 0 when unknown */
    uint16_t y_density;
    int16_t colorDepth; /* bits per pixel */
    SpiHandle hInfo;    /* SpiAlloc'ed UTF-8 comment text, or NULL; the host frees it */
};

/*
 * One archive member. GetArchiveInfo returns an array of these in one
 * handle, ended by an entry whose method[0] is 0.
 */
struct ArchiveEntry {
    /* compression method, e.g. "deflate"; not NUL-terminated when 8 long */
    unsigned char method[8];
    uint32_t position;  /* the member's key for GetFile and GetFileInfo */
    uint32_t compsize;  /* stored size in bytes, 0 when the format does not tell */
    uint32_t filesize;  /* size of the member's data in bytes */
    uint32_t timestamp; /* modification time, seconds since 1970 (UTC), unsigned */
    char path[200];     /* folder inside the archive, "/"-separated and ending in "/",
                           empty at the top; path + filename is the member's full name */
    char filename[200]; /* the member's file name, without the folder */
    uint32_t crc;       /* checksum, 0 when unknown */
};

#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(PictureInfo) == 30, "PictureInfo is 30 bytes");
static_assert(sizeof(ArchiveEntry) == 428, "ArchiveEntry is 428 bytes");
#else
_Static_assert(sizeof(struct PictureInfo) == 30, "PictureInfo is 30 bytes");
_Static_assert(sizeof(struct ArchiveEntry) == 428, "ArchiveEntry is 428 bytes");
#endif

/* Called now and then during long work; a non-zero result asks to stop. */
typedef int (*ProgressCallback)(int done, int total, intptr_t user_data);

/*
 * The exports, with C linkage. Declare the ones you implement with
 * SPI_EXPORT so they are visible even when you build with
 * -fvisibility=hidden.
 */
#define SPI_EXPORT __attribute__((visibility("default")))

/*
 * Writes information entry `index` into `buf` (at most `buflen` bytes, NUL
 * included) and returns the number of characters written, 0 when there is no
 * such entry. Entry 0 is the kind ("00IN" or "00AM"), entry 1 a one-line
 * description; then pairs: an extension pattern such as "*.webp" (several
 * joined with ";" allowed) and the name of that file type.
 */
typedef int (*SpiGetPluginInfo)(int index, char* buf, int buflen);

/*
 * Non-zero when the plug-in takes the file. `header` is either a pointer to at
 * least SPI_HEADER_BYTES bytes of the file's start, or a file descriptor (a
 * value below SPI_HEADER_FD_LIMIT) positioned at the data, which the plug-in
 * may read from but must not close.
 */
typedef int (*SpiIsSupported)(const char* filename, const void* header);

/* Picture plug-ins: size and depth of a picture, without decoding it. */
typedef int (*SpiGetPictureInfo)(const char* buf, intptr_t len, unsigned int flag,
                                 struct PictureInfo* info);

/*
 * Picture plug-ins: decodes the picture into two handles: `*info_block` holds
 * a 40-byte BITMAPINFOHEADER (little-endian) followed by its colour table,
 * `*pixel_block` the pixel rows, bottom row first, each padded to 4 bytes.
 * The host merges them and frees both.
 */
typedef int (*SpiGetPicture)(const char* buf, intptr_t len, unsigned int flag,
                             SpiHandle* info_block, SpiHandle* pixel_block,
                             ProgressCallback progress, intptr_t user_data);

/* Looked up for compatibility; Vemra never calls it. Same form as GetPicture. */
typedef int (*SpiGetPreview)(const char* buf, intptr_t len, unsigned int flag,
                             SpiHandle* info_block, SpiHandle* pixel_block,
                             ProgressCallback progress, intptr_t user_data);

/*
 * Archive plug-ins: the member list, as one handle holding ArchiveEntry
 * records. A damaged archive may answer SPI_NOT_SUPPORT together with a list
 * of the members that could be read; the host takes that list.
 */
typedef int (*SpiGetArchiveInfo)(const char* buf, intptr_t len, unsigned int flag, SpiHandle* list);

/*
 * Archive plug-ins: the entry of the member whose full name (path + filename)
 * is `filename`; SPI_END_OF_FILE when there is none. SPI_IGNORE_CASE in `flag`
 * ignores the case of ASCII letters.
 */
typedef int (*SpiGetFileInfo)(const char* buf, intptr_t len, const char* filename,
                              unsigned int flag, struct ArchiveEntry* entry);

/*
 * Archive plug-ins: extracts one member. `src` is the archive's file name and
 * `len` the member's position (ArchiveEntry.position); since `len` carries the
 * position, the archive begins at the start of the file. Bits 8-10 of `flag`
 * give the destination: a folder path in `dest` (the member is written there
 * under its file name), or (SPI_DEST_MEMORY) an SpiHandle* in `dest` that
 * receives a block of exactly the member's size.
 */
typedef int (*SpiGetFile)(const char* src, intptr_t len, void* dest, unsigned int flag,
                          ProgressCallback progress, intptr_t user_data);

/* Shows the plug-in's own settings; `parent` is the host window or NULL. */
typedef int (*SpiConfigurationDlg)(void* parent, int function);

#ifdef __cplusplus
}
#endif

#endif /* VEMRA_SPI_H */
