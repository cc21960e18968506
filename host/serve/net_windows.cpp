// Winsock 2 sockets.
//
// Winsock's fd_set is a counted array of FD_SETSIZE handles (64 unless set
// before the header); room for every connection the server keeps.
#define FD_SETSIZE 1024
#define WIN32_LEAN_AND_MEAN
#include <winsock2.h>
#include <ws2tcpip.h>
// After winsock2.h, which must come before windows.h.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <climits>

#include "host/serve/net.h"

namespace net {
namespace {

void start_winsock() {
  static bool started = false;
  if (started) return;
  WSADATA data;
  started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

std::string error_text(int code) {
  char text[256] = {};
  const DWORD size =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, DWORD(code), 0, text, sizeof text, nullptr);
  std::string out(text, size);
  while (!out.empty() && (out.back() == '\r' || out.back() == '\n' ||
                          out.back() == '.' || out.back() == ' '))
    out.pop_back();
  return out.empty() ? "error " + std::to_string(code) : out;
}

bool make_non_blocking(SOCKET s) {
  u_long non_blocking = 1;
  return ioctlsocket(s, FIONBIO, &non_blocking) == 0;
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
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = AI_NUMERICSERV | (passive ? AI_PASSIVE : 0);
  const std::string service = std::to_string(port);
  const int error = getaddrinfo(address.empty() ? nullptr : address.c_str(),
                                service.c_str(), &hints, &list.first);
  if (error != 0) {
    reason = error_text(error);
    return false;
  }
  return true;
}

// The first address the name resolves to on which a socket can be made and
// `finish` (bind and listen, or connect) succeeds, made non-blocking.
template <typename Finish>
Socket first_socket(const std::string& address, uint16_t port, bool passive,
                    std::string& reason, Finish finish) {
  start_winsock();
  AddressList list;
  if (!resolve(address, port, passive, list, reason)) return kInvalidSocket;
  reason = "no usable address";
  for (const addrinfo* at = list.first; at; at = at->ai_next) {
    const SOCKET s = socket(at->ai_family, at->ai_socktype, at->ai_protocol);
    if (s == INVALID_SOCKET) {
      reason = error_text(WSAGetLastError());
      continue;
    }
    if (finish(s, *at) && make_non_blocking(s)) return Socket(s);
    reason = error_text(WSAGetLastError());
    closesocket(s);
  }
  return kInvalidSocket;
}

// The console's control handler runs on a thread of its own.
std::atomic<bool> stop_flag{false};

BOOL WINAPI on_console_control(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT &&
      type != CTRL_CLOSE_EVENT)
    return FALSE;
  // A second Ctrl-C falls through to the default handler, which ends the
  // process.
  if (stop_flag.exchange(true)) return FALSE;
  // Closing the console ends the process as soon as this returns: wait so
  // that the loop can stop the host first; its exit ends this thread.
  if (type == CTRL_CLOSE_EVENT) Sleep(5000);
  return TRUE;
}

}  // namespace

Socket listen_tcp(const std::string& address, uint16_t port,
                  std::string& reason) {
  return first_socket(address, port, true, reason,
                      [](SOCKET s, const addrinfo& at) {
                        // Windows lets SO_REUSEADDR take a port another program
                        // listens on; the exclusive option refuses that
                        // instead.
                        const BOOL yes = TRUE;
                        return setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                                          reinterpret_cast<const char*>(&yes),
                                          sizeof yes) == 0 &&
                               bind(s, at.ai_addr, int(at.ai_addrlen)) == 0 &&
                               listen(s, SOMAXCONN) == 0;
                      });
}

uint16_t local_port(Socket socket) {
  sockaddr_storage address{};
  int size = sizeof address;
  if (getsockname(SOCKET(socket), reinterpret_cast<sockaddr*>(&address),
                  &size) != 0)
    return 0;
  if (address.ss_family == AF_INET)
    return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
  if (address.ss_family == AF_INET6)
    return ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port);
  return 0;
}

Socket accept_connection(Socket listener) {
  while (true) {
    const SOCKET s = accept(SOCKET(listener), nullptr, nullptr);
    if (s == INVALID_SOCKET) {
      if (WSAGetLastError() == WSAECONNRESET) continue;
      return kInvalidSocket;
    }
    if (!make_non_blocking(s)) {
      closesocket(s);
      continue;
    }
    // Events and answers are small writes that follow each other: held
    // back for the peer's delayed acknowledgement they would wait 40 ms.
    const BOOL yes = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&yes),
               sizeof yes);
    return Socket(s);
  }
}

Socket connect_tcp(const std::string& address, uint16_t port,
                   std::string& reason) {
  return first_socket(address, port, false, reason,
                      [](SOCKET s, const addrinfo& at) {
                        return connect(s, at.ai_addr, int(at.ai_addrlen)) == 0;
                      });
}

IoResult receive_bytes(Socket socket, char* buffer, size_t size) {
  const int got =
      recv(SOCKET(socket), buffer, int(std::min<size_t>(size, INT_MAX)), 0);
  if (got > 0) return {IoStatus::kOk, size_t(got)};
  if (got == 0) return {IoStatus::kClosed, 0};
  if (WSAGetLastError() == WSAEWOULDBLOCK) return {IoStatus::kWouldBlock, 0};
  return {IoStatus::kError, 0};
}

IoResult send_bytes(Socket socket, std::string_view bytes) {
  const int sent = send(SOCKET(socket), bytes.data(),
                        int(std::min<size_t>(bytes.size(), INT_MAX)), 0);
  if (sent >= 0) return {IoStatus::kOk, size_t(sent)};
  if (WSAGetLastError() == WSAEWOULDBLOCK) return {IoStatus::kWouldBlock, 0};
  return {IoStatus::kError, 0};
}

void shutdown_sending(Socket socket) { shutdown(SOCKET(socket), SD_SEND); }

void close_socket(Socket socket) {
  if (socket != kInvalidSocket) closesocket(SOCKET(socket));
}

void wait_for_sockets(std::vector<SocketWait>& sockets, int timeout_ms) {
  fd_set read_set;
  fd_set write_set;
  FD_ZERO(&read_set);
  FD_ZERO(&write_set);
  size_t watched = 0;
  for (SocketWait& wait : sockets) {
    wait.readable = wait.writable = false;
    if (wait.socket == kInvalidSocket || watched == FD_SETSIZE) continue;
    if (wait.want_read) FD_SET(SOCKET(wait.socket), &read_set);
    if (wait.want_write) FD_SET(SOCKET(wait.socket), &write_set);
    if (wait.want_read || wait.want_write) ++watched;
  }
  timeout_ms = std::max(timeout_ms, 0);
  // Winsock's select() refuses empty sets instead of sleeping.
  if (watched == 0) {
    Sleep(DWORD(timeout_ms));
    return;
  }
  timeval timeout{};
  timeout.tv_sec = timeout_ms / 1000;
  timeout.tv_usec = timeout_ms % 1000 * 1000;
  if (select(0, &read_set, &write_set, nullptr, &timeout) <= 0) return;
  for (SocketWait& wait : sockets) {
    if (wait.socket == kInvalidSocket) continue;
    wait.readable = wait.want_read && FD_ISSET(SOCKET(wait.socket), &read_set);
    wait.writable =
        wait.want_write && FD_ISSET(SOCKET(wait.socket), &write_set);
  }
}

void watch_for_stop_signals() {
  SetConsoleCtrlHandler(on_console_control, TRUE);
}

bool stop_signalled() { return stop_flag.load(); }

}  // namespace net
