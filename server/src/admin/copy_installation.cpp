#include "admin/copy_installation.h"

#include <filesystem>
#include <ostream>

#include "config/service_config.h"
#include "store/installation_copy.h"

int CopyInstallation(const std::string& source, const std::string& target, std::ostream& out, std::ostream& err) {
  if (IsPostgresSetting(source)) {
    err << "copy-to copies from a SQLite database, but the database setting is " << DatabaseSettingForLog(source)
        << "\n";
    return 1;
  }
  if (!IsPostgresSetting(target)) {
    err << "copy-to copies into PostgreSQL: give a connection string, postgresql://USER@HOST:PORT/DATABASE\n";
    return 1;
  }
  std::error_code error;
  if (!std::filesystem::is_regular_file(source, error)) {
    err << "no SQLite database at " << source << " (the database setting)\n";
    return 1;
  }
  InstallationSnapshot snapshot;
  try {
    Database from(source, 1);
    snapshot = ReadInstallation(from);
  } catch (const std::exception& e) {
    err << "copy-to: cannot read " << source << ": " << e.what() << "\n";
    return 1;
  }
  try {
    Database to(target, 1);
    WriteInstallation(to, snapshot);
  } catch (const std::exception& e) {
    err << "copy-to " << DatabaseSettingForLog(target) << ": " << e.what() << "\n";
    return 1;
  }
  out << "copied " << DescribeInstallation(snapshot) << "\n";
  return 0;
}
