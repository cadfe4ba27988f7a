/* A stand-in for the optional cpdecode library, for the caption tests. What
 * it answers depends on the picture's name:
 *   "...fail..."  answers 0 (after scribbling into the buffer);
 *   "...full..."  fills all the bytes it was given, with no terminator;
 *   "...sjis..."  reports items in Shift-JIS;
 *   "...crash..." writes through a null pointer;
 *   otherwise     "ok:<buffer size>:<path>" (with an empty item at the end).
 * Built without the export (NO_EXPORT) it stands for a library that has
 * nothing to offer. */

#include <stdio.h>
#include <string.h>

#define CP_EXPORT __attribute__((visibility("default")))

#ifdef NO_EXPORT
CP_EXPORT int CpDecodeSomethingElse(const char* path, char* buffer, int size) {
    (void)path;
    (void)buffer;
    return size;
}
#else
CP_EXPORT int CpDecode(const char* path, char* buffer, int size) {
    if (strstr(path, "fail") != NULL) {
        snprintf(buffer, (size_t)size, "never:shown");
        return 0;
    }
    if (strstr(path, "full") != NULL) {
        for (int i = 0; i < size; ++i)
            buffer[i] = (char)(i % 8 == 7 ? ':' : 'a' + i % 8);
        return 1;
    }
    if (strstr(path, "sjis") != NULL) {
        /* "日本:写真" in Shift-JIS */
        static const char items[] = "\x93\xfa\x96\x7b:\x8e\xca\x90\x5e";
        memcpy(buffer, items, sizeof items);
        return 1;
    }
    if (strstr(path, "crash") != NULL) {
        volatile char* nowhere = NULL;
        *nowhere = 1;
        return 1;
    }
    snprintf(buffer, (size_t)size, "ok:%d:%s:", size, path);
    return 1;
}
#endif
