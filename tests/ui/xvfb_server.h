#pragma once
// Starts a private Xvfb (no TCP, display number chosen by the server) and
// stops it again. Used by the x11 tests and the present benchmark.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

extern char** environ;

namespace kelvo::testing {

class XvfbServer {
 public:
  ~XvfbServer() { Stop(); }

  // geometry like "1280x1024x24". False with *why set when it cannot start.
  bool Start(std::string* why, const std::string& geometry = "1280x1024x24") {
    if (pid_ > 0) return true;
    int fds[2];
    if (::pipe(fds) != 0) {
      *why = "pipe failed";
      return false;
    }
    std::string fd = std::to_string(fds[1]);
    std::vector<std::string> args{"Xvfb", "-displayfd", fd, "-screen", "0", geometry,
                                  "-nolisten", "tcp", "-noreset", "-br", "+extension", "XTEST"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addclose(&fa, fds[0]);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    int rc = posix_spawnp(&pid_, "Xvfb", &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    ::close(fds[1]);
    if (rc != 0) {
      ::close(fds[0]);
      pid_ = -1;
      *why = "Xvfb is not installed (apt-get install xvfb)";
      return false;
    }
    // The server writes its display number once it accepts connections.
    std::string num;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
      pollfd p{fds[0], POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      char c;
      ssize_t n = ::read(fds[0], &c, 1);
      if (n <= 0) break;
      if (c == '\n') break;
      num.push_back(c);
    }
    ::close(fds[0]);
    if (num.empty()) {
      Stop();
      *why = "Xvfb did not start";
      return false;
    }
    display_ = ":" + num;
    return true;
  }

  void Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
  }

  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

}  // namespace kelvo::testing
