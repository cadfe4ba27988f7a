/*
 * A test-only plug-in for a tiny format the tests write themselves. It
 * implements every export of the interface, in plain C, so the host's calls
 * can be checked end to end and the header is proven to compile as C.
 *
 * Picture ("TINYPIC1", little-endian):
 *   u16 width, u16 height, u8 bits (8 or 24), u8 0, u16 comment length,
 *   comment bytes, u16 colours (8 bits only) and colours x RGB,
 *   then rows from the top, width x (1 or 3) bytes each, RGB for 24 bits.
 * Archive ("TINYARC1"):
 *   u32 count, then per member: u16 name length, name ("/"-separated),
 *   u32 time stamp, u32 size, data.
 * A picture comment "FAIL" makes GetPicture fail after handing out blocks.
 */
#include <vemra/spi.h>

#include <stdio.h>
#include <unistd.h>

enum { MAX_TINY_BYTES = 16 << 20 };

typedef struct {
    unsigned char* data;
    size_t size;
    int owned;
} Bytes;

static void freeBytes(Bytes* b) {
    if (b->owned) {
        free(b->data);
    }
}

static int readSource(const char* buf, intptr_t len, unsigned flag, Bytes* out) {
    out->data = NULL;
    out->size = 0;
    out->owned = 0;
    if ((flag & SPI_SOURCE_MASK) == SPI_SOURCE_MEMORY) {
        out->data = (unsigned char*)buf;
        out->size = (size_t)len;
        return SPI_ALL_RIGHT;
    }
    if ((flag & SPI_SOURCE_MASK) != SPI_SOURCE_FILE) {
        return SPI_NO_FUNCTION;
    }
    FILE* f = fopen(buf, "rb");
    if (f == NULL) {
        return SPI_OTHER_ERROR;
    }
    out->data = malloc(MAX_TINY_BYTES);
    out->owned = 1;
    if (out->data == NULL || fseek(f, (long)len, SEEK_SET) != 0) {
        fclose(f);
        freeBytes(out);
        return SPI_FILE_READ_ERROR;
    }
    out->size = fread(out->data, 1, MAX_TINY_BYTES, f);
    fclose(f);
    return SPI_ALL_RIGHT;
}

static unsigned u16(const unsigned char* p) {
    return (unsigned)p[0] | (unsigned)p[1] << 8;
}

static uint32_t u32(const unsigned char* p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

static void put32(unsigned char* p, uint32_t v) {
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
    p[2] = (unsigned char)(v >> 16);
    p[3] = (unsigned char)(v >> 24);
}

typedef struct {
    unsigned width, height, bits, colours;
    const unsigned char* comment;
    unsigned commentLength;
    const unsigned char* palette;
    const unsigned char* pixels;
} Tiny;

static int parsePicture(const Bytes* b, Tiny* t) {
    if (b->size < 16 || memcmp(b->data, "TINYPIC1", 8) != 0) {
        return SPI_NOT_SUPPORT;
    }
    t->width = u16(b->data + 8);
    t->height = u16(b->data + 10);
    t->bits = b->data[12];
    t->commentLength = u16(b->data + 14);
    if (t->width == 0 || t->height == 0 || (t->bits != 8 && t->bits != 24)) {
        return SPI_OUT_OF_ORDER;
    }
    size_t at = 16 + t->commentLength;
    t->comment = b->data + 16;
    t->colours = 0;
    if (t->bits == 8) {
        if (b->size < at + 2) {
            return SPI_OUT_OF_ORDER;
        }
        t->colours = u16(b->data + at);
        at += 2;
        if (t->colours == 0 || t->colours > 256) {
            return SPI_OUT_OF_ORDER;
        }
    }
    t->palette = b->data + at;
    at += 3 * (size_t)t->colours;
    t->pixels = b->data + at;
    const size_t pixelBytes = (size_t)t->width * t->height * (t->bits / 8);
    if (b->size < at || b->size - at < pixelBytes) {
        return SPI_OUT_OF_ORDER;
    }
    return SPI_ALL_RIGHT;
}

SPI_EXPORT int GetPluginInfo(int index, char* buf, int buflen) {
    static const char* const entries[] = {"00IN",   "Tiny test plug-in", "*.tiny", "Tiny picture",
                                          "*.tarc", "Tiny archive"};
    if (index < 0 || index >= (int)(sizeof entries / sizeof entries[0]) || buflen <= 0) {
        return 0;
    }
    return snprintf(buf, (size_t)buflen, "%s", entries[index]) < buflen ? (int)strlen(buf)
                                                                        : buflen - 1;
}

SPI_EXPORT int IsSupported(const char* filename, const void* header) {
    (void)filename;
    unsigned char start[8];
    if ((uintptr_t)header < SPI_HEADER_FD_LIMIT) {
        const int fd = (int)(uintptr_t)header;
        const off_t position = lseek(fd, 0, SEEK_CUR);
        if (position < 0 || pread(fd, start, 8, position) != 8) {
            return 0;
        }
    } else {
        memcpy(start, header, 8);
    }
    return memcmp(start, "TINYPIC1", 8) == 0 || memcmp(start, "TINYARC1", 8) == 0;
}

SPI_EXPORT int GetPictureInfo(const char* buf, intptr_t len, unsigned int flag,
                              struct PictureInfo* info) {
    Bytes b;
    int code = readSource(buf, len, flag, &b);
    Tiny t;
    if (code == SPI_ALL_RIGHT) {
        code = parsePicture(&b, &t);
    }
    if (code == SPI_ALL_RIGHT) {
        info->width = (int32_t)t.width;
        info->height = (int32_t)t.height;
        info->colorDepth = (int16_t)t.bits;
        info->x_density = 72;
        info->y_density = 96;
        if (t.commentLength > 0) {
            info->hInfo = SpiAlloc(t.commentLength + 1);
            if (info->hInfo != NULL) {
                memcpy(info->hInfo, t.comment, t.commentLength);
            }
        }
    }
    freeBytes(&b);
    return code;
}

SPI_EXPORT int GetPicture(const char* buf, intptr_t len, unsigned int flag, SpiHandle* info_block,
                          SpiHandle* pixel_block, ProgressCallback progress, intptr_t user_data) {
    Bytes b;
    int code = readSource(buf, len, flag, &b);
    Tiny t;
    if (code == SPI_ALL_RIGHT) {
        code = parsePicture(&b, &t);
    }
    if (code != SPI_ALL_RIGHT) {
        freeBytes(&b);
        return code;
    }
    const size_t pixelSize = t.bits / 8;
    const size_t stride = ((size_t)t.width * pixelSize + 3) & ~(size_t)3;
    unsigned char* header = SpiAlloc(40 + 4 * (size_t)t.colours);
    unsigned char* rows = SpiAlloc(stride * t.height);
    *info_block = header;
    *pixel_block = rows;
    if (header == NULL || rows == NULL) {
        freeBytes(&b);
        return SPI_NO_MEMORY;
    }
    put32(header, 40);
    put32(header + 4, t.width);
    put32(header + 8, t.height);
    header[12] = 1;
    header[14] = (unsigned char)t.bits;
    put32(header + 20, (uint32_t)(stride * t.height));
    put32(header + 32, t.colours);
    for (unsigned i = 0; i < t.colours; ++i) {
        header[40 + 4 * i] = t.palette[3 * i + 2];
        header[40 + 4 * i + 1] = t.palette[3 * i + 1];
        header[40 + 4 * i + 2] = t.palette[3 * i];
    }
    for (unsigned y = 0; y < t.height; ++y) {
        if (progress != NULL && progress((int)y, (int)t.height, user_data) != 0) {
            freeBytes(&b);
            return SPI_ABORT;
        }
        const unsigned char* in = t.pixels + (size_t)y * t.width * pixelSize;
        unsigned char* out = rows + (size_t)(t.height - 1 - y) * stride;
        for (unsigned x = 0; x < t.width; ++x) {
            if (t.bits == 8) {
                out[x] = in[x];
            } else {
                out[3 * x] = in[3 * x + 2];
                out[3 * x + 1] = in[3 * x + 1];
                out[3 * x + 2] = in[3 * x];
            }
        }
    }
    if (t.commentLength == 4 && memcmp(t.comment, "FAIL", 4) == 0) {
        code = SPI_OUT_OF_ORDER; /* the blocks stay with the host, which frees them */
    }
    freeBytes(&b);
    return code;
}

SPI_EXPORT int GetPreview(const char* buf, intptr_t len, unsigned int flag, SpiHandle* info_block,
                          SpiHandle* pixel_block, ProgressCallback progress, intptr_t user_data) {
    return GetPicture(buf, len, flag, info_block, pixel_block, progress, user_data);
}

/* Walks the members; calls `visit` for each until it answers non-zero. */
typedef int (*Visitor)(void* context, unsigned index, const char* name, unsigned nameLength,
                       uint32_t time, const unsigned char* data, uint32_t size);

static int walkArchive(const Bytes* b, Visitor visit, void* context) {
    if (b->size < 12 || memcmp(b->data, "TINYARC1", 8) != 0) {
        return SPI_NOT_SUPPORT;
    }
    const uint32_t count = u32(b->data + 8);
    size_t at = 12;
    for (uint32_t i = 0; i < count; ++i) {
        if (b->size - at < 2) {
            return SPI_OUT_OF_ORDER;
        }
        const unsigned nameLength = u16(b->data + at);
        at += 2;
        if (b->size - at < (size_t)nameLength + 8) {
            return SPI_OUT_OF_ORDER;
        }
        const char* name = (const char*)b->data + at;
        at += nameLength;
        const uint32_t time = u32(b->data + at);
        const uint32_t size = u32(b->data + at + 4);
        at += 8;
        if (b->size - at < size) {
            return SPI_OUT_OF_ORDER;
        }
        if (visit(context, i, name, nameLength, time, b->data + at, size)) {
            return SPI_ALL_RIGHT;
        }
        at += size;
    }
    return SPI_END_OF_FILE;
}

static void fillEntry(struct ArchiveEntry* e, unsigned index, const char* name, unsigned nameLength,
                      uint32_t time, uint32_t size) {
    memset(e, 0, sizeof *e);
    memcpy(e->method, "tiny", 4);
    e->position = index;
    e->compsize = size;
    e->filesize = size;
    e->timestamp = time;
    unsigned slash = nameLength;
    while (slash > 0 && name[slash - 1] != '/') {
        --slash;
    }
    const unsigned pathLength = slash < 199 ? slash : 199;
    const unsigned fileLength = nameLength - slash < 199 ? nameLength - slash : 199;
    memcpy(e->path, name, pathLength);
    memcpy(e->filename, name + slash, fileLength);
}

typedef struct {
    struct ArchiveEntry* entries;
    unsigned count;
} ListContext;

static int listVisitor(void* context, unsigned index, const char* name, unsigned nameLength,
                       uint32_t time, const unsigned char* data, uint32_t size) {
    (void)data;
    ListContext* c = context;
    fillEntry(&c->entries[c->count++], index, name, nameLength, time, size);
    return 0;
}

SPI_EXPORT int GetArchiveInfo(const char* buf, intptr_t len, unsigned int flag, SpiHandle* list) {
    Bytes b;
    int code = readSource(buf, len, flag, &b);
    if (code != SPI_ALL_RIGHT) {
        return code;
    }
    uint32_t count = b.size >= 12 ? u32(b.data + 8) : 0;
    if (count > 1000) {
        count = 1000;
    }
    ListContext c = {SpiAlloc(((size_t)count + 1) * sizeof(struct ArchiveEntry)), 0};
    if (c.entries == NULL) {
        freeBytes(&b);
        return SPI_NO_MEMORY;
    }
    code = walkArchive(&b, listVisitor, &c);
    freeBytes(&b);
    if (code == SPI_END_OF_FILE) {
        code = SPI_ALL_RIGHT;
    }
    if (code == SPI_NOT_SUPPORT) {
        SpiFree(c.entries);
        return code;
    }
    *list = c.entries;
    return code;
}

typedef struct {
    const char* wanted;
    int byPosition;
    unsigned position;
    struct ArchiveEntry* entry;
    const unsigned char* data;
    uint32_t size;
} FindContext;

static int findVisitor(void* context, unsigned index, const char* name, unsigned nameLength,
                       uint32_t time, const unsigned char* data, uint32_t size) {
    FindContext* c = context;
    const int match =
        c->byPosition ? index == c->position
                      : strlen(c->wanted) == nameLength && memcmp(c->wanted, name, nameLength) == 0;
    if (match) {
        fillEntry(c->entry, index, name, nameLength, time, size);
        c->data = data;
        c->size = size;
    }
    return match;
}

SPI_EXPORT int GetFileInfo(const char* buf, intptr_t len, const char* filename, unsigned int flag,
                           struct ArchiveEntry* entry) {
    Bytes b;
    int code = readSource(buf, len, flag, &b);
    if (code != SPI_ALL_RIGHT) {
        return code;
    }
    FindContext c = {filename, 0, 0, entry, NULL, 0};
    code = walkArchive(&b, findVisitor, &c);
    freeBytes(&b);
    return code;
}

SPI_EXPORT int GetFile(const char* src, intptr_t len, void* dest, unsigned int flag,
                       ProgressCallback progress, intptr_t user_data) {
    if ((flag & SPI_DEST_MASK) != SPI_DEST_MEMORY) {
        return SPI_NO_FUNCTION;
    }
    Bytes b;
    int code = readSource(src, 0, flag & ~SPI_DEST_MASK, &b);
    if (code != SPI_ALL_RIGHT) {
        return code;
    }
    struct ArchiveEntry entry;
    FindContext c = {NULL, 1, (unsigned)len, &entry, NULL, 0};
    code = walkArchive(&b, findVisitor, &c);
    if (code == SPI_ALL_RIGHT) {
        if (progress != NULL && progress(0, (int)c.size, user_data) != 0) {
            code = SPI_ABORT;
        } else {
            SpiHandle block = SpiAlloc(c.size);
            if (block == NULL) {
                code = SPI_NO_MEMORY;
            } else {
                memcpy(block, c.data, c.size);
                *(SpiHandle*)dest = block;
            }
        }
    }
    freeBytes(&b);
    return code;
}

SPI_EXPORT int ConfigurationDlg(void* parent, int function) {
    return parent == NULL ? 100 + function : -100 - function;
}
