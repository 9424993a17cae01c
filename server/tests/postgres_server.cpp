#include "postgres_server.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "raw_http.h"
#include "service_process.h"
#include "store/postgres_connection.h"
#include "test_folder.h"

namespace {

// Debian's PostgreSQL 15; other programs of the same names may come first on the PATH.
const std::string kBinaries = "/usr/lib/postgresql/15/bin/";

}  // namespace

PostgresServer& PostgresServer::Shared() {
  static PostgresServer server;
  return server;
}

PostgresServer::PostgresServer() {
  char pattern[] = "/tmp/tarn-postgres-XXXXXX";
  if (!mkdtemp(pattern)) throw std::runtime_error("cannot create a folder for PostgreSQL");
  folder_ = pattern;
  data_ = folder_ + "/data";
  StartWatcher();
  // The server's user must be able to enter the folder and own the data folder.
  chmod(folder_.c_str(), 0755);
  mkdir(data_.c_str(), 0700);
  if (geteuid() == 0) {
    const passwd* user = getpwnam("postgres");
    if (!user || chown(data_.c_str(), user->pw_uid, user->pw_gid) != 0) {
      throw std::runtime_error("cannot hand the data folder to the postgres user");
    }
  }
  const auto [code, output] = RunTool(AsServerUser({kBinaries + "initdb", "-D", data_, "-A", "trust", "-U",
                                                    "postgres", "-E", "UTF8", "--no-locale", "--no-sync",
                                                    "--no-instructions"}),
                                      {});
  if (code != 0) throw std::runtime_error("initdb failed: " + output);
  // A port found free may be taken before the server binds it: a few tries.
  for (int attempt = 0; attempt < 3 && !running_; ++attempt) {
    port_ = FreePort();
    running_ = TryStart();
  }
  if (!running_) throw std::runtime_error("PostgreSQL did not start: " + FileText(data_ + "/log"));
}

PostgresServer::~PostgresServer() {
  close(watcherPipe_);
  waitpid(watcher_, nullptr, 0);
}

std::string PostgresServer::CreateDatabase() {
  if (!running_) Start();
  const std::string name = "test" + std::to_string(++databases_);
  OpenPostgres(ConnectionString("postgres"))->Exec("CREATE DATABASE " + name);
  return ConnectionString(name);
}

void PostgresServer::Stop() {
  RunTool(AsServerUser({kBinaries + "pg_ctl", "-D", data_, "-m", "immediate", "stop"}), {});
  running_ = false;
}

void PostgresServer::Start() {
  running_ = TryStart();
  if (!running_) throw std::runtime_error("PostgreSQL did not start again: " + FileText(data_ + "/log"));
}

std::string PostgresServer::ConnectionString(const std::string& database) const {
  return "postgresql://postgres@127.0.0.1:" + std::to_string(port_) + "/" + database;
}

std::vector<std::string> PostgresServer::AsServerUser(std::vector<std::string> args) const {
  args.insert(args.begin(), {"/usr/bin/env", "-C", folder_});
  if (geteuid() == 0) args.insert(args.begin(), {"/usr/sbin/runuser", "-u", "postgres", "--"});
  return args;
}

bool PostgresServer::TryStart() {
  // Only loopback, the socket in the data folder, and no waiting for the disk: the data
  // is thrown away after the tests. Commits still reach the operating system before they
  // are answered, so what was committed survives Stop().
  const std::string options = "-p " + std::to_string(port_) + " -k " + data_ +
                              " -c listen_addresses=127.0.0.1 -c fsync=off -c full_page_writes=off";
  return RunTool(AsServerUser({kBinaries + "pg_ctl", "-D", data_, "-w", "-l", data_ + "/log", "-o", options,
                               "start"}),
                 {})
             .first == 0;
}

void PostgresServer::StartWatcher() {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("cannot create a pipe");
  // The watcher waits for the end of its standard input, which comes when this process
  // closes the pipe or dies, then stops the server and removes the folder.
  std::vector<std::string> args = {"/bin/sh", "-c", "read -r _; \"$@\" >/dev/null 2>&1; rm -rf -- \"$FOLDER\"", "sh"};
  for (auto& arg : AsServerUser({kBinaries + "pg_ctl", "-D", data_, "-m", "immediate", "stop"})) {
    args.push_back(std::move(arg));
  }
  watcher_ = Spawn(args, {{"FOLDER", folder_}}, ends[0], -1, -1);
  close(ends[0]);
  watcherPipe_ = ends[1];
}
