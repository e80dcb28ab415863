#pragma once
// The plant store's tables, made and brought up to date by numbered
// migrations. The table schema_version lists the migrations applied, so
// running the set-up again changes nothing.
#include <QSqlDatabase>
#include <string>

#include "store/store_engine.h"

namespace trevolo {

// The version the program's migrations reach.
int StoreSchemaVersion();

// Applies every migration the store lacks, each in one transaction, one
// setter-up at a time. On PostgreSQL it also creates the roles
// trevolo_inspector (read, publish lots), trevolo_engineer (also limit
// sets) and trevolo_auditor (read only) and their grants. applied receives
// how many migrations ran (0 when the store was up to date).
bool InitStoreSchema(QSqlDatabase& db, const StoreDialect& dialect, int& applied, std::string& error);

// The version a store is at: 0 for an empty database, -1 on an error.
int ReadStoreSchemaVersion(QSqlDatabase& db);

}  // namespace trevolo
