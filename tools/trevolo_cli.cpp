// trevolo-cli: the window's judgment chain on files of the exchange layout,
// from the command line.
//
//   trevolo-cli judge [options] FILE...
//   trevolo-cli convert IN OUT
//   trevolo-cli store init|push|export|alarms|notes|verify|checkpoint --db URL ...
//   trevolo-cli validate [FOLDER]
#include <CLI/CLI.hpp>

#include <array>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli_convert.h"
#include "cli_files.h"
#include "cli_judge.h"
#ifdef TREVOLO_HAVE_STORE
#include "cli_board.h"
#include "cli_store.h"
#endif
#include "cli_validate.h"
#include "exchange/messages.h"
#include "model/broken_pipe.h"
#include "model/number.h"
#include "spc/rule_switches.h"
#include "stats/typed_limits.h"

namespace {

using namespace trevolo;
using namespace trevolo::cli;

// The judge subcommand's options as typed, before they are checked.
struct JudgeArgs {
    std::string chart = "xbar-r";
    std::string index = "cpk";
    std::string threshold = "1.33";
    bool noThreshold = false;
    std::string rules = kDefaultRuleSpec;
    std::string limitsFile;
    std::string limitMethod = "sigma";
    int sheet = 0;
    bool json = false;
    int jobs = 0;
    std::vector<std::string> files;
};

CLI::App* AddJudgeCommand(CLI::App& app, JudgeArgs& a)
{
    CLI::App* judge = app.add_subcommand(
        "judge",
        "Import each file as the window does, set the control limits (three-sigma, answered Yes, or the "
        "typed --limits), press \"SPC異常判定\" and report what the window shows.");
    judge->add_option("--chart", a.chart, "chart kind: xbar-r, xbar-s or x-rs (a sheet with n = 1 is judged as x-rs)")
        ->check(CLI::IsMember({"xbar-r", "xbar-s", "x-rs"}))
        ->capture_default_str();
    judge->add_option("--index", a.index, "index compared with the threshold: cp or cpk")
        ->check(CLI::IsMember({"cp", "cpk"}))
        ->capture_default_str();
    CLI::Option* thresholdOpt =
        judge->add_option("--threshold", a.threshold, "threshold of the index")->capture_default_str();
    judge->add_flag("--no-threshold", a.noThreshold, "no threshold judgment (verdict cells \"－\")")
        ->excludes(thresholdOpt);
    judge
        ->add_option("--rules", a.rules,
                     "rules switched on with their run lengths, e.g. 1,2:9,3:6,4:14,5:3/2,6:5/4,7:15,8:8; a rule "
                     "not named is off")
        ->capture_default_str();
    judge->add_option("--limits", a.limitsFile,
                      "typed control limits (\"指定管理値\"): a JSON object of the eleven limit fields "
                      "(editUcl3 ... editRsUcl1) with texts, used instead of the three-sigma computation; the hidden "
                      "editRsUcl2 and editRsUcl1 left out follow from editRcl and editRsUcl3");
    judge
        ->add_option("--limit-method", a.limitMethod,
                     "how the limits are computed: sigma (three-sigma method, every σ the standard deviation of "
                     "all values) or coefficient (\"係数法（JIS Z 9020-2）\": X̄ ± A₂R̄, X̄ ± A₃s̄ or X ± E₂·MR̄)")
        ->check(CLI::IsMember({"sigma", "coefficient"}))
        ->capture_default_str();
    judge->add_option("--sheet", a.sheet, "judge only worksheet N (from 1)")->check(CLI::PositiveNumber);
    judge->add_flag("--json", a.json, "write one JSON object for the run instead of the readable report");
    judge
        ->add_option("-j,--jobs", a.jobs,
                     "sheets judged at once, one thread each (default: one per core); the report is the same "
                     "for every count")
        ->check(CLI::PositiveNumber);
    judge->add_option("FILE", a.files, "CSV files of the exchange layout, or workbooks (.xls, .xlsx, .ods)")->required();
    return judge;
}

CLI::App* AddConvertCommand(CLI::App& app, ConvertOptions& options)
{
    CLI::App* convert = app.add_subcommand(
        "convert",
        "Convert a workbook (.xls, .xlsx, .ods: every worksheet) or a CSV file of the exchange layout (one "
        "sheet) into a workbook, or into a folder of CSV files, through LibreOffice, as the window's "
        "File menu imports and exports them.");
    convert->add_option("IN", options.input, "the workbook or CSV file to read")->required();
    convert
        ->add_option("OUT", options.output,
                     "a workbook (.xls, .xlsx, .ods) to write, or else a folder (created when missing) for "
                     "Sheet1.csv, Sheet2.csv, ...")
        ->required();
    return convert;
}

#ifdef TREVOLO_HAVE_STORE
// The store subcommand and its actions, each named as StoreOptions::action.
struct StoreCommand {
    CLI::App* store = nullptr;
    std::array<CLI::App*, 8> actions{};
};

CLI::App* AddStoreInit(CLI::App* store, StoreOptions& options)
{
    CLI::App* init = store->add_subcommand("init",
                                           "Create or migrate the schema and give the store's roles their "
                                           "rights; harmless when the store is up to date.");
    init->add_flag("--roles", options.roles,
                   "create the three roles instead (needs a superuser or a login with CREATEROLE); harmless "
                   "when they exist");
    return init;
}

CLI::App* AddStorePush(CLI::App* store, StoreOptions& options)
{
    CLI::App* push =
        store->add_subcommand("push", "Load CSV files of the exchange layout or workbooks into the store as history.");
    push->add_option("FILE", options.files, "CSV files or workbooks (.xls, .xlsx, .ods)")->required();
    push->add_option("--station", options.station, "the station named in the lots (default: this host)");
    CLI::Option* limits = push->add_option(
        "--limits", options.limitsFile,
        "publish typed control limits (\"指定管理値\", the JSON that judge --limits reads) with the lots: in force "
        "from the first pushed lot on, sent before the lots (an engineer's right)");
    push->add_option("--limit-method", options.limitMethod,
                     "publish control limits computed from the pushed lots of each characteristic as judge computes "
                     "them: sigma (three-sigma method) or coefficient (\"係数法（JIS Z 9020-2）\"); in force from the "
                     "first pushed lot on, sent before the lots (an engineer's right)")
        ->check(CLI::IsMember({"sigma", "coefficient"}))
        ->excludes(limits);
    return push;
}

// The --characteristic option of the store actions: product, process,
// machine and item. It takes four values and no more, so a file named after
// them is the action's file wherever the other options stand.
CLI::Option* AddCharacteristicOption(CLI::App* action, StoreOptions& options)
{
    return action
        ->add_option("--characteristic", options.characteristic,
                     "the characteristic: product, process, machine and item (4 values)")
        ->expected(4)
        ->allow_extra_args(false);
}

CLI::App* AddStoreExport(CLI::App* store, StoreOptions& options)
{
    CLI::App* exportLots = store->add_subcommand(
        "export", "Write every current lot of a characteristic to a CSV file (UTF-8), and beside it its lots' notes "
                  "(NAME_notes.csv) and its alarms with their answers (NAME_alarms.csv).");
    AddCharacteristicOption(exportLots, options)->required();
    exportLots->add_option("OUT", options.output, "the CSV file of the lots to write")->required();
    return exportLots;
}

CLI::App* AddStoreAlarms(CLI::App* store, StoreOptions& options)
{
    CLI::App* alarms = store->add_subcommand(
        "alarms", "List the alarms the run rules raised on stored lots, oldest first, with their answers.");
    AddCharacteristicOption(alarms, options)->description("only this characteristic: product, process, machine "
                                                          "and item (4 values); default: every characteristic");
    alarms->add_flag("--open", options.open, "only the alarms nobody has answered");
    alarms->add_flag("--json", options.json, "write one JSON object instead of the readable list");
    return alarms;
}

CLI::App* AddStoreNotes(CLI::App* store, StoreOptions& options)
{
    CLI::App* notes = store->add_subcommand("notes", "List the notes on a characteristic's lots, oldest first.");
    AddCharacteristicOption(notes, options)->required();
    notes->add_flag("--json", options.json, "write one JSON object instead of the readable list");
    return notes;
}

CLI::App* AddStoreRules(CLI::App* store, StoreOptions& options)
{
    CLI::App* rules = store->add_subcommand(
        "rules", "Show the run rules a characteristic's alarms are found with, or store new ones (an engineer's "
                 "right): every rule on with the usual run lengths until an engineer stores others.");
    AddCharacteristicOption(rules, options)->required();
    rules->add_option("--set", options.rulesFile,
                      "a JSON file of the rules to store: {\"rules\": {\"sameSide\": false, \"sameSideRun\": 8, ...}, "
                      "\"spread\": \"R\"|\"S\"|\"Rs\"|\"\"}; names left out keep their values (the output "
                      "of --json may be edited and given back)");
    rules->add_flag("--json", options.json, "write one JSON object instead of the readable list");
    return rules;
}

CLI::App* AddStoreVerify(CLI::App* store, StoreOptions& options)
{
    CLI::App* verify = store->add_subcommand(
        "verify", "Check the audit chain; name every changed, removed or added row, and every checkpoint or "
                  "station's head the chain no longer extends.");
    verify->add_option("--public-key", options.publicKey,
                       "the auditor's Ed25519 public key (PEM): only checkpoints it signed count");
    verify->add_option("--checkpoint", options.checkpointFiles,
                       "files of checkpoints kept outside the store (lines printed by store checkpoint)");
    verify->add_option("--station-heads", options.outboxes,
                       "stations' outbox files (outbox.sqlite): the newest chain head each station saw");
    return verify;
}

CLI::App* AddStoreCheckpoint(CLI::App* store, StoreOptions& options)
{
    CLI::App* checkpoint = store->add_subcommand(
        "checkpoint", "Sign the head of the audit chain with the auditor's Ed25519 key, store the checkpoint and "
                      "print it.");
    checkpoint->add_option("--key", options.keyFile, "the auditor's Ed25519 private key (PEM)")->required();
    return checkpoint;
}

StoreCommand AddStoreCommand(CLI::App& app, StoreOptions& options)
{
    StoreCommand command;
    command.store = app.add_subcommand("store", "The plant store: every station's lots in one database.");
    command.store->require_subcommand(1);
    command.actions = {AddStoreInit(command.store, options), AddStorePush(command.store, options),
                       AddStoreExport(command.store, options), AddStoreAlarms(command.store, options),
                       AddStoreNotes(command.store, options), AddStoreRules(command.store, options),
                       AddStoreVerify(command.store, options),
                       AddStoreCheckpoint(command.store, options)};
    const std::string dbHelp =
        "the store: postgresql://user@host:port/database?sslmode=... (the password from ~/.pgpass or PGPASSWORD) "
        "or sqlite:PATH";
    for (CLI::App* sub : command.actions)
        sub->add_option("--db", options.db, dbHelp)->required();
    return command;
}

CLI::App* AddBoardCommand(CLI::App& app, BoardCommandOptions& options)
{
    CLI::App* board = app.add_subcommand(
        "board", "Serve the plant board: every characteristic's state, its charts and the unanswered alarms as web "
                 "pages that follow the store live. Runs until SIGINT or SIGTERM.");
    board
        ->add_option("--db", options.db,
                     "the store, best through the read-only auditor role: postgresql://trevolo_auditor@host:port/"
                     "database or sqlite:PATH")
        ->required();
    board->add_option("--listen", options.listen, "address:port to serve on (port 0: any free port)")
        ->capture_default_str();
    board->add_option("--quiet-minutes", options.quietMinutes,
                      "a characteristic without a lot for this long shows \"データなし\"")
        ->capture_default_str()
        ->check(CLI::PositiveNumber);
    board->add_option("--threads", options.threads, "threads making pages, each with its own store connection")
        ->capture_default_str()
        ->check(CLI::Range(1, 64));
    board->add_option("--max-connections", options.maxConnections, "open connections served at once; beyond: 503")
        ->capture_default_str()
        ->check(CLI::Range(1, 100000));
    return board;
}

int RunStoreCommand(const StoreCommand& command, StoreOptions& options)
{
    for (CLI::App* sub : command.actions)
        if (sub->parsed())
            options.action = sub->get_name();
    return RunStore(options, std::cout, std::cerr);
}
#endif

CLI::App* AddValidateCommand(CLI::App& app, std::string& folder)
{
    CLI::App* validate = app.add_subcommand(
        "validate",
        "Run the validation pack: published datasets (the piston rings of qcc and Montgomery, the viscosity "
        "batches, ...) through the coefficient method and the capability study, and print each published figure "
        "beside ours. Exit status 0 only when every figure agrees to the precision it is published with.");
    validate->add_option("FOLDER", folder,
                         "the folder of the pack (*.json); default: \"validation\" beside the program");
    return validate;
}

// Runs the validation pack; without a folder, the "validation" folder beside
// the program.
int RunValidateCommand(std::string folder)
{
    if (folder.empty()) {
        std::error_code ec;
        const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
        folder = (ec ? std::filesystem::path("validation") : self.parent_path() / "validation").string();
    }
    return RunValidate(folder, std::cout, std::cerr);
}

// Checks the judge options as typed and runs the judgment; a wrong option
// ends the run unusable with a message naming it.
int RunJudgeCommand(JudgeArgs& a)
{
    JudgeOptions options;
    options.settings.chartIndex = a.chart == "xbar-s" ? ChartXbarS : a.chart == "x-rs" ? ChartXRs : ChartXbarR;
    options.settings.cpkIndex = a.index == "cp" ? 0 : 1;
    options.settings.limitMethod = a.limitMethod == "coefficient" ? LimitCoefficient : LimitThreeSigma;
    options.settings.cpkCheck = !a.noThreshold;
    double t = 0;
    if (!TryStrToFloat(a.threshold, t)) {
        std::cerr << "trevolo-cli: --threshold: " << ConvertError(a.threshold).what() << "\n";
        return kExitUnusable;
    }
    options.settings.cpCpk = a.threshold;
    std::string error;
    if (!ParseRuleSpec(a.rules, options.settings.options, error)) {
        std::cerr << "trevolo-cli: --rules: SPC異常判定ルールの指定が正しくありません。(" << error << ")\n";
        return kExitUnusable;
    }
    if (!a.limitsFile.empty()) {
        std::array<std::string, kLimitFields> limits;
        if (!LoadTypedLimits(a.limitsFile, limits, error)) {
            std::cerr << "trevolo-cli: " << error << "\n";
            return kExitUnusable;
        }
        options.limits = std::move(limits);
    }
    options.sheet = a.sheet;
    options.json = a.json;
    options.jobs = a.jobs;
    options.files = std::move(a.files);
    return RunJudge(options, std::cout, std::cerr);
}

// Reads the command line; an exit status when the run ends here (help,
// version, or options the reader refused).
std::optional<int> ParseCommandLine(CLI::App& app, int argc, char** argv)
{
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        // The option reader's own words follow.
        std::cerr << "trevolo-cli: コマンドラインの指定が正しくありません。\n";
        app.exit(e);
        return kExitUnusable;
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv)
{
    trevolo::IgnoreBrokenPipe();
    CLI::App app{
        "Trevolo batch judgment: judges measurement files of the exchange layout (CSV in code page 932 "
        "or UTF-8, or workbooks) exactly as the window does, and converts them between workbooks and CSV.",
        "trevolo-cli"};
    app.set_version_flag("--version", std::string("trevolo-cli ") + TREVOLO_VERSION_TEXT);
    app.require_subcommand(1);

    JudgeArgs judgeArgs;
    AddJudgeCommand(app, judgeArgs);
    ConvertOptions convertOptions;
    CLI::App* convert = AddConvertCommand(app, convertOptions);
#ifdef TREVOLO_HAVE_STORE
    StoreOptions storeOptions;
    const StoreCommand store = AddStoreCommand(app, storeOptions);
    BoardCommandOptions boardOptions;
    CLI::App* board = AddBoardCommand(app, boardOptions);
#endif
    std::string validationFolder;
    CLI::App* validate = AddValidateCommand(app, validationFolder);

    if (const std::optional<int> status = ParseCommandLine(app, argc, argv))
        return *status;
    if (convert->parsed())
        return RunConvert(convertOptions, std::cout, std::cerr);
#ifdef TREVOLO_HAVE_STORE
    if (store.store->parsed())
        return RunStoreCommand(store, storeOptions);
    if (board->parsed())
        return RunBoard(boardOptions, std::cout, std::cerr);
#endif
    if (validate->parsed())
        return RunValidateCommand(validationFolder);
    return RunJudgeCommand(judgeArgs);
}
