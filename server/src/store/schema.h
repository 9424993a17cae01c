// The layout of the service's database and how it is brought up to date: a table holds
// the layout's version, and each change of layout is a numbered step, written for both
// engines, applied in order. A database made before the version table existed has the
// first layout and is upgraded in place.
#pragma once

class Database;

// The layout version this build writes.
int LatestSchemaVersion();

// Applies the steps the database lacks, all in one transaction (instances starting at
// the same time take turns). Throws when the database is newer than this build.
void UpgradeSchema(Database& db);
