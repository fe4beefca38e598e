/* The floor of a whole run: the least work that gives its durable result. The page's host looked
 * up in the hosts file, as the resolver would; one HTTP/1.1 GET; the response read to the end
 * of its Content-Length body, every byte of which is looked at once (its line ends counted);
 * then one commit of a ~600-byte INI text: a temporary file in the file's folder, write,
 * fdatasync, rename over the file, fsync of the folder. Static, no locale, no checks beyond the
 * calls' results.
 *
 * Built with FLOOR_WITH_LIBRARY_SERVICES (durable_floor_services), the same work through the C
 * library's services that a shipped program cannot do without: linked dynamically, the host
 * looked up by getaddrinfo, and the text stamped with the local time in the locale's date and
 * time formats.
 *
 *   durable_floor URL FILE      e.g. http://www.weather.com.cn/weather/101230101.shtml x.ini
 *   durable_floor               nothing: the start of a static program alone
 */
#define _GNU_SOURCE
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>
#ifdef FLOOR_WITH_LIBRARY_SERVICES
#include <locale.h>
#include <netdb.h>
#include <time.h>
#endif

static char page[16 << 20];

#ifdef FLOOR_WITH_LIBRARY_SERVICES
/* 1 with NAME's first IPv4 address put in ADDRESS, 0 when the resolver finds none. */
static int LookUp(const char* name, struct in_addr* address) {
  const struct addrinfo hints = {.ai_family = AF_INET, .ai_socktype = SOCK_STREAM};
  struct addrinfo* found;
  if (getaddrinfo(name, NULL, &hints, &found) != 0) return 0;
  *address = ((const struct sockaddr_in*)found->ai_addr)->sin_addr;
  freeaddrinfo(found);
  return 1;
}

/* The local time in the locale's date and time formats, as `date +'%x %X'` prints it. */
static const char* Stamp(void) {
  static char stamp[256];
  locale_t time_locale = newlocale(LC_TIME_MASK, "", (locale_t)0);
  if (!time_locale) time_locale = newlocale(LC_TIME_MASK, "C", (locale_t)0);
  const time_t now = time(NULL);
  struct tm local;
  localtime_r(&now, &local);
  strftime_l(stamp, sizeof stamp, "%x %X", &local, time_locale);
  freelocale(time_locale);
  return stamp;
}
#else
/* 1 with NAME's first IPv4 address in the hosts file put in ADDRESS, 0 when it has none. */
static int LookUp(const char* name, struct in_addr* address) {
  static char hosts[1 << 16];
  const int fd = open("/etc/hosts", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  const ssize_t size = read(fd, hosts, sizeof hosts - 1);
  close(fd);
  if (size < 0) return 0;
  hosts[size] = '\0';
  char* line_end;
  for (char* line = strtok_r(hosts, "\n", &line_end); line;
       line = strtok_r(NULL, "\n", &line_end)) {
    line[strcspn(line, "#")] = '\0';
    char* word_end;
    const char* first = strtok_r(line, " \t", &word_end);
    if (!first || inet_pton(AF_INET, first, address) != 1) continue;
    for (const char* alias; (alias = strtok_r(NULL, " \t", &word_end));) {
      if (strcasecmp(alias, name) == 0) return 1;
    }
  }
  return 0;
}

static const char* Stamp(void) { return "none"; }
#endif

/* The body's size, its bytes at BODY; -1 on any failure. */
static long Fetch(const char* host, const char* target, const char** body) {
  struct sockaddr_in peer = {.sin_family = AF_INET, .sin_port = htons(80)};
  if (!LookUp(host, &peer.sin_addr)) return -1;
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || connect(fd, (struct sockaddr*)&peer, sizeof peer) != 0) return -1;
  char request[1024];
  const int length =
      snprintf(request, sizeof request, "GET %s HTTP/1.1\r\nHost: %s\r\n\r\n", target, host);
  if (send(fd, request, (size_t)length, MSG_NOSIGNAL) != length) return -1;
  size_t size = 0;
  long head = -1, total = -1;
  while (total < 0 || (long)size < total) {
    const ssize_t count = recv(fd, page + size, sizeof page - 1 - size, 0);
    if (count <= 0) return -1;
    size += (size_t)count;
    if (head < 0) {
      page[size] = '\0';
      const char* end = strstr(page, "\r\n\r\n");
      const char* field = strcasestr(page, "\r\nContent-Length:");
      if (!end || !field || field > end) continue;
      head = end + 4 - page;
      total = head + atol(field + 17);
    }
  }
  close(fd);
  *body = page + head;
  return total - head;
}

static int Commit(const char* file, const char* text, size_t size) {
  char folder[4096], temporary[4096];
  snprintf(folder, sizeof folder, "%s", file);
  char* slash = strrchr(folder, '/');
  if (slash) {
    *slash = '\0';
  } else {
    strcpy(folder, ".");
  }
  snprintf(temporary, sizeof temporary, "%s/.floor.new", folder);
  const int fd = open(temporary, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return -1;
  const int written = write(fd, text, size) == (ssize_t)size && fdatasync(fd) == 0;
  if (close(fd) != 0 || !written || rename(temporary, file) != 0) return -1;
  const int directory = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  return directory >= 0 && fsync(directory) == 0 && close(directory) == 0 ? 0 : -1;
}

int main(int argc, char** argv) {
  if (argc == 1) return 0;
  if (argc != 3 || strncmp(argv[1], "http://", 7) != 0) return 2;
  char host[256];
  const char* target = strchr(argv[1] + 7, '/');
  if (!target || target - (argv[1] + 7) >= (long)sizeof host) return 2;
  snprintf(host, sizeof host, "%.*s", (int)(target - (argv[1] + 7)), argv[1] + 7);
  const char* body;
  const long size = Fetch(host, target, &body);
  if (size < 0) return 1;
  long lines = 0;
  for (long i = 0; i < size; ++i) lines += body[i] == '\n';
  char text[1024];
  int length = snprintf(text, sizeof text, "[qelo]\nlines=%ld\nstamp=%s\n", lines, Stamp());
  for (int key = 1; key < 17; ++key) {
    length += snprintf(text + length, sizeof text - (size_t)length,
                       "key%02d=the value of key %02d, one line\n", key, key);
  }
  return Commit(argv[2], text, (size_t)length) == 0 ? 0 : 1;
}
