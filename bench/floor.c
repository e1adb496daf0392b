/* The floor for a whole run: a program that only reads the image and writes a file of the
 * result's size, then exits. Built static like velkor; bench/compare.sh times it beside velkor.
 *   floor IMAGE OUTPUT SIZE [LISTING_SIZE]
 * With a listing size it also does the file work that every velkor run does: it writes a listing
 * of that size and an empty temporary file, writes the result beside OUTPUT and renames it over
 * OUTPUT, and removes the listing and the temporary file. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

static char buffer[1 << 16];

static int WriteFile(const char* name, long size) {
    int out = open(name, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (out < 0) return 1;
    for (long left = size; left > 0;) {
        long part = left < (long)sizeof buffer ? left : (long)sizeof buffer;
        if (write(out, buffer, (size_t)part) != part) return 1;
        left -= part;
    }
    return close(out) != 0;
}

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    int in = open(argv[1], O_RDONLY);
    if (in < 0) return 1;
    while (read(in, buffer, sizeof buffer) > 0) {
    }
    close(in);
    if (argc < 5) return WriteFile(argv[2], atol(argv[3]));
    char partial[4096];
    snprintf(partial, sizeof partial, "%s.partial", argv[2]);
    if (WriteFile("floor.lst", atol(argv[4])) || WriteFile("floor.tmp", 0) ||
        WriteFile(partial, atol(argv[3])) || rename(partial, argv[2]) != 0) {
        return 1;
    }
    return unlink("floor.lst") != 0 || unlink("floor.tmp") != 0;
}
