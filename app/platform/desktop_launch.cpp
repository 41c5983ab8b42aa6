#include "app/platform/desktop_launch.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace brumkey::os {

bool StartDetached(const std::string& program, const std::vector<std::string>& args) {
  if (program.empty()) return false;
  // Everything the children need is built before fork: after it only
  // async-signal-safe calls are allowed.
  std::vector<std::string> owned;
  owned.push_back(program);
  owned.insert(owned.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : owned) argv.push_back(s.data());
  argv.push_back(nullptr);

  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return false;
  const pid_t child = fork();
  if (child < 0) {
    close(report[0]);
    close(report[1]);
    return false;
  }
  if (child == 0) {
    setsid();
    const pid_t grandchild = fork();
    if (grandchild != 0) _exit(grandchild < 0 ? 1 : 0);
    const int devnull = open("/dev/null", O_RDWR);
    if (devnull >= 0) {
      dup2(devnull, 0);
      dup2(devnull, 1);
      dup2(devnull, 2);
    }
    execvp(argv[0], argv.data());
    const int err = errno;
    (void)!write(report[1], &err, sizeof err);  // the exec failed
    _exit(127);
  }
  close(report[1]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  // A successful exec closes the pipe without writing.
  int err = 0;
  ssize_t n;
  while ((n = read(report[0], &err, sizeof err)) < 0 && errno == EINTR) {
  }
  close(report[0]);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 && n == 0;
}

bool OpenWithDesktop(const std::string& target) {
  if (target.empty()) return false;
  return StartDetached("xdg-open", {target});
}

}  // namespace brumkey::os
