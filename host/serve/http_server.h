// An HTTP server on one thread: non-blocking sockets watched by select(),
// keep-alive connections answered in order, and event streams that stay
// open for what broadcast() sends.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "host/serve/http.h"
#include "host/serve/net.h"

class HttpServer {
 public:
  // "cannot listen on ADDRESS:PORT: REASON" on failure.
  static std::variant<std::unique_ptr<HttpServer>, std::string> listen(
      const std::string& address, uint16_t port, HttpLimits limits = {});
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  uint16_t port() const;

  using Handler = std::function<HttpResponse(const HttpRequest&)>;
  // Waits at most timeout_ms for activity (less once a stop is requested);
  // reads; answers each complete request through `handler`, one at a time,
  // in arrival order; writes what is pending. Bad requests are answered with
  // their status without the handler, and their connection closed.
  void poll(int timeout_ms, const Handler& handler);
  // Queues an event on every open event stream. A stream whose backlog
  // passes the limit is closed.
  void broadcast(std::string_view event, std::string_view data);
  // Event streams and byte streams.
  size_t open_streams() const;

  // An open byte stream: the path it answered, the bytes it has yet to
  // send, and its sender's mark.
  struct ByteStream {
    uint64_t id = 0;
    std::string path;
    size_t backlog = 0;
    int64_t mark = 0;
  };
  std::vector<ByteStream> byte_streams() const;
  // Queues bytes on a byte stream and keeps `mark` with it. False when it
  // is gone, or when its backlog would pass the limit: it is closed then.
  bool send_to_stream(uint64_t id, std::string_view bytes, int64_t mark);
  size_t open_connections() const;

 private:
  using Clock = std::chrono::steady_clock;
  enum class Phase {
    kRequests,  // reading requests, answering them
    kStream,    // an event stream: only writes
    kClosing,   // writes what is left, then ends the connection
    kDraining,  // sent everything; reads and drops until the peer closes
  };
  struct Connection {
    net::Socket socket = net::kInvalidSocket;
    Phase phase = Phase::kRequests;
    uint64_t id = 0;
    bool byte_stream = false;
    std::string stream_path = {};
    int64_t stream_mark = 0;
    std::string input = {};
    std::string output = {};
    size_t output_sent = 0;
    Clock::time_point deadline;
    bool closed = false;  // to be removed
  };

  HttpServer(net::Socket listener, HttpLimits limits);
  void accept_connections();
  void read_from(Connection& connection);
  void answer_requests(Connection& connection, const Handler& handler);
  void write_to(Connection& connection);
  void queue(Connection& connection, std::string bytes);
  void close(Connection& connection);

  net::Socket listener_;
  HttpLimits limits_;
  std::vector<Connection> connections_;
  uint64_t next_id_ = 1;
  bool polling_ = false;
};

// SIGINT/SIGTERM (console control handler on Windows) set a flag instead of
// killing the process.
void watch_for_stop_request();
bool stop_requested();
