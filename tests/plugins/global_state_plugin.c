/*
 * A test-only picture plug-in that keeps its work in global variables, as
 * many plug-ins written for a single thread do: two calls at once would mix
 * their pictures. The host must never call it on two threads at once.
 *
 * Picture ("GLOBPIC1"): u16 width, u16 height, then one RGB colour; the
 * picture is that colour all over, 24 bits.
 */
#include <vemra/spi.h>

#include <sched.h>
#include <stdio.h>
#include <string.h>

enum { MAX_SIDE = 512 };

/* The state a single-threaded plug-in keeps between and during its calls. */
static unsigned g_width, g_height;
static unsigned char g_colour[3];
static unsigned char g_row[MAX_SIDE * 3 + 4];

static unsigned u16(const unsigned char* p) {
    return (unsigned)p[0] | (unsigned)p[1] << 8;
}

static void put32(unsigned char* p, uint32_t v) {
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
    p[2] = (unsigned char)(v >> 16);
    p[3] = (unsigned char)(v >> 24);
}

/* Reads the picture's header into the globals. */
static int load(const char* buf, intptr_t len, unsigned int flag) {
    unsigned char head[15];
    if ((flag & SPI_SOURCE_MASK) == SPI_SOURCE_MEMORY) {
        if (len < (intptr_t)sizeof head) {
            return SPI_NOT_SUPPORT;
        }
        memcpy(head, buf, sizeof head);
    } else {
        FILE* f = fopen(buf, "rb");
        if (f == NULL) {
            return SPI_OTHER_ERROR;
        }
        const size_t got = fseek(f, (long)len, SEEK_SET) == 0 ? fread(head, 1, sizeof head, f) : 0;
        fclose(f);
        if (got != sizeof head) {
            return SPI_FILE_READ_ERROR;
        }
    }
    if (memcmp(head, "GLOBPIC1", 8) != 0) {
        return SPI_NOT_SUPPORT;
    }
    g_width = u16(head + 8);
    g_height = u16(head + 10);
    if (g_width == 0 || g_height == 0 || g_width > MAX_SIDE || g_height > MAX_SIDE) {
        return SPI_OUT_OF_ORDER;
    }
    memcpy(g_colour, head + 12, 3);
    return SPI_ALL_RIGHT;
}

SPI_EXPORT int GetPluginInfo(int index, char* buf, int buflen) {
    static const char* const entries[] = {"00IN", "Global-state test plug-in", "*.glob",
                                          "Global picture"};
    if (index < 0 || index >= (int)(sizeof entries / sizeof entries[0]) || buflen <= 0) {
        return 0;
    }
    return snprintf(buf, (size_t)buflen, "%s", entries[index]) < buflen ? (int)strlen(buf)
                                                                        : buflen - 1;
}

SPI_EXPORT int IsSupported(const char* filename, const void* header) {
    (void)filename;
    return (uintptr_t)header >= SPI_HEADER_FD_LIMIT && memcmp(header, "GLOBPIC1", 8) == 0;
}

SPI_EXPORT int GetPictureInfo(const char* buf, intptr_t len, unsigned int flag,
                              struct PictureInfo* info) {
    const int code = load(buf, len, flag);
    if (code == SPI_ALL_RIGHT) {
        info->width = (int32_t)g_width;
        info->height = (int32_t)g_height;
        info->colorDepth = 24;
    }
    return code;
}

SPI_EXPORT int GetPicture(const char* buf, intptr_t len, unsigned int flag, SpiHandle* info_block,
                          SpiHandle* pixel_block, ProgressCallback progress, intptr_t user_data) {
    (void)progress;
    (void)user_data;
    const int code = load(buf, len, flag);
    if (code != SPI_ALL_RIGHT) {
        return code;
    }
    const size_t stride = ((size_t)g_width * 3 + 3) & ~(size_t)3;
    unsigned char* header = SpiAlloc(40);
    unsigned char* rows = SpiAlloc(stride * g_height);
    *info_block = header;
    *pixel_block = rows;
    if (header == NULL || rows == NULL) {
        return SPI_NO_MEMORY;
    }
    put32(header, 40);
    put32(header + 4, g_width);
    put32(header + 8, g_height);
    header[12] = 1;
    header[14] = 24;
    put32(header + 20, (uint32_t)(stride * g_height));
    /* Row by row through the shared buffer, giving other threads every
     * chance to step in between. */
    for (unsigned y = 0; y < g_height; ++y) {
        for (unsigned x = 0; x < g_width; ++x) {
            g_row[3 * x] = g_colour[2];
            g_row[3 * x + 1] = g_colour[1];
            g_row[3 * x + 2] = g_colour[0];
        }
        sched_yield();
        memcpy(rows + (size_t)y * stride, g_row, (size_t)g_width * 3);
    }
    return SPI_ALL_RIGHT;
}

SPI_EXPORT int GetPreview(const char* buf, intptr_t len, unsigned int flag, SpiHandle* info_block,
                          SpiHandle* pixel_block, ProgressCallback progress, intptr_t user_data) {
    return GetPicture(buf, len, flag, info_block, pixel_block, progress, user_data);
}
