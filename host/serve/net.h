// A thin layer over the system's TCP sockets (POSIX or Winsock), enough for
// a single-threaded server over select() and for the clients of its tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace net {

// An int descriptor on POSIX, a SOCKET handle on Windows.
using Socket = intptr_t;
inline constexpr Socket kInvalidSocket = -1;

enum class IoStatus { kOk, kWouldBlock, kClosed, kError };

struct IoResult {
  IoStatus status = IoStatus::kOk;
  size_t bytes = 0;  // moved, for kOk
};

// A non-blocking socket listening on address:port (port 0: any free one);
// kInvalidSocket with the system's reason in `reason` on failure.
Socket listen_tcp(const std::string& address, uint16_t port,
                  std::string& reason);
uint16_t local_port(Socket socket);

// The next waiting connection, non-blocking; kInvalidSocket when none.
Socket accept_connection(Socket listener);

// A connection to address:port, made blocking and left non-blocking.
Socket connect_tcp(const std::string& address, uint16_t port,
                   std::string& reason);

IoResult receive_bytes(Socket socket, char* buffer, size_t size);
IoResult send_bytes(Socket socket, std::string_view bytes);
// No more bytes will be sent; the peer reads the end of the stream.
void shutdown_sending(Socket socket);
void close_socket(Socket socket);

struct SocketWait {
  Socket socket = kInvalidSocket;
  bool want_read = false;
  bool want_write = false;
  bool readable = false;  // set by wait_for_sockets
  bool writable = false;
};

// Waits at most timeout_ms for one of the sockets to become ready, and marks
// those that are. Returns early, with none marked, when a signal arrives.
void wait_for_sockets(std::vector<SocketWait>& sockets, int timeout_ms);

// Ctrl-C and termination requests set a flag instead of ending the process;
// a second Ctrl-C ends it.
void watch_for_stop_signals();
bool stop_signalled();

}  // namespace net
