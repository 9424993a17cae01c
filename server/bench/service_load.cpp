// tarn-account-load: a load generator for the account service that behaves like the
// program: one new TCP connection per request, the program's request bytes, the whole
// reply read until the service closes the connection.
//
//   tarn-account-load PORT[,PORT...] getInfo|login SECONDS CONNECTIONS USER PASSWORD_BASE64 MACHINE
// Prints requests per second, answers with status 1, failures and latency percentiles. With
// several ports (instances of the service) the requests are spread evenly over them.
//
//   tarn-account-load PORT[,PORT...] outage MACHINES REMINDERS CONNECTIONS
// A provider's outage: each of MACHINES signed-in machines (outageN@load.test on machine
// OUTAGE-N, as tarn-account-seed makes them) sends REMINDERS reminders for sites of its
// own (www.siteK-N.cn), all of them as fast as the service takes them, CONNECTIONS at a
// time, each machine from a loopback address of its own (127.0.1.1 and up). Prints the
// same line for sendMsg, with the longest answer.
//
//   tarn-account-load PORT idle SECONDS CONNECTIONS
// Opens CONNECTIONS connections that send nothing, 50 from each of 127.0.0.2, 127.0.0.3, ...
// (so no address reaches the service's cap per address), prints "open N" when they are,
// and holds them for SECONDS.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Tally {
  long accepted = 0;  // answered with "status":1
  long refused = 0;   // answered with another status
  long failed = 0;    // no complete answer
  std::vector<double> latencyMs;
};

// 1 for an answer with status 1, 0 for another status, -1 for no complete answer.
int Outcome(const std::string& answer) {
  if (answer.find("\r\n\r\n") == std::string::npos) return -1;
  return answer.find("\"status\":1") != std::string::npos ? 1 : 0;
}

// One request in flight: its socket, how much of the request has gone, what came back.
struct Exchange {
  int fd = -1;
  size_t sent = 0;
  std::string answer;
  Clock::time_point start;
};

// Keeps `connections` requests in flight from one thread (epoll, non-blocking sockets), each
// on a new connection, until `end`. Cheaper for the load core than a thread per connection,
// so the server rather than the load generator sets the pace.
// Request n goes to targets[n % targets.size()], from `source` when it has an address.
struct Target {
  sockaddr_in address;
  std::string request;
  sockaddr_in source{};
};

// Until `end`, or until `limit` requests (0: no limit) have each been answered or failed.
Tally RunLoad(const std::vector<Target>& targets, Clock::time_point end, int connections, size_t limit = 0) {
  Tally tally;
  const int poller = epoll_create1(0);
  std::vector<Exchange> exchanges(static_cast<size_t>(connections));
  std::vector<size_t> targetOf(exchanges.size());  // which target each exchange serves
  size_t started = 0;
  auto finish = [&](Exchange& e, int outcome) {
    epoll_ctl(poller, EPOLL_CTL_DEL, e.fd, nullptr);
    close(e.fd);
    e.fd = -1;
    tally.latencyMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - e.start).count());
    (outcome == 1 ? tally.accepted : outcome == 0 ? tally.refused : tally.failed)++;
  };
  auto begin = [&](size_t index) {
    if (limit != 0 && started == limit) return;
    Exchange& e = exchanges[index];
    const Target& target = targets[started++ % targets.size()];
    targetOf[index] = static_cast<size_t>(&target - targets.data());
    e = Exchange{socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0), 0, {}, Clock::now()};
    if (e.fd < 0) return;
    const sockaddr_in& address = target.address;
    const bool bound = target.source.sin_family == 0 ||
                       bind(e.fd, reinterpret_cast<const sockaddr*>(&target.source), sizeof target.source) == 0;
    if (!bound || (connect(e.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
                   errno != EINPROGRESS)) {
      close(e.fd);
      e.fd = -1;
      tally.failed++;
      return;
    }
    epoll_event event{};
    event.events = EPOLLOUT | EPOLLIN;
    event.data.u64 = index;
    epoll_ctl(poller, EPOLL_CTL_ADD, e.fd, &event);
  };
  for (size_t i = 0; i < exchanges.size(); ++i) begin(i);
  std::vector<epoll_event> events(exchanges.size());
  char buffer[4096];
  const auto inFlight = [&] {
    return std::any_of(exchanges.begin(), exchanges.end(), [](const Exchange& e) { return e.fd >= 0; });
  };
  while (Clock::now() < end && (limit == 0 || started < limit || inFlight())) {
    const int ready = epoll_wait(poller, events.data(), static_cast<int>(events.size()), 100);
    for (int r = 0; r < ready; ++r) {
      const size_t index = events[static_cast<size_t>(r)].data.u64;
      Exchange& e = exchanges[index];
      if (e.fd < 0) continue;
      const std::string& request = targets[targetOf[index]].request;
      if (e.sent < request.size()) {
        const ssize_t n = send(e.fd, request.data() + e.sent, request.size() - e.sent, MSG_NOSIGNAL);
        if (n < 0 && errno != EAGAIN) {
          finish(e, -1);
        } else if (n > 0 && (e.sent += static_cast<size_t>(n)) == request.size()) {
          epoll_event event{};
          event.events = EPOLLIN;
          event.data.u64 = index;
          epoll_ctl(poller, EPOLL_CTL_MOD, e.fd, &event);
        }
        if (e.fd >= 0) continue;
      } else {
        ssize_t n;
        while ((n = recv(e.fd, buffer, sizeof buffer, 0)) > 0) e.answer.append(buffer, static_cast<size_t>(n));
        if (n < 0 && errno == EAGAIN) continue;
        finish(e, n == 0 ? Outcome(e.answer) : -1);
      }
      if (Clock::now() < end) begin(index);
    }
  }
  for (auto& e : exchanges) {
    if (e.fd >= 0) close(e.fd);  // still in flight at the end: not counted
  }
  close(poller);
  return tally;
}

// Opens the idle connections and holds them; 0 when all opened.
int HoldIdle(int port, double seconds, int connections) {
  rlimit limit{};
  getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
  std::vector<int> open;
  for (int i = 0; i < connections; ++i) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK + 1 + static_cast<uint32_t>(i / 50));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const timeval patience{2, 0};  // a server that stops accepting ends the opening
    if (fd >= 0) setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      std::fprintf(stderr, "connection %d failed\n", i);
      if (fd >= 0) close(fd);
      break;
    }
    open.push_back(fd);
  }
  std::printf("open %zu\n", open.size());
  std::fflush(stdout);
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  for (int fd : open) close(fd);
  return static_cast<int>(open.size()) == connections ? 0 : 1;
}

// The program's request for `action` to the service on `port` of 127.0.0.1.
Target MakeTarget(int port, const std::string& action, const std::string& body) {
  Target target{};
  target.address.sin_family = AF_INET;
  target.address.sin_port = htons(static_cast<uint16_t>(port));
  target.address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  target.request = "POST /index.php?g=Api&m=Client&a=" + action + " HTTP/1.0\r\nAccept:  */*\r\n" +
                   "Host: 127.0.0.1:" + std::to_string(port) + "\r\nContent-Length: " + std::to_string(body.size()) +
                   "\r\nUser-Agent: Lumacorn\r\nCache-Control: no-cache\r\n"
                   "Content-Type: application/x-www-form-urlencoded\r\n\r\n" + body;
  return target;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[2]) == "idle") {
    return HoldIdle(std::atoi(argv[1]), std::atof(argv[3]), std::atoi(argv[4]));
  }
  const bool outage = argc == 6 && std::string(argv[2]) == "outage";
  if (argc != 8 && !outage) {
    std::fprintf(stderr, "usage: %s PORT[,PORT...] getInfo|login SECONDS CONNECTIONS USER PASSWORD_BASE64 MACHINE\n"
                 "       %s PORT[,PORT...] outage MACHINES REMINDERS CONNECTIONS\n"
                 "       %s PORT idle SECONDS CONNECTIONS\n", argv[0], argv[0], argv[0]);
    return 2;
  }
  const std::string action = outage ? "sendMsg" : argv[2];
  std::vector<int> ports;
  for (const char* port = argv[1];; ++port) {  // steps over each comma
    char* next = nullptr;
    const long number = std::strtol(port, &next, 10);
    if (next == port || (*next != ',' && *next != '\0') || number <= 0 || number > 65535) {
      std::fprintf(stderr, "%s: not a port\n", argv[1]);
      return 2;
    }
    ports.push_back(static_cast<int>(number));
    port = next;
    if (*port == '\0') break;
  }

  std::vector<Target> targets;
  double seconds = 0;
  int connections = 0;
  size_t limit = 0;
  if (outage) {
    // Request n: machine n % MACHINES, its reminder n / MACHINES, so every machine's
    // reminders are spread over the whole outage; the ports take turns.
    const int machines = std::atoi(argv[3]), reminders = std::atoi(argv[4]);
    connections = std::atoi(argv[5]);
    seconds = 3600;
    limit = static_cast<size_t>(machines) * static_cast<size_t>(reminders);
    for (size_t n = 0; n < limit; ++n) {
      const size_t machine = n % static_cast<size_t>(machines), reminder = n / static_cast<size_t>(machines);
      const std::string m = std::to_string(machine);
      const int port = ports[n % ports.size()];
      Target target = MakeTarget(port, action, "username=outage" + m + "@load.test&id=OUTAGE-" + m +
                                                   "&softtype=2&ver=1.1.0.2&tpl=1&code=503&url=www.site" +
                                                   std::to_string(reminder) + "-" + m + ".cn");
      target.source.sin_family = AF_INET;
      target.source.sin_addr.s_addr = htonl((127u << 24) + 256 + static_cast<uint32_t>(machine / 250) * 256 +
                                            1 + static_cast<uint32_t>(machine % 250));
      targets.push_back(std::move(target));
    }
  } else {
    seconds = std::atof(argv[3]);
    connections = std::atoi(argv[4]);
    const std::string user = argv[5], password = argv[6], machine = argv[7];
    const std::string body = action == "login"
                                 ? "username=" + user + "&pwd=" + password + "&id=" + machine + "&softtype=2&ver=1.1.0.2"
                                 : "username=" + user + "&id=" + machine + "&softtype=2&ver=1.1.0.2";
    for (int port : ports) targets.push_back(MakeTarget(port, action, body));
  }

  const auto start = Clock::now();
  const auto end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  Tally total = RunLoad(targets, end, connections, limit);
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  std::sort(total.latencyMs.begin(), total.latencyMs.end());
  auto percentile = [&](double p) {
    return total.latencyMs.empty() ? 0.0 : total.latencyMs[static_cast<size_t>(p * (total.latencyMs.size() - 1))];
  };
  const long all = total.accepted + total.refused + total.failed;
  std::printf("%s: %ld requests in %.1f s = %.0f/s (status 1: %ld, other status: %ld, failed: %ld), "
              "latency p50 %.2f ms, p99 %.2f ms, longest %.2f ms\n",
              action.c_str(), all, elapsed, all / elapsed, total.accepted, total.refused, total.failed,
              percentile(0.5), percentile(0.99), percentile(1.0));
  return total.failed == 0 ? 0 : 1;
}
