#pragma once
// One running copy per device name: a lock file in the runtime directory and
// a Unix socket through which a second start (or a script) talks to it.
#include <functional>
#include <string>

namespace brumkey {

// What arrives on the socket. kShow asks the window to come forward; other
// values are window messages from outside (1691/610 exit, 2022, 1092).
struct OutsideMessage {
  static constexpr unsigned kShow = 0;
  unsigned message = kShow;
  long wParam = 0;
  long lParam = 0;
};

class SingleInstance {
 public:
  // runtimeDir empty: $XDG_RUNTIME_DIR (or a private folder under /tmp).
  explicit SingleInstance(const std::wstring& deviceName, std::string runtimeDir = {});
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // True when no other copy holds the lock; this copy then listens. A lock
  // that cannot be created counts as no other copy.
  bool Acquire();
  // Sends a message to the copy that holds the lock; false if none answers.
  bool Send(const OutsideMessage& msg) const;

  void SetHandler(std::function<void(const OutsideMessage&)> handler);
  // For the UI loop's fd watch: readable means a connection is waiting.
  int ListenFd() const { return listenFd_; }
  // Accepts every waiting connection and hands its messages to the handler.
  void HandleReadable();
  // Waits up to timeoutMs for a connection, then handles it.
  bool WaitAndHandle(int timeoutMs);

  const std::string& SocketPath() const { return socketPath_; }

 private:
  std::string lockPath_;
  std::string socketPath_;
  int lockFd_ = -1;
  int listenFd_ = -1;
  std::function<void(const OutsideMessage&)> handler_;
};

// "show" or "msg <n> <w> <l>"; false for anything else.
bool ParseOutsideMessage(const std::string& line, OutsideMessage& out);

}  // namespace brumkey
