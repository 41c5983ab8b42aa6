#include "app/platform/single_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>

#include "app/platform/os.h"
#include "util/text.h"

namespace brumkey {
namespace {

std::string SafeName(const std::wstring& name) {
  std::string s = WideToUtf8(name);
  for (auto& c : s)
    if (c == '/' || c == '\0') c = '_';
  return s.empty() ? "Brumkey" : s;
}

bool FillAddress(const std::string& path, sockaddr_un& addr) {
  std::memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  return true;
}

}  // namespace

bool ParseOutsideMessage(const std::string& line, OutsideMessage& out) {
  std::istringstream in(line);
  std::string word;
  in >> word;
  if (word == "show") {
    out = OutsideMessage{};
    std::string rest;
    return !(in >> rest);
  }
  if (word != "msg") return false;
  long long n, w, l;
  if (!(in >> n >> w >> l)) return false;
  std::string rest;
  if (in >> rest) return false;
  if (n <= 0 || n > 0xFFFF) return false;
  out.message = static_cast<unsigned>(n);
  out.wParam = static_cast<long>(w);
  out.lParam = static_cast<long>(l);
  return true;
}

SingleInstance::SingleInstance(const std::wstring& deviceName, std::string runtimeDir) {
  if (runtimeDir.empty()) runtimeDir = os::RuntimeDir();
  if (!os::IsDirectory(runtimeDir)) mkdir(runtimeDir.c_str(), 0700);
  const std::string base = runtimeDir + "/" + SafeName(deviceName);
  lockPath_ = base + ".lock";
  socketPath_ = base + ".sock";
}

SingleInstance::~SingleInstance() {
  if (listenFd_ >= 0) {
    close(listenFd_);
    unlink(socketPath_.c_str());
  }
  if (lockFd_ >= 0) close(lockFd_);
}

bool SingleInstance::Acquire() {
  lockFd_ = open(lockPath_.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
  if (lockFd_ < 0) return true;
  if (flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
    const bool held = errno == EWOULDBLOCK;
    close(lockFd_);
    lockFd_ = -1;
    return !held;
  }
  // The lock is ours, so any socket file left behind is stale.
  unlink(socketPath_.c_str());
  sockaddr_un addr;
  if (!FillAddress(socketPath_, addr)) return true;
  listenFd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listenFd_ < 0) return true;
  if (bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(listenFd_, 8) != 0) {
    close(listenFd_);
    listenFd_ = -1;
  } else {
    chmod(socketPath_.c_str(), 0600);
  }
  return true;
}

bool SingleInstance::Send(const OutsideMessage& msg) const {
  sockaddr_un addr;
  if (!FillAddress(socketPath_, addr)) return false;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  if (ok) {
    const std::string line = msg.message == OutsideMessage::kShow
                                 ? std::string("show\n")
                                 : "msg " + std::to_string(msg.message) + " " +
                                       std::to_string(msg.wParam) + " " + std::to_string(msg.lParam) + "\n";
    ok = send(fd, line.data(), line.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(line.size());
  }
  close(fd);
  return ok;
}

void SingleInstance::SetHandler(std::function<void(const OutsideMessage&)> handler) {
  handler_ = std::move(handler);
}

void SingleInstance::HandleReadable() {
  if (listenFd_ < 0) return;
  for (;;) {
    const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    // Only the same user may steer the program.
    ucred cred{};
    socklen_t len = sizeof cred;
    const bool sameUser = getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 && cred.uid == getuid();
    std::string data;
    if (sameUser) {
      timeval tv{1, 0};
      setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
      char buf[256];
      ssize_t n;
      while (data.size() < 4096 && (n = recv(fd, buf, sizeof buf, 0)) > 0) data.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    std::istringstream lines(data);
    std::string line;
    while (std::getline(lines, line)) {
      OutsideMessage msg;
      if (ParseOutsideMessage(line, msg) && handler_) handler_(msg);
    }
  }
}

bool SingleInstance::WaitAndHandle(int timeoutMs) {
  if (listenFd_ < 0) return false;
  pollfd p{listenFd_, POLLIN, 0};
  if (poll(&p, 1, timeoutMs) <= 0) return false;
  HandleReadable();
  return true;
}

}  // namespace brumkey
