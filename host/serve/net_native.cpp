// POSIX sockets.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "host/serve/net.h"

namespace net {
namespace {

#ifndef MSG_NOSIGNAL
#define MSG_NOSIGNAL 0
#endif

// A peer that goes away while we write must not end the process.
void ignore_broken_pipes() {
  static bool done = false;
  if (done) return;
  std::signal(SIGPIPE, SIG_IGN);
  done = true;
}

bool prepare(int fd) {
  const int flags = fcntl(fd, F_GETFL, 0);
  return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0 &&
         fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

struct AddressList {
  addrinfo* first = nullptr;
  ~AddressList() {
    if (first) freeaddrinfo(first);
  }
};

bool resolve(const std::string& address, uint16_t port, bool passive,
             AddressList& list, std::string& reason) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV | (passive ? AI_PASSIVE : 0);
  const std::string service = std::to_string(port);
  const int error = getaddrinfo(address.empty() ? nullptr : address.c_str(),
                                service.c_str(), &hints, &list.first);
  if (error != 0) {
    reason = gai_strerror(error);
    return false;
  }
  return true;
}

// The first address the name resolves to on which a socket can be made and
// `finish` (bind and listen, or connect) succeeds, made non-blocking.
template <typename Finish>
Socket first_socket(const std::string& address, uint16_t port, bool passive,
                    std::string& reason, Finish finish) {
  ignore_broken_pipes();
  AddressList list;
  if (!resolve(address, port, passive, list, reason)) return kInvalidSocket;
  reason = "no usable address";
  for (const addrinfo* at = list.first; at; at = at->ai_next) {
    const int fd = socket(at->ai_family, at->ai_socktype, at->ai_protocol);
    if (fd < 0) {
      reason = std::strerror(errno);
      continue;
    }
    if (finish(fd, *at) && prepare(fd)) return fd;
    reason = std::strerror(errno);
    close(fd);
  }
  return kInvalidSocket;
}

volatile std::sig_atomic_t stop_flag = 0;

void on_stop_signal(int) { stop_flag = 1; }

}  // namespace

Socket listen_tcp(const std::string& address, uint16_t port,
                  std::string& reason) {
  return first_socket(
      address, port, true, reason, [](int fd, const addrinfo& at) {
        const int yes = 1;
        return setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) ==
                   0 &&
               bind(fd, at.ai_addr, at.ai_addrlen) == 0 &&
               listen(fd, SOMAXCONN) == 0;
      });
}

uint16_t local_port(Socket socket) {
  sockaddr_storage address{};
  socklen_t size = sizeof address;
  if (getsockname(int(socket), reinterpret_cast<sockaddr*>(&address), &size) !=
      0)
    return 0;
  if (address.ss_family == AF_INET)
    return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
  if (address.ss_family == AF_INET6)
    return ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port);
  return 0;
}

Socket accept_connection(Socket listener) {
  while (true) {
    const int fd = accept(int(listener), nullptr, nullptr);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return kInvalidSocket;
    }
    // select() cannot watch a descriptor past FD_SETSIZE.
    if (fd >= FD_SETSIZE || !prepare(fd)) {
      close(fd);
      continue;
    }
    // Events and answers are small writes that follow each other: held
    // back for the peer's delayed acknowledgement they would wait 40 ms.
    const int yes = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    return fd;
  }
}

Socket connect_tcp(const std::string& address, uint16_t port,
                   std::string& reason) {
  return first_socket(address, port, false, reason,
                      [](int fd, const addrinfo& at) {
                        return connect(fd, at.ai_addr, at.ai_addrlen) == 0;
                      });
}

IoResult receive_bytes(Socket socket, char* buffer, size_t size) {
  while (true) {
    const ssize_t got = recv(int(socket), buffer, size, 0);
    if (got > 0) return {IoStatus::kOk, size_t(got)};
    if (got == 0) return {IoStatus::kClosed, 0};
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK)
      return {IoStatus::kWouldBlock, 0};
    return {IoStatus::kError, 0};
  }
}

IoResult send_bytes(Socket socket, std::string_view bytes) {
  while (true) {
    const ssize_t sent =
        send(int(socket), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent >= 0) return {IoStatus::kOk, size_t(sent)};
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK)
      return {IoStatus::kWouldBlock, 0};
    return {IoStatus::kError, 0};
  }
}

void shutdown_sending(Socket socket) { shutdown(int(socket), SHUT_WR); }

void close_socket(Socket socket) {
  if (socket != kInvalidSocket) close(int(socket));
}

void wait_for_sockets(std::vector<SocketWait>& sockets, int timeout_ms) {
  fd_set read_set;
  fd_set write_set;
  FD_ZERO(&read_set);
  FD_ZERO(&write_set);
  int highest = -1;
  for (SocketWait& wait : sockets) {
    wait.readable = wait.writable = false;
    const int fd = int(wait.socket);
    if (fd < 0 || fd >= FD_SETSIZE) continue;
    if (wait.want_read) FD_SET(fd, &read_set);
    if (wait.want_write) FD_SET(fd, &write_set);
    if (wait.want_read || wait.want_write) highest = std::max(highest, fd);
  }
  timeval timeout{};
  timeout.tv_sec = std::max(timeout_ms, 0) / 1000;
  timeout.tv_usec = std::max(timeout_ms, 0) % 1000 * 1000;
  // An interrupting signal (EINTR) returns at once: the caller looks at the
  // stop flag.
  if (select(highest + 1, &read_set, &write_set, nullptr, &timeout) <= 0)
    return;
  for (SocketWait& wait : sockets) {
    const int fd = int(wait.socket);
    if (fd < 0 || fd >= FD_SETSIZE) continue;
    wait.readable = wait.want_read && FD_ISSET(fd, &read_set);
    wait.writable = wait.want_write && FD_ISSET(fd, &write_set);
  }
}

void watch_for_stop_signals() {
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART, so that a blocked select() returns; the handler is
  // dropped after the first signal, so that a second one ends a stuck
  // process.
  action.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool stop_signalled() { return stop_flag != 0; }

}  // namespace net
