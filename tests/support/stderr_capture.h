// Capturing what a test's code writes to standard error.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

// Collects what is written to standard error while it lives (through a
// pipe, which no file size limit applies to).
class StderrCapture {
 public:
  StderrCapture() {
    std::fflush(stderr);
    saved_ = dup(STDERR_FILENO);
    if (pipe(fds_) == 0) {
      fcntl(fds_[0], F_SETFL, O_NONBLOCK);
      dup2(fds_[1], STDERR_FILENO);
      close(fds_[1]);
    }
  }
  ~StderrCapture() {
    Restore();
    close(fds_[0]);
  }
  std::string Text() {
    Restore();
    std::string text;
    char buf[4096];
    ssize_t n;
    while ((n = read(fds_[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<std::size_t>(n));
    return text;
  }

 private:
  void Restore() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    dup2(saved_, STDERR_FILENO);
    close(saved_);
    saved_ = -1;
  }
  int fds_[2] = {-1, -1};
  int saved_ = -1;
};
