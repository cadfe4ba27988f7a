/* Stands in for a registered application: appends one line to the file
   named by VEMRA_LAUNCH_RECORD with its working folder and its arguments,
   separated by tabs. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

int main(int argc, char** argv) {
    const char* record = getenv("VEMRA_LAUNCH_RECORD");
    char line[8192];
    char folder[4096];
    size_t used = 0;
    if (record == NULL || getcwd(folder, sizeof folder) == NULL)
        return 1;
    used += (size_t)snprintf(line, sizeof line, "%s", folder);
    for (int i = 1; i < argc && used < sizeof line; ++i)
        used += (size_t)snprintf(line + used, sizeof line - used, "\t%s", argv[i]);
    if (used >= sizeof line - 1)
        used = sizeof line - 2;
    line[used++] = '\n';
    int fd = open(record, O_WRONLY | O_APPEND | O_CREAT, 0600);
    if (fd < 0)
        return 1;
    /* One write per line, so lines of processes running together never mix. */
    ssize_t written = write(fd, line, used);
    close(fd);
    return written == (ssize_t)used ? 0 : 1;
}
