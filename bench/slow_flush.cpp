// A library preloaded into the program by bench/slow_disk.sh: every fsync and
// fdatasync first waits CORVANE_FLUSH_DELAY_MS milliseconds (0 or unset: no
// wait), then does the real call. It stands for a disk that is slow to flush:
// a USB stick, an SD card, or a virus scanner behind every flush.
#include <dlfcn.h>
#include <time.h>

#include <cerrno>
#include <cstdlib>

namespace {

long DelayMs() {
  static const long delay = [] {
    const char* text = std::getenv("CORVANE_FLUSH_DELAY_MS");
    const long value = text != nullptr ? std::strtol(text, nullptr, 10) : 0;
    return value > 0 ? value : 0;
  }();
  return delay;
}

void Wait() {
  const long ms = DelayMs();
  if (ms == 0) return;
  timespec left{ms / 1000, (ms % 1000) * 1000000};
  const int saved = errno;
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
  errno = saved;
}

using FlushCall = int (*)(int);

FlushCall Real(const char* name) { return reinterpret_cast<FlushCall>(dlsym(RTLD_NEXT, name)); }

}  // namespace

extern "C" int fsync(int fd) {
  static const FlushCall real = Real("fsync");
  Wait();
  return real(fd);
}

extern "C" int fdatasync(int fd) {
  static const FlushCall real = Real("fdatasync");
  Wait();
  return real(fd);
}
