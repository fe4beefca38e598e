// Overflows a signed integer on purpose (the operand comes from the command line, so that the
// compiler cannot see it coming): UBSan must report it.

#include <cstdlib>

int main(int argc, char** argv) {
  const int value = argc > 1 ? std::atoi(argv[1]) : 2147483647;
  volatile int sum = value + 1;
  return sum == 0 ? 1 : 0;
}
