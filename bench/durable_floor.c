/* The floor of a whole run: the least a program can do for the same durable result. One GET of
 * the page over a socket to a numeric address, read to the end of its Content-Length body, then
 * 17 atomic replacements of the file, each a named temporary file whose data is synced
 * (fdatasync) before its rename (the file growing by one key line each time), and the folder
 * synced once at the end. Statically linked, no parsing, no locale, no checks beyond the
 * system calls' results.
 *
 *   durable_floor ADDRESS PORT TARGET FILE      e.g. 127.0.0.1 80 /weather/101230101.shtml x.ini
 */
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

static char page[1 << 20];

static int Fetch(const char* address, int port, const char* target) {
  struct sockaddr_in peer = {.sin_family = AF_INET, .sin_port = htons((unsigned short)port)};
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0 || inet_pton(AF_INET, address, &peer.sin_addr) != 1 ||
      connect(fd, (struct sockaddr*)&peer, sizeof peer) != 0) {
    return -1;
  }
  char request[512];
  const int length = snprintf(request, sizeof request,
                              "GET %s HTTP/1.1\r\nHost: www.weather.com.cn\r\n\r\n", target);
  if (send(fd, request, (size_t)length, 0) != length) return -1;
  size_t size = 0;
  long total = -1;
  while (size < sizeof page - 1) {
    const ssize_t count = recv(fd, page + size, sizeof page - 1 - size, 0);
    if (count <= 0) break;
    size += (size_t)count;
    page[size] = '\0';
    const char* end = strstr(page, "\r\n\r\n");
    const char* field = strstr(page, "Content-Length:");
    if (total < 0 && end && field) total = (end - page) + 4 + atol(field + 15);
    if (total >= 0 && (long)size >= total) break;
  }
  close(fd);
  return total >= 0 && (long)size >= total ? 0 : -1;
}

static int Replace(const char* file, const char* bytes, size_t size) {
  char temporary[4096];
  snprintf(temporary, sizeof temporary, "%s.tmp", file);
  const int fd = open(temporary, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return -1;
  const int written = write(fd, bytes, size) == (ssize_t)size && fdatasync(fd) == 0;
  close(fd);
  return written && rename(temporary, file) == 0 ? 0 : -1;
}

int main(int argc, char** argv) {
  if (argc != 5 || Fetch(argv[1], atoi(argv[2]), argv[3]) != 0) return 1;
  static char text[8192] = "[qelo]\n";
  size_t size = strlen(text);
  for (int key = 0; key < 17; ++key) {
    size +=
        (size_t)snprintf(text + size, sizeof text - size, "key%d=value of the key %d\n", key, key);
    if (Replace(argv[4], text, size) != 0) return 1;
  }
  char folder[4096];
  snprintf(folder, sizeof folder, "%s", argv[4]);
  char* slash = strrchr(folder, '/');
  if (slash) *slash = '\0';
  const int directory = open(slash ? folder : ".", O_RDONLY | O_DIRECTORY);
  return directory >= 0 && fsync(directory) == 0 ? 0 : 1;
}
