// An installation's rows as they are moved from one database to another: the accounts,
// their machines, the notices, the settings and the mail queue.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store/database.h"

// Every copied table's rows as the source held them at one moment.
struct InstallationSnapshot {
  std::vector<SqlResult> tables;
  int64_t queuedMails = 0;
};

// Reads the installation in `source` in one read transaction that keeps no writer out.
InstallationSnapshot ReadInstallation(Database& source);
// Writes the rows into `target` with the same values, ids included, in one transaction,
// after which new ids follow the copied ones. Throws, writing nothing, when the target
// already holds rows: a copy never merges into a live installation.
void WriteInstallation(Database& target, const InstallationSnapshot& snapshot);
// What the snapshot holds, for the operator: "2 accounts, 1 machine, ... (1 queued)".
std::string DescribeInstallation(const InstallationSnapshot& snapshot);
