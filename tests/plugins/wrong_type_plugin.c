/*
 * A test-only plug-in whose kind is neither "00IN" nor "00AM": the host must
 * load it, read its information and then refuse it as an unknown kind.
 */
#include <vemra/spi.h>

#include <stdio.h>

SPI_EXPORT int GetPluginInfo(int index, char* buf, int buflen) {
    static const char* const entries[] = {"00XX", "Plug-in of an unknown kind", "*.xx", "Unknown"};
    if (index < 0 || index > 3 || buflen <= 0) {
        return 0;
    }
    snprintf(buf, (size_t)buflen, "%s", entries[index]);
    return (int)strlen(buf);
}

SPI_EXPORT int IsSupported(const char* filename, const void* header) {
    (void)filename;
    (void)header;
    return 1;
}
