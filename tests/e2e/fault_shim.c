/* Preloaded into stikkel by the fault tests: makes calls on its temporary
 * save file (a name beginning with "sk1.") fail with EIO.
 * STIKKEL_FAULT names the call (write, fsync, close or rename);
 * STIKKEL_FAULT_COUNT how many such calls fail (default 1);
 * STIKKEL_FAULT_SKIP how many such calls succeed first (default 0);
 * STIKKEL_FAULT_FILE another name prefix for the temporary (the recovery
 * journal's is "tmp."); STIKKEL_FAULT_ENOSPC set: the disk is full;
 * STIKKEL_FAULT_DELAY_MS set: the calls do not fail but take that long.
 * STIKKEL_SLOW_FSYNC_MS: every fsync of such a temporary first takes that
 * many milliseconds (a slow disk), whether or not it then fails. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

static int tracked[1024];
static int left = -1;
static int skip = -1;

static int faulty(const char *call) {
  const char *which = getenv("STIKKEL_FAULT");
  if (!which || strcmp(which, call) != 0) return 0;
  if (left < 0) {
    const char *count = getenv("STIKKEL_FAULT_COUNT");
    const char *first = getenv("STIKKEL_FAULT_SKIP");
    left = count ? atoi(count) : 1;
    skip = first ? atoi(first) : 0;
  }
  if (skip > 0) {
    --skip;
    return 0;
  }
  if (left == 0) return 0;
  --left;
  return 1;
}

/* A slow disk instead of a failing one: the call waits, then is made.
 * Returns whether it did. */
static int slowed(void) {
  const char *delay = getenv("STIKKEL_FAULT_DELAY_MS");
  if (!delay) return 0;
  long ms = atol(delay);
  struct timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
  return 1;
}

static int fault_errno(void) {
  return getenv("STIKKEL_FAULT_ENOSPC") ? ENOSPC : EIO;
}

static int is_temp(const char *path) {
  const char *base = strrchr(path, '/');
  base = base ? base + 1 : path;
  const char *prefix = getenv("STIKKEL_FAULT_FILE");
  if (!prefix) prefix = "sk1.";
  return strncmp(base, prefix, strlen(prefix)) == 0;
}

static int track(int fd, const char *path) {
  if (fd >= 0 && fd < 1024) tracked[fd] = is_temp(path);
  return fd;
}

static int open_with(const char *name, const char *path, int flags, va_list ap) {
  mode_t mode = (flags & O_CREAT) ? (mode_t)va_arg(ap, int) : 0;
  int (*real)(const char *, int, ...) = (int (*)(const char *, int, ...))dlsym(RTLD_NEXT, name);
  return track(real(path, flags, mode), path);
}

int open(const char *path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  int fd = open_with("open", path, flags, ap);
  va_end(ap);
  return fd;
}

int open64(const char *path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  int fd = open_with("open64", path, flags, ap);
  va_end(ap);
  return fd;
}

ssize_t write(int fd, const void *buf, size_t n) {
  ssize_t (*real)(int, const void *, size_t) = (ssize_t (*)(int, const void *, size_t))dlsym(RTLD_NEXT, "write");
  if (fd >= 0 && fd < 1024 && tracked[fd] && faulty("write") && !slowed()) {
    errno = fault_errno();
    return -1;
  }
  return real(fd, buf, n);
}

int fsync(int fd) {
  int (*real)(int) = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
  const char *slow = getenv("STIKKEL_SLOW_FSYNC_MS");
  if (slow && fd >= 0 && fd < 1024 && tracked[fd]) {
    long ms = atol(slow);
    struct timespec pause = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&pause, NULL);
  }
  if (fd >= 0 && fd < 1024 && tracked[fd] && faulty("fsync") && !slowed()) {
    errno = fault_errno();
    return -1;
  }
  return real(fd);
}

int close(int fd) {
  int (*real)(int) = (int (*)(int))dlsym(RTLD_NEXT, "close");
  int fail = fd >= 0 && fd < 1024 && tracked[fd] && faulty("close");
  if (fd >= 0 && fd < 1024) tracked[fd] = 0;
  int r = real(fd);
  if (fail) {
    errno = fault_errno();
    return -1;
  }
  return r;
}

int rename(const char *from, const char *to) {
  int (*real)(const char *, const char *) = (int (*)(const char *, const char *))dlsym(RTLD_NEXT, "rename");
  if (is_temp(from) && faulty("rename")) {
    errno = fault_errno();
    return -1;
  }
  return real(from, to);
}

int renameat2(int olddir, const char *from, int newdir, const char *to, unsigned int flags) {
  int (*real)(int, const char *, int, const char *, unsigned int) =
      (int (*)(int, const char *, int, const char *, unsigned int))dlsym(RTLD_NEXT, "renameat2");
  if (is_temp(from) && faulty("rename")) {
    errno = fault_errno();
    return -1;
  }
  return real(olddir, from, newdir, to, flags);
}
