#pragma once
// The plant store from the command line: set it up, load files into it as
// history (with a limit set when asked), export a characteristic's lots,
// list the alarms and notes, show or store a characteristic's rule
// settings, and check the audit chain.
#include <iosfwd>
#include <string>
#include <vector>

namespace trevolo::cli {

struct StoreOptions {
    std::string action;                       // init, push, export, alarms, notes, rules, verify or checkpoint
    std::string db;                           // postgresql://user@host:port/db?sslmode=... or sqlite:PATH or a path
    std::vector<std::string> files;           // push: CSV files or workbooks
    std::vector<std::string> characteristic;  // export, notes, alarms, rules: product, process, machine, item
    std::string output;                       // export: the CSV file to write
    std::string station;                      // push: the station named in the lots (default: this host)
    std::string limitsFile;                   // push: typed limits (JSON) to publish with the lots
    std::string limitMethod;                  // push: "sigma" or "coefficient": limits computed from the lots
    std::string rulesFile;                    // rules: the rule settings (JSON) to store
    bool open = false;                        // alarms: only those never answered
    bool json = false;                        // alarms, notes, rules: one JSON object
    bool roles = false;                       // init: create the roles instead of the schema
    std::string keyFile;                      // checkpoint: the auditor's private key (PEM)
    std::string publicKey;                    // verify: the auditor's public key (PEM)
    std::vector<std::string> checkpointFiles;  // verify: checkpoints kept outside the store
    std::vector<std::string> outboxes;        // verify: stations' outbox files with their kept heads
};

// Runs one store command. Exit status 0 when it did all it was asked, 1 when
// verify found a changed row or a broken promise, 2 on bad input or when no
// server answers (the reason on err, in Japanese).
int RunStore(const StoreOptions& options, std::ostream& out, std::ostream& err);

}  // namespace trevolo::cli
