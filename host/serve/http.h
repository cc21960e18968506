// HTTP/1.1 and 1.0 requests read from a byte buffer, responses and
// event-stream records written to one. No sockets here: the server feeds
// whatever bytes arrived and acts on the outcome.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct HttpLimits {
  size_t max_header_bytes = 8192;  // request line + headers
  size_t max_body_bytes = 4096;    // one script line is far less
  size_t max_connections = 32;
  size_t max_stream_backlog_bytes = 16 << 20;  // unsent bytes on one stream
};

struct HttpRequest {
  std::string method;  // "GET", "POST"
  std::string path;    // percent-decoded, without the query
  std::string query;   // raw, after '?'
  std::vector<std::pair<std::string, std::string>> headers;  // names lower
  std::string body;
  std::string version;  // "HTTP/1.1" or "HTTP/1.0"

  // The first value of the header, empty when absent.
  std::string_view header(std::string_view lower_name) const;
  // The value of the first `key` of the query, percent-decoded ('+' a
  // space); an escape that is not one stays as written.
  std::optional<std::string> query_value(std::string_view key) const;
};

struct HttpResponse {
  int status = 200;
  std::string content_type = "text/plain; charset=utf-8";
  std::string body;  // may hold binary bytes
  std::vector<std::pair<std::string, std::string>> headers;  // extra ones
  bool event_stream = false;  // keep the connection as a text/event-stream
  // Keep the connection as a stream of bytes of content_type, the body its
  // first; HttpServer::send_to_stream adds to it, and keeps `stream_mark`
  // with it for whoever sends.
  bool byte_stream = false;
  int64_t stream_mark = 0;
};

enum class HttpParse { kIncomplete, kComplete, kError };

// One request from the front of `bytes`. kComplete: the first `consumed`
// bytes made it. kError: `status` (400, 411, 413, 431, 501, 505) and
// `reason`; the connection cannot be read further. A chunked body is refused
// with 411 (send a Content-Length), any other transfer coding with 501.
// Never reads past `bytes`.
HttpParse parse_http_request(std::string_view bytes, const HttpLimits& limits,
                             HttpRequest& request, size_t& consumed,
                             int& status, std::string& reason);

// "OK", "Not Found", ...; "Unknown" for a status without one here.
std::string_view http_reason_phrase(int status);

// Status line, Content-Length (none for a stream or a 204), Content-Type
// (text/event-stream for an event stream), Cache-Control: no-store, the extra
// headers, then the body. Line breaks in header text are dropped.
std::string format_response(const HttpResponse& response);

// "event: E\ndata: ...\n\n", one data line per line of `data`.
std::string format_event(std::string_view event, std::string_view data);

// Whether a request may drive the panel: its Host header must be one of
// `authorities` ("127.0.0.1:8018", "localhost:8018", ...), and an Origin
// header, when present, must be "http://" + one of them.
bool request_from_this_server(const HttpRequest& request,
                              const std::vector<std::string>& authorities,
                              std::string& reason);
