#include "host/serve/http_server.h"

#include <gtest/gtest.h>
#include <sys/time.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/serve/net.h"

namespace {

using namespace std::chrono_literals;

struct Answer {
  int status = 0;
  std::string head;
  std::string body;
};

// The whole answers at the front of what a client read; an answer without a
// length (an event stream) takes the rest.
std::vector<Answer> answers_in(std::string_view text) {
  std::vector<Answer> answers;
  while (true) {
    const size_t head_end = text.find("\r\n\r\n");
    if (head_end == std::string_view::npos || text.size() < 12) break;
    Answer answer;
    answer.head = std::string(text.substr(0, head_end + 2));
    answer.status = std::stoi(answer.head.substr(9, 3));
    text.remove_prefix(head_end + 4);
    const size_t length_at = answer.head.find("Content-Length: ");
    if (length_at == std::string::npos) {
      answer.body = std::string(text);
      answers.push_back(answer);
      break;
    }
    const size_t length = std::stoul(answer.head.substr(length_at + 16));
    if (text.size() < length) break;
    answer.body = std::string(text.substr(0, length));
    text.remove_prefix(length);
    answers.push_back(answer);
  }
  return answers;
}

class Client {
 public:
  explicit Client(uint16_t port) {
    std::string reason;
    socket_ = net::connect_tcp("127.0.0.1", port, reason);
    EXPECT_NE(socket_, net::kInvalidSocket) << reason;
  }
  ~Client() { net::close_socket(socket_); }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  net::Socket socket() const { return socket_; }
  const std::string& received() const { return received_; }
  bool closed() const { return closed_; }
  void close() {
    net::close_socket(socket_);
    socket_ = net::kInvalidSocket;
  }
  // Takes what has arrived; false once nothing more will.
  bool receive() {
    char buffer[65536];
    while (!closed_) {
      const net::IoResult result =
          net::receive_bytes(socket_, buffer, sizeof buffer);
      if (result.status == net::IoStatus::kWouldBlock) return true;
      if (result.status != net::IoStatus::kOk)
        closed_ = true;
      else
        received_.append(buffer, result.bytes);
    }
    return false;
  }

 private:
  net::Socket socket_ = net::kInvalidSocket;
  std::string received_;
  bool closed_ = false;
};

class Server : public testing::Test {
 protected:
  void SetUp() override { start(HttpLimits{}); }

  void start(const HttpLimits& limits) {
    auto result = HttpServer::listen("127.0.0.1", 0, limits);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<HttpServer>>(result))
        << std::get<std::string>(result);
    server = std::move(std::get<std::unique_ptr<HttpServer>>(result));
    ASSERT_NE(server->port(), 0);
  }

  // Echoes the request; /events opens a stream, /big answers `big_body`.
  HttpResponse handle(const HttpRequest& request) {
    handled.push_back(request);
    HttpResponse response;
    if (request.path == "/events") {
      response.event_stream = true;
      response.body = format_event("hello", "1");
    } else if (request.path.starts_with("/bytes/")) {
      response.byte_stream = true;
      response.content_type = "application/octet-stream";
      response.body = std::string("first\0", 6);
      response.stream_mark = 7;
    } else if (request.path == "/big") {
      response.content_type = "application/octet-stream";
      response.body = big_body;
    } else {
      response.body = request.method + " " + request.path + " " + request.body;
    }
    return response;
  }

  void poll(int timeout_ms = 5) {
    server->poll(timeout_ms,
                 [this](const HttpRequest& r) { return handle(r); });
  }

  void send(Client& client, std::string_view bytes) {
    while (!bytes.empty()) {
      const net::IoResult result = net::send_bytes(client.socket(), bytes);
      ASSERT_NE(result.status, net::IoStatus::kError);
      if (result.status == net::IoStatus::kOk)
        bytes.remove_prefix(result.bytes);
      poll(1);
    }
  }

  // Polls the server and reads the client until `done` holds or the
  // connection ends; false after five seconds.
  bool run_until(Client& client,
                 const std::function<bool(const std::string&)>& done) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (std::chrono::steady_clock::now() < deadline) {
      poll();
      const bool open = client.receive();
      if (done(client.received())) return true;
      if (!open) return false;
    }
    return false;
  }

  bool run_until_answers(Client& client, size_t count) {
    return run_until(client, [count](const std::string& text) {
      return answers_in(text).size() >= count;
    });
  }

  bool run_until_closed(Client& client) {
    run_until(client, [](const std::string&) { return false; });
    return client.closed();
  }

  std::unique_ptr<HttpServer> server;
  std::vector<HttpRequest> handled;
  std::string big_body;
};

constexpr std::string_view kGet =
    "GET /state HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";

TEST_F(Server, AnswersARequest) {
  Client client(server->port());
  send(client,
       "POST /command?x=1 HTTP/1.1\r\nHost: 127.0.0.1\r\n"
       "Content-Length: 5\r\n\r\nhello");
  ASSERT_TRUE(run_until_answers(client, 1)) << client.received();
  const Answer answer = answers_in(client.received())[0];
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(answer.body, "POST /command hello");
  EXPECT_EQ(answer.head.find("Connection: close"), std::string::npos);
  ASSERT_EQ(handled.size(), 1u);
  EXPECT_EQ(handled[0].query_value("x"), "1");
}

TEST_F(Server, KeepsTheConnectionForMoreRequestsAndAnswersInOrder) {
  Client client(server->port());
  send(client, kGet);
  ASSERT_TRUE(run_until_answers(client, 1));
  send(client,
       "GET /a HTTP/1.1\r\nHost: h\r\n\r\nPOST /b HTTP/1.1\r\nHost: h\r\n"
       "Content-Length: 1\r\n\r\nxGET /c HTTP/1.1\r\nHost: h\r\n\r\n");
  ASSERT_TRUE(run_until_answers(client, 4)) << client.received();
  const std::vector<Answer> answers = answers_in(client.received());
  EXPECT_EQ(answers[1].body, "GET /a ");
  EXPECT_EQ(answers[2].body, "POST /b x");
  EXPECT_EQ(answers[3].body, "GET /c ");
  EXPECT_FALSE(client.closed());
  EXPECT_EQ(server->open_connections(), 1u);
}

TEST_F(Server, ClosesAfterAnHttp10AnswerOrConnectionClose) {
  for (const std::string_view request :
       {"GET /x HTTP/1.0\r\n\r\n",
        "GET /x HTTP/1.1\r\nHost: h\r\nConnection: Close\r\n\r\n"}) {
    Client client(server->port());
    send(client, request);
    ASSERT_TRUE(run_until_closed(client)) << request;
    const std::vector<Answer> answers = answers_in(client.received());
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].body, "GET /x ");
    EXPECT_NE(answers[0].head.find("Connection: close"), std::string::npos);
  }
  Client client(server->port());
  send(client, "GET /x HTTP/1.0\r\nConnection: keep-alive\r\n\r\n");
  ASSERT_TRUE(run_until_answers(client, 1));
  send(client, "GET /y HTTP/1.0\r\nConnection: keep-alive\r\n\r\n");
  ASSERT_TRUE(run_until_answers(client, 2));
  EXPECT_FALSE(client.closed());
}

TEST_F(Server, WritesALargeAnswerAsTheSocketTakesIt) {
  big_body.resize(8 << 20);
  for (size_t i = 0; i < big_body.size(); ++i) big_body[i] = char(i * 7 / 3);
  Client client(server->port());
  send(client, "GET /big HTTP/1.1\r\nHost: h\r\n\r\n");
  send(client, kGet);
  ASSERT_TRUE(run_until_answers(client, 2));
  const std::vector<Answer> answers = answers_in(client.received());
  EXPECT_TRUE(answers[0].body == big_body);
  EXPECT_EQ(answers[1].body, "GET /state ");
}

TEST_F(Server, EventStreamsReceiveWhatIsBroadcast) {
  Client first(server->port());
  Client second(server->port());
  Client plain(server->port());
  send(first, "GET /events HTTP/1.1\r\nHost: h\r\n\r\n");
  send(second, "GET /events HTTP/1.1\r\nHost: h\r\n\r\n");
  send(plain, kGet);
  for (Client* client : {&first, &second}) {
    ASSERT_TRUE(run_until(*client, [](const std::string& text) {
      return text.find("data: 1\n\n") != std::string::npos;
    }));
  }
  ASSERT_TRUE(run_until_answers(plain, 1));
  EXPECT_EQ(server->open_streams(), 2u);
  const Answer opened = answers_in(first.received())[0];
  EXPECT_EQ(opened.status, 200);
  EXPECT_NE(opened.head.find("Content-Type: text/event-stream"),
            std::string::npos);
  EXPECT_EQ(opened.head.find("Content-Length"), std::string::npos);

  server->broadcast("frame", "{\"frame\":1,\"windows\":[0]}");
  server->broadcast("transcript", "a\nb");
  const std::string expected =
      "event: hello\ndata: 1\n\n"
      "event: frame\ndata: {\"frame\":1,\"windows\":[0]}\n\n"
      "event: transcript\ndata: a\ndata: b\n\n";
  for (Client* client : {&first, &second}) {
    ASSERT_TRUE(run_until(*client, [&](const std::string&) {
      return answers_in(client->received())[0].body == expected;
    })) << client->received();
  }
  ASSERT_TRUE(plain.receive());
  EXPECT_EQ(answers_in(plain.received()).size(), 1u);

  first.close();
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (server->open_streams() != 1 &&
         std::chrono::steady_clock::now() < deadline)
    poll();
  EXPECT_EQ(server->open_streams(), 1u);
}

// A byte stream is sent only what is sent to it, with the mark its sender
// keeps there; events are not broadcast to it.
TEST_F(Server, ByteStreamsReceiveWhatIsSentToThemAlone) {
  Client a(server->port());
  Client b(server->port());
  Client events(server->port());
  send(a, "GET /bytes/a HTTP/1.1\r\nHost: h\r\n\r\n");
  send(b, "GET /bytes/b HTTP/1.1\r\nHost: h\r\n\r\n");
  send(events, "GET /events HTTP/1.1\r\nHost: h\r\n\r\n");
  const auto body = [](const Client& client) {
    const std::string& text = client.received();
    const size_t end = text.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : text.substr(end + 4);
  };
  for (Client* client : {&a, &b})
    ASSERT_TRUE(run_until(*client, [&](const std::string&) {
      return body(*client) == std::string("first\0", 6);
    })) << client->received();
  EXPECT_NE(a.received().find("Content-Type: application/octet-stream"),
            std::string::npos);
  EXPECT_EQ(a.received().find("Content-Length"), std::string::npos);
  EXPECT_EQ(server->open_streams(), 3u);

  std::vector<HttpServer::ByteStream> streams = server->byte_streams();
  ASSERT_EQ(streams.size(), 2u);
  std::sort(streams.begin(), streams.end(),
            [](const auto& x, const auto& y) { return x.path < y.path; });
  EXPECT_EQ(streams[0].path, "/bytes/a");
  EXPECT_EQ(streams[0].mark, 7);
  EXPECT_TRUE(server->send_to_stream(streams[0].id, "second", 8));
  server->broadcast("frame", "1");
  ASSERT_TRUE(run_until(a, [&](const std::string&) {
    return body(a) == std::string("first\0second", 12);
  })) << a.received();
  ASSERT_TRUE(run_until(events, [](const std::string& text) {
    return text.find("event: frame") != std::string::npos;
  }));
  ASSERT_TRUE(b.receive());
  EXPECT_EQ(body(b), std::string("first\0", 6));
  for (const HttpServer::ByteStream& stream : server->byte_streams())
    EXPECT_EQ(stream.mark, stream.path == "/bytes/a" ? 8 : 7);

  b.close();
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (server->byte_streams().size() != 1 &&
         std::chrono::steady_clock::now() < deadline)
    poll();
  EXPECT_FALSE(server->send_to_stream(streams[1].id, "gone", 9));
}

TEST_F(Server, ClosesAStreamThatFallsTooFarBehind) {
  HttpLimits limits;
  limits.max_stream_backlog_bytes = 1 << 20;
  start(limits);
  Client reader(server->port());
  Client sleeper(server->port());
  send(reader, "GET /events HTTP/1.1\r\nHost: h\r\n\r\n");
  send(sleeper, "GET /events HTTP/1.1\r\nHost: h\r\n\r\n");
  while (server->open_streams() < 2) poll();
  // The sleeper never reads: once the system's buffers are full its backlog
  // grows by each event. The reader keeps up and stays.
  const std::string data(256 << 10, 'x');
  for (int i = 0; i < 400 && server->open_streams() == 2; ++i) {
    server->broadcast("frame", data);
    poll(0);
    reader.receive();
  }
  EXPECT_EQ(server->open_streams(), 1u);
  EXPECT_TRUE(reader.receive());
  EXPECT_FALSE(reader.closed());
}

TEST_F(Server, RefusesAnOversizedBodyWithoutRunningTheHandler) {
  Client client(server->port());
  send(client,
       "POST /command HTTP/1.1\r\nHost: h\r\nContent-Length: 100000"
       "\r\n\r\n" +
           std::string(100000, 'a'));
  ASSERT_TRUE(run_until_closed(client));
  const std::vector<Answer> answers = answers_in(client.received());
  ASSERT_EQ(answers.size(), 1u) << client.received();
  EXPECT_EQ(answers[0].status, 413);
  EXPECT_NE(answers[0].head.find("Connection: close"), std::string::npos);
  EXPECT_TRUE(handled.empty());
}

TEST_F(Server, AnswersABadRequestAfterGoodOnesAndCloses) {
  Client client(server->port());
  send(client, std::string(kGet) + "GET /../x HTTP/1.1\r\nHost: h\r\n\r\n" +
                   std::string(kGet));
  ASSERT_TRUE(run_until_closed(client));
  const std::vector<Answer> answers = answers_in(client.received());
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_EQ(answers[0].status, 200);
  EXPECT_EQ(answers[1].status, 400);
  EXPECT_EQ(handled.size(), 1u);
}

TEST_F(Server, DropsAClientThatLeavesMidRequest) {
  {
    Client client(server->port());
    send(client,
         "POST /command HTTP/1.1\r\nHost: h\r\nContent-Length: 9"
         "\r\n\r\nclick");
    poll();
    EXPECT_EQ(server->open_connections(), 1u);
  }
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (server->open_connections() != 0 &&
         std::chrono::steady_clock::now() < deadline)
    poll();
  EXPECT_EQ(server->open_connections(), 0u);
  EXPECT_TRUE(handled.empty());
}

TEST_F(Server, RefusesConnectionsPastTheLimitWith503) {
  std::vector<std::unique_ptr<Client>> clients;
  for (int i = 0; i < 32; ++i)
    clients.push_back(std::make_unique<Client>(server->port()));
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (server->open_connections() < 32 &&
         std::chrono::steady_clock::now() < deadline)
    poll();
  ASSERT_EQ(server->open_connections(), 32u);

  Client extra(server->port());
  ASSERT_TRUE(run_until_closed(extra));
  const std::vector<Answer> answers = answers_in(extra.received());
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0].status, 503);
  EXPECT_EQ(server->open_connections(), 32u);

  // Those it kept are served; once one leaves a newcomer is too.
  send(*clients.back(), kGet);
  ASSERT_TRUE(run_until_answers(*clients.back(), 1));
  clients.front()->close();
  while (server->open_connections() == 32) poll();
  Client newcomer(server->port());
  send(newcomer, kGet);
  ASSERT_TRUE(run_until_answers(newcomer, 1));
  EXPECT_EQ(answers_in(newcomer.received())[0].status, 200);
}

TEST(ServerListen, NamesTheAddressAndTheReasonWhenItCannot) {
  auto first = HttpServer::listen("127.0.0.1", 0);
  ASSERT_TRUE(std::holds_alternative<std::unique_ptr<HttpServer>>(first));
  const uint16_t port = std::get<0>(first)->port();
  auto second = HttpServer::listen("127.0.0.1", port);
  ASSERT_TRUE(std::holds_alternative<std::string>(second));
  const std::string prefix =
      "cannot listen on 127.0.0.1:" + std::to_string(port) + ": ";
  EXPECT_EQ(std::get<1>(second).substr(0, prefix.size()), prefix);
  EXPECT_GT(std::get<1>(second).size(), prefix.size());
}

TEST(StopRequest, ASignalDuringPollEndsItSoonAndSetsTheFlag) {
  auto result = HttpServer::listen("127.0.0.1", 0);
  ASSERT_TRUE(std::holds_alternative<std::unique_ptr<HttpServer>>(result));
  HttpServer& server = *std::get<0>(result);
  // The flag lasts for the process: this test sets it for good.
  watch_for_stop_request();
  itimerval timer{};
  timer.it_value.tv_usec = 100000;
  // The alarm is SIGALRM; it is turned into SIGINT by its handler.
  std::signal(SIGALRM, [](int) { std::raise(SIGINT); });
  setitimer(ITIMER_REAL, &timer, nullptr);
  const auto start = std::chrono::steady_clock::now();
  server.poll(10000, [](const HttpRequest&) { return HttpResponse{}; });
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_TRUE(stop_requested());
  timer = {};
  setitimer(ITIMER_REAL, &timer, nullptr);
  std::signal(SIGALRM, SIG_DFL);
  // Once set, a poll waits no more.
  const auto again = std::chrono::steady_clock::now();
  server.poll(10000, [](const HttpRequest&) { return HttpResponse{}; });
  EXPECT_LT(std::chrono::steady_clock::now() - again, 1s);
}

}  // namespace
