/* Runs commands alternately and prints how long each took, in microseconds: one line per round,
 * the commands' times in the order given. Each round runs every command once, in the given order
 * in even rounds and in reverse in odd ones, so that neither a command's place in the round nor
 * a change in the machine's load favours one of them. A command is started with posix_spawn
 * (no copy of this process), so the times hold little beyond the command's own run. Ends with 1
 * when a command cannot start or ends with a status other than 0. The commands' output goes to
 * standard error.
 *
 *   alternate_runs ROUNDS COMMAND [ARGUMENT...] [';' COMMAND [ARGUMENT...]]...
 */
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>

extern char** environ;

static long Micros(void) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000000L + now.tv_nsec / 1000;
}

int main(int argc, char** argv) {
  enum { kMaxCommands = 16 };
  char** commands[kMaxCommands];
  int count = 0;
  const int rounds = argc > 2 ? atoi(argv[1]) : 0;
  if (rounds <= 0) {
    fprintf(stderr, "usage: alternate_runs ROUNDS COMMAND [ARGUMENT...] [';' COMMAND...]...\n");
    return 2;
  }
  commands[count++] = argv + 2;
  for (int i = 2; i < argc; ++i) {
    if (strcmp(argv[i], ";") != 0) continue;
    argv[i] = NULL;
    if (count == kMaxCommands || i + 1 == argc) return 2;
    commands[count++] = argv + i + 1;
  }
  posix_spawn_file_actions_t output;
  posix_spawn_file_actions_init(&output);
  posix_spawn_file_actions_adddup2(&output, 2, 1);
  long took[kMaxCommands];
  for (int round = 0; round < rounds; ++round) {
    for (int k = 0; k < count; ++k) {
      const int c = round % 2 ? count - 1 - k : k;
      pid_t child;
      int status;
      const long start = Micros();
      if (posix_spawnp(&child, commands[c][0], &output, NULL, commands[c], environ) != 0 ||
          waitpid(child, &status, 0) != child) {
        fprintf(stderr, "alternate_runs: cannot run %s\n", commands[c][0]);
        return 1;
      }
      took[c] = Micros() - start;
      if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fprintf(stderr, "alternate_runs: %s ended with status %d\n", commands[c][0], status);
        return 1;
      }
    }
    for (int c = 0; c < count; ++c) printf(c + 1 < count ? "%ld " : "%ld\n", took[c]);
  }
  return 0;
}
