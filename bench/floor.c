/* The floor for a whole run: a program that only reads the image and writes a file of the
 * result's size, then exits. Built static like velkor; bench/compare.sh times it beside velkor.
 *   floor IMAGE OUTPUT SIZE */
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    static char buffer[1 << 16];
    int in = open(argv[1], O_RDONLY);
    if (in < 0) return 1;
    while (read(in, buffer, sizeof buffer) > 0) {
    }
    close(in);
    int out = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (out < 0) return 1;
    for (long left = atol(argv[3]); left > 0;) {
        long part = left < (long)sizeof buffer ? left : (long)sizeof buffer;
        if (write(out, buffer, (size_t)part) != part) return 1;
        left -= part;
    }
    return close(out) != 0;
}
