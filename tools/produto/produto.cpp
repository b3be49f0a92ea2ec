// The demo product: stands in for Mercanta.exe. It notes its start in the folder it runs in and
// then runs until it is ended, as the real point-of-sale program would.
#include <unistd.h>

#include <cstdio>
#include <ctime>

int main() {
  if (std::FILE* f = std::fopen("Mercanta.log", "a")) {
    std::fprintf(f, "iniciado %ld pid %d\n", static_cast<long>(std::time(nullptr)),
                 static_cast<int>(getpid()));
    std::fclose(f);
  }
  for (;;) pause();
}
