#include <cstdio>

int main() {
  std::puts("quorvale-batch: not built yet");
  return 2;
}
