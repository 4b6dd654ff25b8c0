// Kalmore: ep2 interface tester.
#include <cstdio>

int main() {
  std::puts("Kalmore: the libraries are built; the program has no window yet.");
  return 0;
}
