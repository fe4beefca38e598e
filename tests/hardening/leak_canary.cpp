// Leaks one block on purpose: the leak checker must report it when the process ends.

char* volatile lost = nullptr;

int main() {
  lost = new char[64];
  lost = nullptr;
  return 0;
}
