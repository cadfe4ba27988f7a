/*
 * Test-only picture plug-ins that break the way real plug-ins break, one
 * kind per build (HOSTILE_KIND, see CMakeLists.txt):
 *
 *   null     GetPicture reads through a null pointer
 *   overrun  GetPicture writes past a heap block, then frees the next one
 *            (glibc finds its heap broken and aborts)
 *   abort    GetPicture calls abort()
 *   divide   GetPictureInfo divides an integer by zero
 *   ctor     the library faults in its constructor, while it is loaded
 *   loop     GetPicture never returns
 *   leak     GetPicture leaks 4 MiB on every call, and otherwise works
 *
 * Each takes only files that begin with "HOSTILE:" and its kind's name, so
 * every other file is left to the other decoders. Where it does not break,
 * it answers a 16 x 16 24-bit picture of one colour. Built without
 * sanitizers, so the faults reach the host as a real plug-in raises them.
 */
#include <vemra/spi.h>

#include <stdio.h>

#define STRINGIFY2(x) #x
#define STRINGIFY(x) STRINGIFY2(x)
#define KIND_NAME STRINGIFY(HOSTILE_KIND)

enum { NULL_KIND, OVERRUN, ABORT_KIND, DIVIDE, CTOR, LOOP, LEAK };
#define null NULL_KIND
#define overrun OVERRUN
#define abort ABORT_KIND
#define divide DIVIDE
#define ctor CTOR
#define loop LOOP
#define leak LEAK
static const int kKind = HOSTILE_KIND;
#undef null
#undef overrun
#undef abort
#undef divide
#undef ctor
#undef loop
#undef leak

/* Kept in globals so the compiler cannot prove the faults away. */
volatile int* volatile nullPointer = NULL;
volatile int zero = 0;
volatile int spin = 1;
void* volatile leaked = NULL;
/* The overrun stays within this many bytes of the block it starts from. */
volatile size_t overrunLimit = 4096;

#if HOSTILE_CTOR
__attribute__((constructor)) static void breakWhileLoading(void) {
    *nullPointer = 1;
}
#endif

static const char kPrefix[] = "HOSTILE:";

static int mine(const char* data, size_t length) {
    const size_t prefix = sizeof kPrefix - 1;
    const size_t name = strlen(KIND_NAME);
    return data != NULL && length >= prefix + name && memcmp(data, kPrefix, prefix) == 0 &&
           memcmp(data + prefix, KIND_NAME, name) == 0;
}

static void breakAsBuilt(void) {
    switch (kKind) {
    case NULL_KIND:
        (void)*nullPointer;
        break;
    case OVERRUN: {
        /* Writes from one block up to and over the header of the next one
           above it, then frees that: the C library's allocator and
           AddressSanitizer's both keep their record of a block just below
           it, and both look at it when the block is freed. Of a few blocks
           the two closest are taken, wherever the allocator put them. */
        enum { COUNT = 64 };
        char* blocks[COUNT];
        char* low = NULL;
        char* high = NULL;
        for (int i = 0; i < COUNT; ++i) {
            blocks[i] = (char*)malloc(24);
        }
        for (int i = 0; i < COUNT; ++i) {
            for (int j = 0; j < COUNT; ++j) {
                if (blocks[j] > blocks[i] && (high == NULL || blocks[j] - blocks[i] < high - low)) {
                    low = blocks[i];
                    high = blocks[j];
                }
            }
        }
        if (low != NULL && (size_t)(high - low) < overrunLimit) {
            /* Volatile, or the stores into memory about to be freed go. */
            volatile char* write = low;
            for (size_t k = 0; k < (size_t)(high - low); ++k) {
                write[k] = 0x41;
            }
            free(high);
        }
        for (int i = 0; i < COUNT; ++i) {
            if (blocks[i] != high) {
                free(blocks[i]);
            }
        }
        break;
    }
    case ABORT_KIND:
        abort();
    case LOOP:
        while (spin) {
        }
        break;
    case LEAK: {
        char* block = (char*)malloc(4u << 20);
        if (block != NULL) {
            memset(block, 1, 4u << 20);
        }
        leaked = block;
        break;
    }
    default:
        break;
    }
}

SPI_EXPORT int GetPluginInfo(int index, char* buf, int buflen) {
    static const char* const entries[] = {"00IN", "Hostile test plug-in (" KIND_NAME ")",
                                          "*.hostile", "Hostile"};
    if (index < 0 || index > 3 || buflen <= 0) {
        return 0;
    }
    snprintf(buf, (size_t)buflen, "%s", entries[index]);
    return (int)strlen(buf);
}

SPI_EXPORT int IsSupported(const char* filename, const void* header) {
    (void)filename;
    if ((uintptr_t)header < SPI_HEADER_FD_LIMIT) {
        return 0;
    }
    return mine((const char*)header, SPI_HEADER_BYTES);
}

/* The first bytes of a source, for telling whether it is ours. */
static int sourceIsMine(const char* buf, intptr_t len, unsigned flag) {
    if ((flag & SPI_SOURCE_MASK) == SPI_SOURCE_MEMORY) {
        return len > 0 && mine(buf, (size_t)len);
    }
    FILE* file = fopen(buf, "rb");
    if (file == NULL) {
        return 0;
    }
    char head[32] = {0};
    if (fseek(file, (long)len, SEEK_SET) != 0) {
        fclose(file);
        return 0;
    }
    const size_t got = fread(head, 1, sizeof head, file);
    fclose(file);
    return mine(head, got);
}

SPI_EXPORT int GetPictureInfo(const char* buf, intptr_t len, unsigned int flag,
                              struct PictureInfo* info) {
    if (!sourceIsMine(buf, len, flag)) {
        return SPI_NOT_SUPPORT;
    }
    if (kKind == DIVIDE) {
        return 7 / zero;
    }
    memset(info, 0, sizeof *info);
    info->width = 16;
    info->height = 16;
    info->colorDepth = 24;
    return SPI_ALL_RIGHT;
}

SPI_EXPORT int GetPicture(const char* buf, intptr_t len, unsigned int flag, SpiHandle* info_block,
                          SpiHandle* pixel_block, ProgressCallback progress, intptr_t user_data) {
    (void)progress;
    (void)user_data;
    if (!sourceIsMine(buf, len, flag)) {
        return SPI_NOT_SUPPORT;
    }
    breakAsBuilt();
    unsigned char* header = (unsigned char*)SpiAlloc(40);
    unsigned char* pixels = (unsigned char*)SpiAlloc(16 * 48);
    if (header == NULL || pixels == NULL) {
        SpiFree(header);
        SpiFree(pixels);
        return SPI_NO_MEMORY;
    }
    const uint32_t size = 40;
    const int32_t side = 16;
    const uint16_t planes = 1;
    const uint16_t depth = 24;
    memcpy(header, &size, 4);
    memcpy(header + 4, &side, 4);
    memcpy(header + 8, &side, 4);
    memcpy(header + 12, &planes, 2);
    memcpy(header + 14, &depth, 2);
    for (int i = 0; i < 16 * 16; ++i) {
        pixels[i * 3] = 0x20;     /* blue */
        pixels[i * 3 + 1] = 0x40; /* green */
        pixels[i * 3 + 2] = 0x80; /* red */
    }
    *info_block = header;
    *pixel_block = pixels;
    return SPI_ALL_RIGHT;
}
