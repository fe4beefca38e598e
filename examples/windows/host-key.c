/* Writes a key of the host's own into qeloweather.ini (a setting in a section of the host's, say)
 * without losing it to a run of qeloweather.exe that writes the file at the same time, and
 * without losing any of the run's keys:
 *
 *   C:\qelo> host-key.exe C:\qelo\qeloweather.ini host theme dark
 *
 * qeloweather.exe holds a named mutex from its first write to its closing flush. Its name is
 * "Local\qeloweather:" followed by the file's full path, lower-cased by CharLowerBuffW, with
 * every "\" turned into "/", e.g. Local\qeloweather:c:/qelo/qeloweather.ini. Holding the same
 * mutex, this program writes its key with WritePrivateProfileStringW (which keeps a UTF-16LE
 * file UTF-16LE) and releases the mutex; a run waits for it meanwhile, and it for a run. A
 * process that ended while holding the mutex leaves it abandoned, and the wait takes it over.
 * A host that reads the file under the same mutex reads one run's complete set of keys.
 *
 * Exit code 0 when written; 1 with a reason on standard error.
 * Build: cl host-key.c user32.lib, or x86_64-w64-mingw32-gcc -municode host-key.c -o host-key.exe
 */
#include <stdio.h>
#include <wchar.h>
#include <windows.h>

/* The wait for a run's writes, which take milliseconds. */
#define LOCK_WAIT_MS 30000

int wmain(int argc, wchar_t **argv) {
  static const wchar_t prefix[] = L"Local\\qeloweather:";
  const size_t prefix_length = sizeof prefix / sizeof *prefix - 1;
  wchar_t path[MAX_PATH];
  wchar_t name[sizeof prefix / sizeof *prefix + MAX_PATH];
  DWORD length, i, waited;
  HANDLE mutex;
  BOOL written;

  if (argc != 5) {
    fputws(L"usage: host-key.exe INI SECTION KEY VALUE\n", stderr);
    return 2;
  }
  length = GetFullPathNameW(argv[1], MAX_PATH, path, NULL);
  if (length == 0 || length >= MAX_PATH) {
    fputws(L"host-key.exe: the path is too long or not valid\n", stderr);
    return 1;
  }
  /* The mutex's name: the prefix, then the full path lower-cased with "/" for "\". */
  wmemcpy(name, prefix, prefix_length);
  wmemcpy(name + prefix_length, path, length + 1);
  CharLowerBuffW(name + prefix_length, length);
  for (i = 0; i < length; ++i) {
    if (name[prefix_length + i] == L'\\') name[prefix_length + i] = L'/';
  }

  mutex = CreateMutexW(NULL, FALSE, name);
  if (mutex == NULL) {
    fputws(L"host-key.exe: cannot open the lock\n", stderr);
    return 1;
  }
  waited = WaitForSingleObject(mutex, LOCK_WAIT_MS);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    CloseHandle(mutex);
    fputws(L"host-key.exe: a run of qeloweather.exe holds the file for too long\n", stderr);
    return 1;
  }
  written = WritePrivateProfileStringW(argv[2], argv[3], argv[4], path);
  ReleaseMutex(mutex);
  CloseHandle(mutex);
  if (!written) {
    fputws(L"host-key.exe: cannot write the file\n", stderr);
    return 1;
  }
  return 0;
}
