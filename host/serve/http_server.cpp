#include "host/serve/http_server.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace {

constexpr auto kIdleTimeout = std::chrono::seconds(30);
// After an error answer the peer may still be sending its request: closing
// with unread bytes would reset the connection and could lose the answer, so
// the rest is read and dropped for a while first.
constexpr auto kDrainTimeout = std::chrono::seconds(2);
// A client that sends requests without reading the answers is not read
// further until it catches up.
constexpr size_t kPauseReadingBacklogBytes = 1 << 20;
constexpr size_t kReceiveChunkBytes = 16384;
constexpr int kChunksPerPoll = 16;
constexpr int kAcceptsPerPoll = 64;

char lower_ascii(char c) {
  return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Whether the Connection header lists `option` ("close", "keep-alive").
bool has_connection_option(const HttpRequest& request,
                           std::string_view option) {
  for (const auto& [name, value] : request.headers) {
    if (name != "connection") continue;
    std::string_view rest = value;
    while (!rest.empty()) {
      const size_t comma = rest.find(',');
      std::string_view item = rest.substr(0, comma);
      while (!item.empty() && (item.front() == ' ' || item.front() == '\t'))
        item.remove_prefix(1);
      while (!item.empty() && (item.back() == ' ' || item.back() == '\t'))
        item.remove_suffix(1);
      if (item.size() == option.size() &&
          std::equal(item.begin(), item.end(), option.begin(),
                     [](char a, char b) { return lower_ascii(a) == b; }))
        return true;
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
  }
  return false;
}

bool keeps_alive(const HttpRequest& request) {
  if (has_connection_option(request, "close")) return false;
  return request.version == "HTTP/1.1" ||
         has_connection_option(request, "keep-alive");
}

std::string error_answer(int status, std::string_view reason) {
  HttpResponse response;
  response.status = status;
  response.body = std::string(reason) + "\n";
  response.headers.emplace_back("Connection", "close");
  return format_response(response);
}

}  // namespace

std::variant<std::unique_ptr<HttpServer>, std::string> HttpServer::listen(
    const std::string& address, uint16_t port, HttpLimits limits) {
  std::string reason;
  const net::Socket listener = net::listen_tcp(address, port, reason);
  if (listener == net::kInvalidSocket)
    return "cannot listen on " + address + ":" + std::to_string(port) + ": " +
           reason;
  return std::unique_ptr<HttpServer>(new HttpServer(listener, limits));
}

HttpServer::HttpServer(net::Socket listener, HttpLimits limits)
    : listener_(listener), limits_(limits) {}

HttpServer::~HttpServer() {
  for (Connection& connection : connections_) close(connection);
  net::close_socket(listener_);
}

uint16_t HttpServer::port() const { return net::local_port(listener_); }

size_t HttpServer::open_streams() const {
  return size_t(std::count_if(connections_.begin(), connections_.end(),
                              [](const Connection& c) {
                                return !c.closed && c.phase == Phase::kStream;
                              }));
}

size_t HttpServer::open_connections() const {
  return size_t(std::count_if(connections_.begin(), connections_.end(),
                              [](const Connection& c) { return !c.closed; }));
}

void HttpServer::poll(int timeout_ms, const Handler& handler) {
  if (stop_requested()) timeout_ms = 0;
  polling_ = true;
  std::vector<net::SocketWait> waits;
  waits.reserve(connections_.size() + 1);
  waits.push_back({.socket = listener_, .want_read = true});
  for (const Connection& connection : connections_) {
    const size_t backlog = connection.output.size() - connection.output_sent;
    const bool reading = connection.phase == Phase::kRequests
                             ? backlog < kPauseReadingBacklogBytes
                             : connection.phase != Phase::kClosing;
    waits.push_back({.socket = connection.socket,
                     .want_read = reading,
                     .want_write = backlog > 0});
  }
  net::wait_for_sockets(waits, timeout_ms);
  // Connections accepted now come after those waited on.
  const size_t waited = connections_.size();
  if (waits[0].readable) accept_connections();

  const Clock::time_point now = Clock::now();
  for (size_t i = 0; i < connections_.size(); ++i) {
    Connection& connection = connections_[i];
    if (i < waited && waits[i + 1].readable) read_from(connection);
    // Also for requests held back while the client was not reading.
    answer_requests(connection, handler);
    write_to(connection);
    const bool timed = connection.phase != Phase::kStream;
    if (!connection.closed && timed && now >= connection.deadline)
      close(connection);
  }
  polling_ = false;
  std::erase_if(connections_, [](const Connection& c) { return c.closed; });
}

void HttpServer::broadcast(std::string_view event, std::string_view data) {
  if (open_streams() == 0) return;
  const std::string bytes = format_event(event, data);
  for (Connection& connection : connections_) {
    if (connection.closed || connection.phase != Phase::kStream ||
        connection.byte_stream)
      continue;
    const size_t backlog = connection.output.size() - connection.output_sent;
    if (backlog + bytes.size() > limits_.max_stream_backlog_bytes) {
      close(connection);
      continue;
    }
    connection.output += bytes;
    write_to(connection);
  }
  // A handler may broadcast while poll() walks the connections.
  if (!polling_)
    std::erase_if(connections_, [](const Connection& c) { return c.closed; });
}

std::vector<HttpServer::ByteStream> HttpServer::byte_streams() const {
  std::vector<ByteStream> streams;
  for (const Connection& c : connections_)
    if (!c.closed && c.phase == Phase::kStream && c.byte_stream)
      streams.push_back({.id = c.id,
                         .path = c.stream_path,
                         .backlog = c.output.size() - c.output_sent,
                         .mark = c.stream_mark});
  return streams;
}

bool HttpServer::send_to_stream(uint64_t id, std::string_view bytes,
                                int64_t mark) {
  for (Connection& connection : connections_) {
    if (connection.id != id || connection.closed ||
        connection.phase != Phase::kStream || !connection.byte_stream)
      continue;
    const size_t backlog = connection.output.size() - connection.output_sent;
    if (backlog + bytes.size() > limits_.max_stream_backlog_bytes) {
      close(connection);
      break;
    }
    connection.output += bytes;
    connection.stream_mark = mark;
    write_to(connection);
    const bool open = !connection.closed;
    if (!polling_)
      std::erase_if(connections_, [](const Connection& c) { return c.closed; });
    return open;
  }
  if (!polling_)
    std::erase_if(connections_, [](const Connection& c) { return c.closed; });
  return false;
}

void HttpServer::accept_connections() {
  for (int i = 0; i < kAcceptsPerPoll; ++i) {
    const net::Socket socket = net::accept_connection(listener_);
    if (socket == net::kInvalidSocket) return;
    if (open_connections() >= limits_.max_connections) {
      // A new connection's send buffer is empty: the answer fits at once.
      net::send_bytes(socket, error_answer(503, "too many connections"));
      net::shutdown_sending(socket);
      net::close_socket(socket);
      continue;
    }
    connections_.push_back({.socket = socket,
                            .phase = Phase::kRequests,
                            .id = next_id_++,
                            .deadline = Clock::now() + kIdleTimeout});
  }
}

void HttpServer::read_from(Connection& connection) {
  char buffer[kReceiveChunkBytes];
  for (int chunk = 0; chunk < kChunksPerPoll && !connection.closed; ++chunk) {
    const bool requests = connection.phase == Phase::kRequests;
    if (connection.phase == Phase::kClosing ||
        (requests && connection.output.size() - connection.output_sent >=
                         kPauseReadingBacklogBytes))
      return;
    const net::IoResult result =
        net::receive_bytes(connection.socket, buffer, sizeof buffer);
    switch (result.status) {
      case net::IoStatus::kOk:
        // What a stream's or a closing connection's peer sends is dropped.
        if (requests) {
          connection.input.append(buffer, result.bytes);
          connection.deadline = Clock::now() + kIdleTimeout;
        }
        break;
      case net::IoStatus::kWouldBlock:
        return;
      case net::IoStatus::kClosed:
        // A request cut short is dropped without an answer; the answers
        // already queued still go out to a peer that only half closed.
        if (requests && connection.output.size() > connection.output_sent) {
          connection.phase = Phase::kClosing;
          connection.input.clear();
        } else {
          close(connection);
        }
        return;
      case net::IoStatus::kError:
        close(connection);
        return;
    }
  }
}

void HttpServer::answer_requests(Connection& connection,
                                 const Handler& handler) {
  size_t offset = 0;
  while (!connection.closed && connection.phase == Phase::kRequests &&
         connection.output.size() - connection.output_sent <
             kPauseReadingBacklogBytes) {
    HttpRequest request;
    size_t consumed = 0;
    int status = 0;
    std::string reason;
    const HttpParse outcome =
        parse_http_request(std::string_view(connection.input).substr(offset),
                           limits_, request, consumed, status, reason);
    if (outcome == HttpParse::kIncomplete) break;
    if (outcome == HttpParse::kError) {
      queue(connection, error_answer(status, reason));
      connection.phase = Phase::kClosing;
      connection.input.clear();
      return;
    }
    offset += consumed;

    HttpResponse response;
    try {
      response = handler(request);
    } catch (const std::exception& error) {
      response = HttpResponse{};
      response.status = 500;
      response.body = std::string(error.what()) + "\n";
    }
    if (response.event_stream || response.byte_stream) {
      connection.phase = Phase::kStream;
      connection.byte_stream = response.byte_stream;
      connection.stream_path = request.path;
      connection.stream_mark = response.stream_mark;
      connection.input.clear();
      queue(connection, format_response(response));
      return;
    }
    const bool keep_alive = keeps_alive(request);
    if (!keep_alive) response.headers.emplace_back("Connection", "close");
    std::string bytes = format_response(response);
    // The header lines cannot hold an empty line: the first one ends them.
    if (request.method == "HEAD") bytes.resize(bytes.find("\r\n\r\n") + 4);
    queue(connection, std::move(bytes));
    if (!keep_alive) {
      connection.phase = Phase::kClosing;
      connection.input.clear();
      return;
    }
  }
  connection.input.erase(0, offset);
}

void HttpServer::queue(Connection& connection, std::string bytes) {
  connection.output += bytes;
  if (connection.phase != Phase::kStream)
    connection.deadline = Clock::now() + kIdleTimeout;
}

void HttpServer::write_to(Connection& connection) {
  while (!connection.closed &&
         connection.output_sent < connection.output.size()) {
    const net::IoResult result = net::send_bytes(
        connection.socket,
        std::string_view(connection.output).substr(connection.output_sent));
    if (result.status == net::IoStatus::kWouldBlock) break;
    if (result.status != net::IoStatus::kOk) {
      close(connection);
      return;
    }
    connection.output_sent += result.bytes;
    if (connection.phase != Phase::kStream)
      connection.deadline = Clock::now() + kIdleTimeout;
  }
  if (connection.output_sent == connection.output.size()) {
    connection.output.clear();
    connection.output_sent = 0;
  } else if (connection.output_sent > connection.output.size() / 2) {
    connection.output.erase(0, connection.output_sent);
    connection.output_sent = 0;
  }
  if (!connection.closed && connection.phase == Phase::kClosing &&
      connection.output.empty()) {
    net::shutdown_sending(connection.socket);
    connection.phase = Phase::kDraining;
    connection.deadline = Clock::now() + kDrainTimeout;
  }
}

void HttpServer::close(Connection& connection) {
  if (connection.closed) return;
  net::close_socket(connection.socket);
  connection.socket = net::kInvalidSocket;
  connection.closed = true;
}

void watch_for_stop_request() { net::watch_for_stop_signals(); }

bool stop_requested() { return net::stop_signalled(); }
