/* The floor of a run: writes the same number of bytes as a ZANDOVIR run of n nodes
 * (four tables of 74n bytes, a report of 752 + 296n bytes) with plain 64 KiB write()
 * calls of ready bytes.  Usage: write_baseline N  (in the folder to write). */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static void writeBytes(const char* name, unsigned long long total) {
  static char block[65536];
  memset(block, ' ', sizeof block);
  int fd = open(name, O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (fd < 0) { perror(name); exit(1); }
  while (total > 0) {
    size_t take = total < sizeof block ? (size_t)total : sizeof block;
    if (write(fd, block, take) != (ssize_t)take) { perror(name); exit(1); }
    total -= take;
  }
  close(fd);
}

int main(int argc, char** argv) {
  unsigned long long n = argc > 1 ? strtoull(argv[1], NULL, 10) : 1000000ull;
  const char* tables[] = {"T.dat", "u.dat", "e.dat", "s.dat"};
  for (int i = 0; i < 4; ++i) writeBytes(tables[i], 74ull * n);
  writeBytes("saida.txt", 752ull + 296ull * n);
  return 0;
}
