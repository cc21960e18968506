#include "host/serve/http.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <iterator>

namespace {

struct ReasonPhrase {
  int status;
  std::string_view phrase;
};

constexpr ReasonPhrase kReasonPhrases[] = {
    {.status = 200, .phrase = "OK"},
    {.status = 204, .phrase = "No Content"},
    {.status = 308, .phrase = "Permanent Redirect"},
    {.status = 400, .phrase = "Bad Request"},
    {.status = 403, .phrase = "Forbidden"},
    {.status = 404, .phrase = "Not Found"},
    {.status = 405, .phrase = "Method Not Allowed"},
    {.status = 409, .phrase = "Conflict"},
    {.status = 411, .phrase = "Length Required"},
    {.status = 413, .phrase = "Content Too Large"},
    {.status = 431, .phrase = "Request Header Fields Too Large"},
    {.status = 500, .phrase = "Internal Server Error"},
    {.status = 501, .phrase = "Not Implemented"},
    {.status = 503, .phrase = "Service Unavailable"},
    {.status = 505, .phrase = "HTTP Version Not Supported"},
};
static_assert(std::size(kReasonPhrases) == 15);

char lower_ascii(char c) {
  return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return lower_ascii(x) == lower_ascii(y);
         });
}

// The characters of a token (method, header name).
bool is_token_char(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
      (c >= '0' && c <= '9'))
    return true;
  return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool is_token(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), is_token_char);
}

std::string_view trim_blanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
    text.remove_suffix(1);
  return text;
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decodes %XY escapes; false at an escape that is not one.
bool percent_decode(std::string_view text, std::string& out) {
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return false;
    const int high = hex_value(text[i + 1]);
    const int low = hex_value(text[i + 2]);
    if (high < 0 || low < 0) return false;
    out += char(high * 16 + low);
    i += 2;
  }
  return true;
}

// The next line of `text` from `pos`, without its LF or CRLF; false when no
// LF ends it within `text`.
bool next_line(std::string_view text, size_t& pos, std::string_view& line) {
  const size_t end = text.find('\n', pos);
  if (end == std::string_view::npos) return false;
  line = text.substr(pos, end - pos);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  pos = end + 1;
  return true;
}

struct ParseError {
  int status;
  std::string reason;
};

std::optional<ParseError> read_request_line(std::string_view line,
                                            HttpRequest& request) {
  const size_t first_space = line.find(' ');
  const size_t last_space = line.rfind(' ');
  if (first_space == std::string_view::npos || first_space == last_space)
    return ParseError{400, "malformed request line"};
  const std::string_view method = line.substr(0, first_space);
  const std::string_view target =
      line.substr(first_space + 1, last_space - first_space - 1);
  const std::string_view version = line.substr(last_space + 1);
  if (!is_token(method)) return ParseError{400, "malformed method"};

  if (version.size() != 8 || version.substr(0, 5) != "HTTP/" ||
      version[5] < '0' || version[5] > '9' || version[6] != '.' ||
      version[7] < '0' || version[7] > '9')
    return ParseError{400, "malformed HTTP version"};
  if (version != "HTTP/1.1" && version != "HTTP/1.0")
    return ParseError{505, "only HTTP/1.1 and HTTP/1.0 are served"};

  if (target.empty() || target.front() != '/')
    return ParseError{400, "the request target must be a path"};
  for (const char c : target) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7f || c == '#')
      return ParseError{400, "bad character in the request target"};
  }
  const size_t question = target.find('?');
  const std::string_view raw_path = target.substr(0, question);
  if (question != std::string_view::npos)
    request.query = std::string(target.substr(question + 1));
  if (!percent_decode(raw_path, request.path))
    return ParseError{400, "bad percent-encoding in the path"};
  if (request.path.find('\0') != std::string::npos)
    return ParseError{400, "NUL in the path"};
  // Either slash separates segments: a name with a backslash never names a
  // file on one system and a folder on another.
  size_t start = 0;
  while (start <= request.path.size()) {
    size_t end = request.path.find_first_of("/\\", start);
    if (end == std::string::npos) end = request.path.size();
    if (std::string_view(request.path).substr(start, end - start) == "..")
      return ParseError{400, "'..' in the path"};
    start = end + 1;
  }
  request.method = std::string(method);
  request.version = std::string(version);
  return std::nullopt;
}

std::optional<ParseError> read_header_line(std::string_view line,
                                           HttpRequest& request) {
  if (line.front() == ' ' || line.front() == '\t')
    return ParseError{400, "folded header line"};
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos)
    return ParseError{400, "header line without a colon"};
  const std::string_view name = line.substr(0, colon);
  if (!is_token(name)) return ParseError{400, "malformed header name"};
  const std::string_view value = trim_blanks(line.substr(colon + 1));
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && c != '\t') || byte == 0x7f)
      return ParseError{400, "control character in a header value"};
  }
  std::string lower_name(name);
  for (char& c : lower_name) c = lower_ascii(c);
  request.headers.emplace_back(std::move(lower_name), std::string(value));
  return std::nullopt;
}

// The body's length from every Content-Length field, each possibly a list:
// all must be the same number.
std::optional<ParseError> read_content_length(const HttpRequest& request,
                                              std::optional<uint64_t>& length) {
  length.reset();
  for (const auto& [name, value] : request.headers) {
    if (name != "content-length") continue;
    std::string_view rest = value;
    while (true) {
      const size_t comma = rest.find(',');
      const std::string_view item = trim_blanks(rest.substr(0, comma));
      uint64_t number = 0;
      const auto [end, error] =
          std::from_chars(item.data(), item.data() + item.size(), number);
      if (item.empty() || error != std::errc() ||
          end != item.data() + item.size())
        return ParseError{400, "malformed Content-Length"};
      if (length && *length != number)
        return ParseError{400, "Content-Length values disagree"};
      length = number;
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
  }
  return std::nullopt;
}

std::optional<ParseError> check_headers(const HttpRequest& request) {
  size_t hosts = 0;
  for (const auto& [name, value] : request.headers) {
    if (name == "host") ++hosts;
    if (name != "transfer-encoding") continue;
    // The last coding of the list is the one that frames the body.
    std::string_view codings = value;
    const size_t comma = codings.rfind(',');
    if (comma != std::string_view::npos) codings.remove_prefix(comma + 1);
    if (equal_ignoring_case(trim_blanks(codings), "chunked"))
      return ParseError{411, "chunked bodies are refused: send Content-Length"};
    return ParseError{501, "transfer codings are not supported"};
  }
  if (hosts > 1) return ParseError{400, "more than one Host header"};
  if (hosts == 0 && request.version == "HTTP/1.1")
    return ParseError{400, "missing Host header"};
  return std::nullopt;
}

}  // namespace

std::string_view HttpRequest::header(std::string_view lower_name) const {
  for (const auto& [name, value] : headers)
    if (name == lower_name) return value;
  return {};
}

std::optional<std::string> HttpRequest::query_value(
    std::string_view key) const {
  std::string_view rest = query;
  while (true) {
    const size_t amp = rest.find('&');
    const std::string_view pair = rest.substr(0, amp);
    const size_t equals = pair.find('=');
    std::string name = std::string(pair.substr(0, equals));
    std::replace(name.begin(), name.end(), '+', ' ');
    std::string decoded;
    if (percent_decode(name, decoded)) name = decoded;
    if (name == key) {
      std::string value = equals == std::string_view::npos
                              ? std::string()
                              : std::string(pair.substr(equals + 1));
      std::replace(value.begin(), value.end(), '+', ' ');
      if (percent_decode(value, decoded)) value = decoded;
      return value;
    }
    if (amp == std::string_view::npos) return std::nullopt;
    rest.remove_prefix(amp + 1);
  }
}

HttpParse parse_http_request(std::string_view bytes, const HttpLimits& limits,
                             HttpRequest& request, size_t& consumed,
                             int& status, std::string& reason) {
  request = HttpRequest{};
  consumed = 0;
  const auto fail = [&](const ParseError& error) {
    status = error.status;
    reason = error.reason;
    return HttpParse::kError;
  };
  // A header section that ends beyond the limit is refused whatever follows,
  // so only the bytes within it are looked at.
  const std::string_view head =
      bytes.substr(0, std::min(bytes.size(), limits.max_header_bytes));
  const auto incomplete_or_too_large = [&] {
    if (bytes.size() >= limits.max_header_bytes)
      return fail({431, "request line and headers too large"});
    return HttpParse::kIncomplete;
  };

  size_t pos = 0;
  std::string_view line;
  // Empty lines before a request are allowed (some clients end a body with
  // one more CRLF).
  do {
    if (!next_line(head, pos, line)) return incomplete_or_too_large();
  } while (line.empty());
  if (auto error = read_request_line(line, request)) return fail(*error);
  while (true) {
    if (!next_line(head, pos, line)) return incomplete_or_too_large();
    if (line.empty()) break;
    if (auto error = read_header_line(line, request)) return fail(*error);
  }
  if (auto error = check_headers(request)) return fail(*error);
  std::optional<uint64_t> length;
  if (auto error = read_content_length(request, length)) return fail(*error);
  const uint64_t body_bytes = length.value_or(0);
  if (body_bytes > limits.max_body_bytes)
    return fail({413, "request body too large"});
  if (bytes.size() - pos < body_bytes) return HttpParse::kIncomplete;
  request.body = std::string(bytes.substr(pos, size_t(body_bytes)));
  consumed = pos + size_t(body_bytes);
  return HttpParse::kComplete;
}

std::string_view http_reason_phrase(int status) {
  for (const ReasonPhrase& row : kReasonPhrases)
    if (row.status == status) return row.phrase;
  return "Unknown";
}

namespace {

// Header text without the line breaks that would start another header.
void append_header_text(std::string& out, std::string_view text) {
  for (const char c : text)
    if (c != '\r' && c != '\n') out += c;
}

void append_header(std::string& out, std::string_view name,
                   std::string_view value) {
  append_header_text(out, name);
  out += ": ";
  append_header_text(out, value);
  out += "\r\n";
}

}  // namespace

std::string format_response(const HttpResponse& response) {
  const int status =
      response.status >= 100 && response.status <= 999 ? response.status : 500;
  const bool no_body = status == 204 || status == 304 || status < 200;
  std::string out = "HTTP/1.1 " + std::to_string(status) + " ";
  out += http_reason_phrase(status);
  out += "\r\n";
  if (response.event_stream) {
    append_header(out, "Content-Type", "text/event-stream; charset=utf-8");
  } else if (response.byte_stream) {
    append_header(out, "Content-Type", response.content_type);
  } else {
    if (!no_body)
      append_header(out, "Content-Length",
                    std::to_string(response.body.size()));
    append_header(out, "Content-Type", response.content_type);
  }
  append_header(out, "Cache-Control", "no-store");
  for (const auto& [name, value] : response.headers)
    append_header(out, name, value);
  out += "\r\n";
  if (!no_body || response.event_stream || response.byte_stream)
    out += response.body;
  return out;
}

std::string format_event(std::string_view event, std::string_view data) {
  std::string out = "event: ";
  append_header_text(out, event);
  out += '\n';
  // A reader of the stream ends a line at CRLF, CR or LF alike.
  while (true) {
    const size_t end = data.find_first_of("\r\n");
    out += "data: ";
    out += data.substr(0, end);
    out += '\n';
    if (end == std::string_view::npos) break;
    const size_t next =
        data[end] == '\r' && end + 1 < data.size() && data[end + 1] == '\n'
            ? end + 2
            : end + 1;
    data.remove_prefix(next);
  }
  out += '\n';
  return out;
}

namespace {

bool is_authority(std::string_view text,
                  const std::vector<std::string>& authorities) {
  return std::any_of(authorities.begin(), authorities.end(),
                     [&](const std::string& authority) {
                       return equal_ignoring_case(text, authority);
                     });
}

}  // namespace

bool request_from_this_server(const HttpRequest& request,
                              const std::vector<std::string>& authorities,
                              std::string& reason) {
  const std::string_view host = request.header("host");
  if (host.empty()) {
    reason = "missing Host header";
    return false;
  }
  if (!is_authority(host, authorities)) {
    reason = "Host '" + std::string(host) + "' is not this server";
    return false;
  }
  for (const auto& [name, value] : request.headers) {
    if (name != "origin") continue;
    const std::string_view origin = value;
    constexpr std::string_view kScheme = "http://";
    if (!equal_ignoring_case(origin.substr(0, kScheme.size()), kScheme) ||
        !is_authority(origin.substr(kScheme.size()), authorities)) {
      reason = "Origin '" + std::string(origin) + "' is not this server";
      return false;
    }
  }
  return true;
}
