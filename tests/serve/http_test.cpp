#include "host/serve/http.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

struct Parsed {
  HttpParse outcome;
  HttpRequest request;
  size_t consumed = 0;
  int status = 0;
  std::string reason;
};

Parsed parse(std::string_view bytes, const HttpLimits& limits = {}) {
  Parsed p{};
  p.outcome = parse_http_request(bytes, limits, p.request, p.consumed, p.status,
                                 p.reason);
  return p;
}

struct GoodCase {
  const char* name;
  std::string bytes;
  const char* method;
  const char* path;
  const char* query;
  std::string body = {};
};

const GoodCase kGoodCases[] = {
    {.name = "Get",
     .bytes = "GET /state HTTP/1.1\r\nHost: 127.0.0.1:8018\r\n\r\n",
     .method = "GET",
     .path = "/state",
     .query = ""},
    {.name = "GetWithQueryAndEscapes",
     .bytes = "GET /window/0%2Fa%20b/pixels?since=12&x=%41 HTTP/1.1\r\n"
              "Host: h\r\n\r\n",
     .method = "GET",
     .path = "/window/0/a b/pixels",
     .query = "since=12&x=%41"},
    {.name = "PostWithBody",
     .bytes = "POST /command HTTP/1.1\r\nHost: h\r\nContent-Type: text/plain"
              "\r\nContent-Length: 19\r\n\r\nclick Battery 20 30",
     .method = "POST",
     .path = "/command",
     .query = "",
     .body = "click Battery 20 30"},
    {.name = "BodyWithLineBreaksAndNul",
     .bytes = "POST /c HTTP/1.1\r\nhost: h\r\ncontent-length: 6\r\n\r\n" +
              std::string("a\r\n\0b\n", 6),
     .method = "POST",
     .path = "/c",
     .query = "",
     .body = std::string("a\r\n\0b\n", 6)},
    {.name = "Http10WithoutHost",
     .bytes = "GET / HTTP/1.0\r\n\r\n",
     .method = "GET",
     .path = "/",
     .query = ""},
    {.name = "BareLineFeeds",
     .bytes = "GET /x HTTP/1.1\nHost: h\n\n",
     .method = "GET",
     .path = "/x",
     .query = ""},
    {.name = "EmptyLinesBefore",
     .bytes = "\r\n\r\nGET /x HTTP/1.1\r\nHost: h\r\n\r\n",
     .method = "GET",
     .path = "/x",
     .query = ""},
    {.name = "AgreeingContentLengths",
     .bytes = "POST /c HTTP/1.1\r\nHost: h\r\nContent-Length: 2, 2\r\n"
              "content-length:2\r\n\r\nok",
     .method = "POST",
     .path = "/c",
     .query = "",
     .body = "ok"},
    {.name = "DotsThatAreNotParentSegments",
     .bytes = "GET /a/..b/.../c.. HTTP/1.1\r\nHost: h\r\n\r\n",
     .method = "GET",
     .path = "/a/..b/.../c..",
     .query = ""},
    {.name = "BlanksAroundValues",
     .bytes = "GET / HTTP/1.1\r\nHost: \t h \t\r\nX-Empty:\r\n\r\n",
     .method = "GET",
     .path = "/",
     .query = ""},
};

class GoodRequest : public testing::TestWithParam<GoodCase> {};

TEST_P(GoodRequest, ParsesWhole) {
  const GoodCase& c = GetParam();
  const Parsed p = parse(c.bytes);
  ASSERT_EQ(p.outcome, HttpParse::kComplete) << p.status << " " << p.reason;
  EXPECT_EQ(p.consumed, c.bytes.size());
  EXPECT_EQ(p.request.method, c.method);
  EXPECT_EQ(p.request.path, c.path);
  EXPECT_EQ(p.request.query, c.query);
  EXPECT_EQ(p.request.body, c.body);
}

TEST_P(GoodRequest, EveryPrefixIsIncomplete) {
  const std::string& bytes = GetParam().bytes;
  for (size_t size = 0; size < bytes.size(); ++size) {
    // A copy of its own, so that the sanitizer sees any read past the end.
    const std::string prefix = bytes.substr(0, size);
    EXPECT_EQ(parse(prefix).outcome, HttpParse::kIncomplete) << size;
  }
}

TEST_P(GoodRequest, LeavesAPipelinedRequestForTheNextCall) {
  const std::string& first = GetParam().bytes;
  const std::string bytes =
      first +
      "POST /next?a=1 HTTP/1.1\r\nHost: h\r\nContent-Length: 3\r\n"
      "\r\nabcGET";
  const Parsed one = parse(bytes);
  ASSERT_EQ(one.outcome, HttpParse::kComplete);
  EXPECT_EQ(one.consumed, first.size());
  const Parsed two = parse(std::string_view(bytes).substr(one.consumed));
  ASSERT_EQ(two.outcome, HttpParse::kComplete);
  EXPECT_EQ(two.request.path, "/next");
  EXPECT_EQ(two.request.query, "a=1");
  EXPECT_EQ(two.request.body, "abc");
  EXPECT_EQ(parse(std::string_view(bytes).substr(one.consumed + two.consumed))
                .outcome,
            HttpParse::kIncomplete);
}

INSTANTIATE_TEST_SUITE_P(Parser, GoodRequest, testing::ValuesIn(kGoodCases),
                         [](const auto& info) { return info.param.name; });

struct BadCase {
  const char* name;
  std::string bytes;
  int status;
};

const BadCase kBadCases[] = {
    {"NoVersion", "GET /\r\nHost: h\r\n\r\n", 400},
    {"TwoSpaces", "GET  / HTTP/1.1\r\nHost: h\r\n\r\n", 400},
    {"BadMethod", "G(T / HTTP/1.1\r\nHost: h\r\n\r\n", 400},
    {"LowerCaseVersion", "GET / http/1.1\r\nHost: h\r\n\r\n", 400},
    {"Http2", "GET / HTTP/2.0\r\nHost: h\r\n\r\n", 505},
    {"Http09Style", "GET / HTTP/0.9\r\n\r\n", 505},
    {"AbsoluteTarget", "GET http://h/ HTTP/1.1\r\nHost: h\r\n\r\n", 400},
    {"AsteriskTarget", "OPTIONS * HTTP/1.1\r\nHost: h\r\n\r\n", 400},
    {"ControlInTarget", "GET /a\tb HTTP/1.1\r\nHost: h\r\n\r\n", 400},
    {"NonAsciiTarget", "GET /\xc3\xa9 HTTP/1.1\r\nHost: h\r\n\r\n", 400},
    {"CutEscape", "GET /a%4 HTTP/1.1\r\nHost: h\r\n\r\n", 400},
    {"NonHexEscape", "GET /a%g0 HTTP/1.1\r\nHost: h\r\n\r\n", 400},
    {"EncodedNul", "GET /a%00b HTTP/1.1\r\nHost: h\r\n\r\n", 400},
    {"ParentSegment", "GET /a/../b HTTP/1.1\r\nHost: h\r\n\r\n", 400},
    {"TrailingParent", "GET /a/.. HTTP/1.1\r\nHost: h\r\n\r\n", 400},
    {"EncodedParent", "GET /a/%2e%2E/b HTTP/1.1\r\nHost: h\r\n\r\n", 400},
    {"EncodedSlashParent", "GET /a%2f..%2fb HTTP/1.1\r\nHost: h\r\n\r\n", 400},
    {"BackslashParent", "GET /a%5c..%5cb HTTP/1.1\r\nHost: h\r\n\r\n", 400},
    {"MissingHost", "GET / HTTP/1.1\r\nAccept: */*\r\n\r\n", 400},
    {"TwoHosts", "GET / HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n", 400},
    {"NoColon", "GET / HTTP/1.1\r\nHost h\r\n\r\n", 400},
    {"SpaceBeforeColon", "GET / HTTP/1.1\r\nHost : h\r\n\r\n", 400},
    {"FoldedHeader", "GET / HTTP/1.1\r\nHost: h\r\nX: a\r\n b\r\n\r\n", 400},
    {"ControlInValue", "GET / HTTP/1.1\r\nHost: h\rx\r\n\r\n", 400},
    {"LengthsDisagree",
     "POST / HTTP/1.1\r\nHost: h\r\nContent-Length: 2\r\nContent-Length: 3"
     "\r\n\r\nabc",
     400},
    {"LengthListDisagrees",
     "POST / HTTP/1.1\r\nHost: h\r\nContent-Length: 2, 3\r\n\r\nabc", 400},
    {"SignedLength", "POST / HTTP/1.1\r\nHost: h\r\nContent-Length: +2\r\n\r\n",
     400},
    {"EmptyLength", "POST / HTTP/1.1\r\nHost: h\r\nContent-Length:\r\n\r\n",
     400},
    {"HugeLength",
     "POST / HTTP/1.1\r\nHost: h\r\nContent-Length: 99999999999999999999999"
     "\r\n\r\n",
     400},
    {"Chunked",
     "POST / HTTP/1.1\r\nHost: h\r\nTransfer-Encoding: chunked\r\n\r\n"
     "2\r\nok\r\n0\r\n\r\n",
     411},
    {"GzipThenChunked",
     "POST / HTTP/1.1\r\nHost: h\r\nTransfer-Encoding: gzip, Chunked\r\n\r\n",
     411},
    {"OtherCoding",
     "POST / HTTP/1.1\r\nHost: h\r\nTransfer-Encoding: gzip\r\n\r\n", 501},
    {"CodingWithLength",
     "POST / HTTP/1.1\r\nHost: h\r\nContent-Length: 2\r\n"
     "Transfer-Encoding: chunked\r\n\r\nok",
     411},
    {"BodyTooLarge",
     "POST / HTTP/1.1\r\nHost: h\r\nContent-Length: 4097\r\n\r\n", 413},
    {"HeadersTooLarge",
     "GET / HTTP/1.1\r\nHost: h\r\nX: " + std::string(9000, 'a') + "\r\n\r\n",
     431},
    {"EndlessHeaders", "GET / HTTP/1.1\r\nHost: h\r\n" + std::string(8192, 'a'),
     431},
    {"EndlessEmptyLines", std::string(8192, '\n'), 431},
};

class BadRequest : public testing::TestWithParam<BadCase> {};

TEST_P(BadRequest, IsRefusedWithItsStatus) {
  const BadCase& c = GetParam();
  const Parsed p = parse(c.bytes);
  ASSERT_EQ(p.outcome, HttpParse::kError);
  EXPECT_EQ(p.status, c.status) << p.reason;
  EXPECT_FALSE(p.reason.empty());
}

INSTANTIATE_TEST_SUITE_P(Parser, BadRequest, testing::ValuesIn(kBadCases),
                         [](const auto& info) { return info.param.name; });

TEST(ParserLimits, HeaderAndBodyMayReachTheirLimitsButNotPassThem) {
  const std::string head = "POST / HTTP/1.1\r\nHost: h\r\nContent-Length: 4";
  const std::string end = "\r\n\r\n";
  HttpLimits limits;
  limits.max_header_bytes = head.size() + end.size();
  limits.max_body_bytes = 4;
  EXPECT_EQ(parse(head + end + "abcd", limits).outcome, HttpParse::kComplete);
  limits.max_body_bytes = 3;
  EXPECT_EQ(parse(head + end + "abcd", limits).status, 413);
  limits.max_body_bytes = 4;
  limits.max_header_bytes -= 1;
  EXPECT_EQ(parse(head + end + "abcd", limits).status, 431);
  // Refused as soon as the limit is passed, before the end arrives.
  EXPECT_EQ(parse(head + "\r\n", limits).outcome, HttpParse::kIncomplete);
  EXPECT_EQ(parse(head + "\r\n\r", limits).status, 431);
}

TEST(ParsedRequest, HeaderNamesIgnoreCaseAndTheFirstValueWins) {
  const Parsed p = parse(
      "GET / HTTP/1.1\r\nHOST: h\r\nX-Thing: one\r\nx-thing: two\r\n\r\n");
  ASSERT_EQ(p.outcome, HttpParse::kComplete);
  EXPECT_EQ(p.request.header("host"), "h");
  EXPECT_EQ(p.request.header("x-thing"), "one");
  EXPECT_EQ(p.request.header("accept"), "");
  EXPECT_EQ(p.request.version, "HTTP/1.1");
  ASSERT_EQ(p.request.headers.size(), 3u);
  EXPECT_EQ(p.request.headers[1].first, "x-thing");
}

TEST(ParsedRequest, QueryValuesAreDecoded) {
  HttpRequest request;
  request.query = "since=12&name=a%20b+c&empty=&flag&bad=%zz&since=13&n%61me=x";
  EXPECT_EQ(request.query_value("since"), "12");
  EXPECT_EQ(request.query_value("name"), "a b c");
  EXPECT_EQ(request.query_value("empty"), "");
  EXPECT_EQ(request.query_value("flag"), "");
  EXPECT_EQ(request.query_value("bad"), "%zz");
  EXPECT_EQ(request.query_value("missing"), std::nullopt);
  request.query = "";
  EXPECT_EQ(request.query_value("since"), std::nullopt);
}

TEST(Response, HasStatusLengthTypeNoStoreAndExtras) {
  HttpResponse response;
  response.status = 404;
  response.body = std::string("no\0such", 7);
  response.headers = {{"X-A", "1"}, {"X-Bad\r\nSet-Cookie", "x\r\ny"}};
  EXPECT_EQ(format_response(response),
            "HTTP/1.1 404 Not Found\r\nContent-Length: 7\r\n"
            "Content-Type: text/plain; charset=utf-8\r\n"
            "Cache-Control: no-store\r\nX-A: 1\r\n"
            "X-BadSet-Cookie: xy\r\n\r\n" +
                response.body);
}

TEST(Response, ReasonPhrasesOfTheStatusesServed) {
  for (const int status : {200, 204, 308, 400, 403, 404, 405, 409, 411, 413,
                           431, 500, 501, 503, 505})
    EXPECT_NE(http_reason_phrase(status), "Unknown") << status;
  HttpResponse response;
  response.status = 503;
  EXPECT_EQ(format_response(response).substr(0, 34),
            "HTTP/1.1 503 Service Unavailable\r\n");
}

TEST(Response, NoContentAndStreamsCarryNoLength) {
  HttpResponse response;
  response.status = 204;
  response.body = "ignored";
  EXPECT_EQ(format_response(response),
            "HTTP/1.1 204 No Content\r\n"
            "Content-Type: text/plain; charset=utf-8\r\n"
            "Cache-Control: no-store\r\n\r\n");
  response.status = 200;
  response.event_stream = true;
  response.body = "event: a\ndata: b\n\n";
  EXPECT_EQ(format_response(response),
            "HTTP/1.1 200 OK\r\n"
            "Content-Type: text/event-stream; charset=utf-8\r\n"
            "Cache-Control: no-store\r\n\r\nevent: a\ndata: b\n\n");
}

TEST(Event, OneDataLineForEachLineOfData) {
  EXPECT_EQ(format_event("frame", R"({"frame":3})"),
            "event: frame\ndata: {\"frame\":3}\n\n");
  EXPECT_EQ(format_event("t", "a\nb\r\nc\rd"),
            "event: t\ndata: a\ndata: b\ndata: c\ndata: d\n\n");
  EXPECT_EQ(format_event("t", ""), "event: t\ndata: \n\n");
  EXPECT_EQ(format_event("t", "a\n"), "event: t\ndata: a\ndata: \n\n");
  EXPECT_EQ(format_event("t\nevent: u", "x"), "event: tevent: u\ndata: x\n\n");
}

struct OriginCase {
  const char* name;
  std::vector<std::pair<std::string, std::string>> headers;
  bool allowed;
};

const OriginCase kOriginCases[] = {
    {"SameHost", {{"host", "127.0.0.1:8018"}}, true},
    {"Localhost", {{"host", "localhost:8018"}}, true},
    {"HostCase", {{"host", "LocalHost:8018"}}, true},
    {"SameOrigin",
     {{"host", "127.0.0.1:8018"}, {"origin", "http://127.0.0.1:8018"}},
     true},
    {"OtherListedOrigin",
     {{"host", "127.0.0.1:8018"}, {"origin", "http://localhost:8018"}},
     true},
    {"MissingHost", {}, false},
    {"EmptyHost", {{"host", ""}}, false},
    {"ForeignHost", {{"host", "example.com"}}, false},
    {"Rebinding", {{"host", "evil.example:8018"}}, false},
    {"OtherPort", {{"host", "127.0.0.1:8019"}}, false},
    {"NoPort", {{"host", "127.0.0.1"}}, false},
    {"AnyAddress", {{"host", "0.0.0.0:8018"}}, false},
    {"TrailingDot", {{"host", "localhost.:8018"}}, false},
    {"HostWithPath", {{"host", "127.0.0.1:8018/"}}, false},
    {"ForeignOrigin",
     {{"host", "127.0.0.1:8018"}, {"origin", "http://evil.example:8018"}},
     false},
    {"NullOrigin", {{"host", "127.0.0.1:8018"}, {"origin", "null"}}, false},
    {"EmptyOrigin", {{"host", "127.0.0.1:8018"}, {"origin", ""}}, false},
    {"HttpsOrigin",
     {{"host", "127.0.0.1:8018"}, {"origin", "https://127.0.0.1:8018"}},
     false},
    {"OriginWithSlash",
     {{"host", "127.0.0.1:8018"}, {"origin", "http://127.0.0.1:8018/"}},
     false},
    {"SecondOriginForeign",
     {{"host", "127.0.0.1:8018"},
      {"origin", "http://127.0.0.1:8018"},
      {"origin", "http://evil.example"}},
     false},
};

class ThisServer : public testing::TestWithParam<OriginCase> {};

TEST_P(ThisServer, AcceptsOnlyItsOwnHostAndOrigin) {
  const OriginCase& c = GetParam();
  HttpRequest request;
  request.method = "POST";
  request.path = "/command";
  request.headers = c.headers;
  std::string reason;
  EXPECT_EQ(request_from_this_server(
                request, {"127.0.0.1:8018", "localhost:8018"}, reason),
            c.allowed);
  EXPECT_EQ(reason.empty(), c.allowed) << reason;
}

INSTANTIATE_TEST_SUITE_P(HostAndOrigin, ThisServer,
                         testing::ValuesIn(kOriginCases),
                         [](const auto& info) { return info.param.name; });

}  // namespace
