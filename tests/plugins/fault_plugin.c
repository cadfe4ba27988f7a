/*
 * A test-only plug-in that faults on purpose, for the host's fault guard.
 * Built twice: as a picture plug-in ("00IN") and, with FAULT_ARCHIVE, as an
 * archive plug-in ("00AM").
 *
 * Every export except GetPluginInfo faults according to a word in its input:
 * the file name (or, for memory sources, the first bytes of the data) holding
 * "read", "write", "divide", "abort" or "stack" makes it read or write an
 * unmapped address, divide an integer by zero, call abort() or overflow its
 * stack. Input without such a word is refused normally. GetPluginInfo faults
 * for indexes 100 to 104 and ConfigurationDlg for functions 0 to 4, in the
 * same order. It is built without sanitizers so that the faults reach the
 * host as the signals a real plug-in would raise.
 */
#include <vemra/spi.h>

#include <stdio.h>

enum { FAULT_NONE = -1, FAULT_READ, FAULT_WRITE, FAULT_DIVIDE, FAULT_ABORT, FAULT_STACK };

/* Kept in globals so the compiler cannot prove the faults away. */
volatile int* volatile faultAddress = (volatile int*)16;
volatile int faultZero = 0;
volatile int faultNumerator = 7;

/* Stops only where no stack is left; the volatile limit hides that from the
   compiler, which would otherwise refuse the endless recursion. */
volatile int recursionLimit = 1 << 30;

static int recurse(int depth) {
    volatile char frame[4096];
    frame[0] = (char)depth;
    if (depth >= recursionLimit) {
        return frame[0];
    }
    return recurse(depth + 1) + frame[0];
}

static int fault(int kind) {
    switch (kind) {
    case FAULT_READ:
        return *faultAddress;
    case FAULT_WRITE:
        *faultAddress = 1;
        return 0;
    case FAULT_DIVIDE:
        return faultNumerator / faultZero;
    case FAULT_ABORT:
        abort();
    case FAULT_STACK:
        return recurse(0);
    default:
        return SPI_NOT_SUPPORT;
    }
}

static int kindOf(const char* text, size_t length) {
    static const char* const words[] = {"read", "write", "divide", "abort", "stack"};
    if (text == NULL) {
        return FAULT_NONE;
    }
    for (size_t at = 0; at < length && text[at] != '\0'; ++at) {
        for (int k = 0; k < 5; ++k) {
            const size_t n = strlen(words[k]);
            if (length - at >= n && memcmp(text + at, words[k], n) == 0) {
                return k;
            }
        }
    }
    return FAULT_NONE;
}

static int kindOfSource(const char* buf, intptr_t len, unsigned flag) {
    if ((flag & SPI_SOURCE_MASK) == SPI_SOURCE_MEMORY) {
        return kindOf(buf, len < 16 ? (size_t)len : 16);
    }
    return kindOf(buf, buf != NULL ? strlen(buf) : 0);
}

SPI_EXPORT int GetPluginInfo(int index, char* buf, int buflen) {
#ifdef FAULT_ARCHIVE
    static const char* const entries[] = {"00AM", "Faulting archive test plug-in", "*.fault",
                                          "Fault"};
#else
    static const char* const entries[] = {"00IN", "Faulting picture test plug-in", "*.fault",
                                          "Fault"};
#endif
    if (index >= 100 && index <= 104) {
        return fault(index - 100);
    }
    if (index < 0 || index > 3 || buflen <= 0) {
        return 0;
    }
    snprintf(buf, (size_t)buflen, "%s", entries[index]);
    return (int)strlen(buf);
}

SPI_EXPORT int IsSupported(const char* filename, const void* header) {
    (void)header;
    const int kind = kindOf(filename, filename != NULL ? strlen(filename) : 0);
    return kind == FAULT_NONE ? 0 : fault(kind);
}

SPI_EXPORT int GetPictureInfo(const char* buf, intptr_t len, unsigned int flag,
                              struct PictureInfo* info) {
    (void)info;
    return fault(kindOfSource(buf, len, flag));
}

SPI_EXPORT int GetPicture(const char* buf, intptr_t len, unsigned int flag, SpiHandle* info_block,
                          SpiHandle* pixel_block, ProgressCallback progress, intptr_t user_data) {
    (void)info_block;
    (void)pixel_block;
    (void)progress;
    (void)user_data;
    return fault(kindOfSource(buf, len, flag));
}

SPI_EXPORT int GetArchiveInfo(const char* buf, intptr_t len, unsigned int flag, SpiHandle* list) {
    (void)list;
    return fault(kindOfSource(buf, len, flag));
}

SPI_EXPORT int GetFileInfo(const char* buf, intptr_t len, const char* filename, unsigned int flag,
                           struct ArchiveEntry* entry) {
    (void)filename;
    (void)entry;
    return fault(kindOfSource(buf, len, flag));
}

SPI_EXPORT int GetFile(const char* src, intptr_t len, void* dest, unsigned int flag,
                       ProgressCallback progress, intptr_t user_data) {
    (void)len;
    (void)dest;
    (void)progress;
    (void)user_data;
    (void)flag;
    return fault(kindOf(src, src != NULL ? strlen(src) : 0));
}

SPI_EXPORT int ConfigurationDlg(void* parent, int function) {
    (void)parent;
    return fault(function >= 0 && function <= 4 ? function : FAULT_NONE);
}
