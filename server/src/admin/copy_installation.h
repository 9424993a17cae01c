// Moving an installation from its SQLite file to PostgreSQL, where several instances of the
// service can share it.
#pragma once

#include <iosfwd>
#include <string>

// Copies the accounts, their machines, the notices, the settings and the mail queue from the
// SQLite database `source` (a file path) into the PostgreSQL database `target` (a connection
// string), whose schema it makes or upgrades. The target must hold no installation yet: the
// copy never merges into a live one. Writes all of it in one transaction, prints what it
// copied to `out` and any refusal or failure to `err` (never the target's password); the
// process exit code.
int CopyInstallation(const std::string& source, const std::string& target, std::ostream& out, std::ostream& err);
