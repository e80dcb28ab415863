#pragma once
// The plant store's tables, made and brought up to date by numbered
// migrations. The table schema_version lists the migrations applied, so
// running the set-up again changes nothing.
#include <QSqlDatabase>
#include <string>
#include <vector>

#include "store/store_engine.h"

namespace trevolo {

// The version the program's migrations reach.
int StoreSchemaVersion();

// Applies every migration the store lacks, each in one transaction, one
// setter-up at a time. On PostgreSQL it then gives the store's roles that
// exist their rights: trevolo_inspector (read, publish lots, answer
// alarms, add notes), trevolo_engineer (also limit sets and their
// revisions, rule settings, cause and action lists) and trevolo_auditor
// (read, sign checkpoints). No role writes alarms itself: publishing records
// them through the owner's trevolo_record_alarm. Making roles needs CREATEROLE, which a schema owner made by
// plain createuser lacks, so it is CreateStoreRoles' step; missingRoles
// receives the roles still to be made. applied receives how many
// migrations ran (0 when the store was up to date).
bool InitStoreSchema(QSqlDatabase& db, const StoreDialect& dialect, int& applied,
                     std::vector<std::string>& missingRoles, std::string& error);

// Makes the store's three roles that the server lacks (PostgreSQL; the
// login needs CREATEROLE or to be a superuser). When the schema is set up
// and this login may grant on it, also gives the roles their rights
// (granted). created receives the roles made now.
bool CreateStoreRoles(QSqlDatabase& db, std::vector<std::string>& created, bool& granted, std::string& error);

// The version a store is at: 0 for an empty database, -1 when it cannot be
// read (the reason in error, when given).
int ReadStoreSchemaVersion(QSqlDatabase& db, std::string* error = nullptr);

}  // namespace trevolo
