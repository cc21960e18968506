// Feeds any bytes to the HTTP request parser as a connection's input, the way
// the server reads it: request after request while each is complete. Each
// request goes through the Host and Origin check and its parts back out
// through the response and event formatters. Broken promises of the parser
// stop the run.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "host/serve/http.h"

namespace {

void check(bool holds) {
  if (!holds) std::abort();
}

bool has_parent_segment(std::string_view path) {
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = path.size();
    if (path.substr(start, end - start) == "..") return true;
    start = end + 1;
  }
  return false;
}

void use(const HttpRequest& request) {
  std::string reason;
  const bool allowed = request_from_this_server(
      request, {"127.0.0.1:8018", "localhost:8018"}, reason);
  check(allowed == reason.empty());

  HttpResponse response;
  response.status = int(request.body.size()) % 1000;
  response.content_type = std::string(request.header("content-type"));
  response.body = request.body;
  response.headers = request.headers;
  response.event_stream = request.path.size() % 2 == 1;
  const std::string bytes = format_response(response);
  // The extra headers must never end the header lines early.
  const size_t head_end = bytes.find("\r\n\r\n");
  check(head_end != std::string::npos);
  check(bytes.size() == head_end + 4 ||
        bytes.compare(head_end + 4, std::string::npos, response.body) == 0);

  const std::string event = format_event(request.method, request.body);
  check(event.size() >= 2 && event.compare(event.size() - 2, 2, "\n\n") == 0);
  (void)request.query_value("since");
  (void)request.query_value(request.path);
}

void parse_all(std::string_view bytes, const HttpLimits& limits) {
  while (true) {
    HttpRequest request;
    size_t consumed = 0;
    int status = 0;
    std::string reason;
    const HttpParse outcome =
        parse_http_request(bytes, limits, request, consumed, status, reason);
    if (outcome == HttpParse::kIncomplete) return;
    if (outcome == HttpParse::kError) {
      check(status == 400 || status == 411 || status == 413 || status == 431 ||
            status == 501 || status == 505);
      check(!reason.empty());
      return;
    }
    check(consumed > 0 && consumed <= bytes.size());
    check(consumed <= limits.max_header_bytes + limits.max_body_bytes);
    check(request.body.size() <= limits.max_body_bytes);
    check(!request.path.empty() && request.path.front() == '/');
    check(request.path.find('\0') == std::string::npos);
    check(!has_parent_segment(request.path));
    check(request.version == "HTTP/1.1" || request.version == "HTTP/1.0");
    for (const auto& header : request.headers)
      for (const char c : header.first) check(c < 'A' || c > 'Z');
    // The same bytes alone make the same request.
    HttpRequest again;
    size_t again_consumed = 0;
    check(parse_http_request(bytes.substr(0, consumed), limits, again,
                             again_consumed, status,
                             reason) == HttpParse::kComplete);
    check(again_consumed == consumed && again.path == request.path &&
          again.body == request.body &&
          again.headers.size() == request.headers.size());
    use(request);
    bytes.remove_prefix(consumed);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  parse_all(bytes, HttpLimits{});
  HttpLimits small;
  small.max_header_bytes = 96;
  small.max_body_bytes = 8;
  parse_all(bytes, small);
  return 0;
}
