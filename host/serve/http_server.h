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
  size_t open_streams() const;
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
  bool polling_ = false;
};

// SIGINT/SIGTERM (console control handler on Windows) set a flag instead of
// killing the process.
void watch_for_stop_request();
bool stop_requested();
