#include "http/http_server.h"

#include <sched.h>
#include <sys/resource.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "channels/channel_setup.h"
#include "http/listener.h"
#include "http/program_routes.h"
#include "http/request_limits.h"

namespace {

// Room for the database, the log, the mail sender and the listener itself.
constexpr rlim_t kReservedDescriptors = 64;
// Requests waiting for a database thread; past that one is refused as busy at once.
constexpr size_t kDatabaseQueue = 4096;
// Test messages to vendors: each holds its thread up to the exchange's time-out, so only a
// few run at once, on threads of their own, and as many again wait; past that the page says
// the service is busy.
constexpr int kOutgoingThreads = 2;
constexpr size_t kOutgoingQueue = 2;

// How long such a page may take in all: its database work, an exchange ahead of it in the
// queue and its own.
std::chrono::milliseconds OutgoingWait(const ServiceConfig& config) {
  return std::chrono::seconds(config.databaseWaitSeconds + 2 * PostLimitsFrom(config).totalSeconds);
}

// The connection cap, lowered to what the descriptor limit allows beside the `reserved` ones.
size_t ConnectionCapWithin(size_t configured, rlim_t reserved) {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return configured;
  return std::min<size_t>(configured, limit.rlim_cur > reserved ? limit.rlim_cur - reserved : 1);
}

}  // namespace

int RequestThreadCount(int configured) {
  if (configured > 0) return configured;
  cpu_set_t cores;
  CPU_ZERO(&cores);
  if (sched_getaffinity(0, sizeof cores, &cores) == 0 && CPU_COUNT(&cores) > 0) return CPU_COUNT(&cores);
  return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

HttpServer::HttpServer(AccountApi& api, const ServiceConfig& config, ServiceMetrics& metrics, DatabaseProbes probes,
                       int databaseThreads, std::vector<Route> pages)
    : config_(config),
      threads_(RequestThreadCount(config.threads)),
      maxConnections_(ConnectionCapWithin(
          static_cast<size_t>(config.maxConnections),
          kReservedDescriptors + (config.metricsPort == 0 ? 0 : kMetricsPortConnections))),
      limiter_(maxConnections_, static_cast<size_t>(config.maxConnectionsPerAddress)),
      metricsLimiter_(kMetricsPortConnections, kMetricsPortConnections),
      signIns_(config.loginHashesAtOnce, static_cast<size_t>(config.loginHashesAtOnce) * 4),
      // One thread per connection of the pool: more would only wait for a connection.
      databaseWork_(databaseThreads, kDatabaseQueue, 0),
      metricsWork_(1, 16, 0),
      outgoingWork_(kOutgoingThreads, kOutgoingQueue, 0),
      probes_(std::move(probes)),
      context_{routes_, signIns_, databaseWork_, metricsWork_, outgoingWork_,
               std::chrono::seconds(config.databaseWaitSeconds), OutgoingWait(config), open_,
               config.trustedProxies, metrics},
      metricsContext_{metricsRoutes_, signIns_, databaseWork_, metricsWork_, outgoingWork_,
                      std::chrono::seconds(config.databaseWaitSeconds), OutgoingWait(config), open_,
                      config.trustedProxies, metrics},
      io_(threads_),
      listener_(std::make_shared<Listener>(io_, limiter_, context_)),
      metricsListener_(config.metricsPort == 0 ? nullptr
                                                : std::make_shared<Listener>(io_, metricsLimiter_, metricsContext_)),
      sweep_(io_) {
  AddProgramRoutes(routes_, api);
  AddOperatorRoutes(routes_, metrics, probes_,
                    config.metricsPort == 0 ? MetricsAccess::kLocalOnly : MetricsAccess::kNobody);
  for (Route& page : pages) routes_.Add(std::move(page));
  AddOperatorRoutes(metricsRoutes_, metrics, probes_, MetricsAccess::kAnyone);
}

HttpServer::~HttpServer() {
  // Queued jobs hold connections and work on the event loop: drop them while it exists.
  databaseWork_.Stop();
  metricsWork_.Stop();
  outgoingWork_.Stop();
  signIns_.Stop();
}

bool HttpServer::Listen(std::string& error) {
  if (metricsListener_ && !metricsListener_->Open(config_.metricsListen, config_.metricsPort, error)) return false;
  if (!listener_->Open(config_.listen, config_.port, error)) return false;
  if (metricsListener_) metricsListener_->Accept();
  listener_->Accept();
  Sweep();
  return true;
}

void HttpServer::Sweep() {
  const auto now = std::chrono::steady_clock::now();
  for (const auto& connection : open_.Those([now](const Connection& c) { return c.Overdue(now); })) {
    connection->Expire();
  }
  sweep_.expires_after(std::chrono::milliseconds(250));
  sweep_.async_wait([this](boost::system::error_code error) {
    if (!error) Sweep();
  });
}

void HttpServer::Run() {
  std::vector<std::thread> others;
  for (int i = 1; i < threads_; ++i) others.emplace_back([this] { io_.run(); });
  io_.run();
  for (auto& thread : others) thread.join();
  databaseWork_.Stop();
  metricsWork_.Stop();
  outgoingWork_.Stop();
  signIns_.Stop();
}

void HttpServer::Stop() {
  const auto deadline = std::chrono::steady_clock::now() + kStopGrace;
  listener_->Stop();
  if (metricsListener_) metricsListener_->Stop();
  for (const auto& connection : open_.Those([](const Connection&) { return true; })) connection->Stop(deadline);
  limiter_.WaitUntilNoneOpen(deadline);
  metricsLimiter_.WaitUntilNoneOpen(deadline);
  io_.stop();
}
