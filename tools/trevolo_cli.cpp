// trevolo-cli: the window's judgment chain on files of the exchange layout,
// from the command line.
//
//   trevolo-cli judge [options] FILE...
//   trevolo-cli convert IN OUT
//   trevolo-cli store init|push|export|verify|checkpoint --db URL ...
//   trevolo-cli validate [FOLDER]
#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "cli_convert.h"
#include "cli_judge.h"
#ifdef TREVOLO_HAVE_STORE
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

// Reads the typed limits file; false with a message naming the file.
bool LoadLimits(const std::string& path, std::array<std::string, kLimitFields>& limits, std::string& error)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = "--limits " + path + ": " + ReadFailureReason(errno);
        return false;
    }
    std::string text;
    char buf[4096];
    size_t got = 0;
    while ((got = std::fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, got);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) {
        error = "--limits " + path + ": " + ReadFailureReason(EIO);
        return false;
    }
    std::string why;
    if (!ParseTypedLimits(text, limits, why)) {
        error = "--limits " + path + ": 管理限界値の指定が正しくありません。(" + why + ")";
        return false;
    }
    return true;
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

    CLI::App* judge = app.add_subcommand(
        "judge",
        "Import each file as the window does, set the control limits (three-sigma, answered Yes, or the "
        "typed --limits), press \"SPC異常判定\" and report what the window shows.");

    std::string chart = "xbar-r";
    std::string index = "cpk";
    std::string threshold = "1.33";
    bool noThreshold = false;
    std::string rules = kDefaultRuleSpec;
    std::string limitsFile;
    std::string limitMethod = "sigma";
    int sheet = 0;
    bool json = false;
    std::vector<std::string> files;

    judge->add_option("--chart", chart, "chart kind: xbar-r, xbar-s or x-rs (a sheet with n = 1 is judged as x-rs)")
        ->check(CLI::IsMember({"xbar-r", "xbar-s", "x-rs"}))
        ->capture_default_str();
    judge->add_option("--index", index, "index compared with the threshold: cp or cpk")
        ->check(CLI::IsMember({"cp", "cpk"}))
        ->capture_default_str();
    CLI::Option* thresholdOpt =
        judge->add_option("--threshold", threshold, "threshold of the index")->capture_default_str();
    judge->add_flag("--no-threshold", noThreshold, "no threshold judgment (verdict cells \"－\")")
        ->excludes(thresholdOpt);
    judge
        ->add_option("--rules", rules,
                     "rules switched on with their run lengths, e.g. 1,2:9,3:6,4:14,5:3/2,6:5/4,7:15,8:8; a rule "
                     "not named is off")
        ->capture_default_str();
    judge->add_option("--limits", limitsFile,
                      "typed control limits (\"指定管理値\"): a JSON object of the eleven limit fields "
                      "(editUcl3 ... editRsUcl1) with texts, used instead of the three-sigma computation; the hidden "
                      "editRsUcl2 and editRsUcl1 left out follow from editRcl and editRsUcl3");
    judge
        ->add_option("--limit-method", limitMethod,
                     "how the limits are computed: sigma (three-sigma method, every σ the standard deviation of "
                     "all values) or coefficient (\"係数法（JIS Z 9020-2）\": X̄ ± A₂R̄, X̄ ± A₃s̄ or X ± E₂·MR̄)")
        ->check(CLI::IsMember({"sigma", "coefficient"}))
        ->capture_default_str();
    judge->add_option("--sheet", sheet, "judge only worksheet N (from 1)")->check(CLI::PositiveNumber);
    judge->add_flag("--json", json, "write one JSON object for the run instead of the readable report");
    int jobs = 0;
    judge
        ->add_option("-j,--jobs", jobs,
                     "sheets judged at once, one thread each (default: one per core); the report is the same "
                     "for every count")
        ->check(CLI::PositiveNumber);
    judge->add_option("FILE", files, "CSV files of the exchange layout, or workbooks (.xls, .xlsx, .ods)")->required();

    CLI::App* convert = app.add_subcommand(
        "convert",
        "Convert a workbook (.xls, .xlsx, .ods: every worksheet) or a CSV file of the exchange layout (one "
        "sheet) into a workbook, or into a folder of CSV files, through LibreOffice, as the window's "
        "File menu imports and exports them.");
    ConvertOptions convertOptions;
    convert->add_option("IN", convertOptions.input, "the workbook or CSV file to read")->required();
    convert
        ->add_option("OUT", convertOptions.output,
                     "a workbook (.xls, .xlsx, .ods) to write, or else a folder (created when missing) for "
                     "Sheet1.csv, Sheet2.csv, ...")
        ->required();

#ifdef TREVOLO_HAVE_STORE
    CLI::App* store = app.add_subcommand("store", "The plant store: every station's lots in one database.");
    store->require_subcommand(1);
    StoreOptions storeOptions;
    const std::string dbHelp =
        "the store: postgresql://user@host:port/database?sslmode=... (the password from ~/.pgpass or PGPASSWORD) "
        "or sqlite:PATH";
    CLI::App* storeInit = store->add_subcommand("init",
                                                "Create or migrate the schema and give the store's roles their "
                                                "rights; harmless when the store is up to date.");
    storeInit->add_flag("--roles", storeOptions.roles,
                        "create the three roles instead (needs a superuser or a login with CREATEROLE); harmless "
                        "when they exist");
    CLI::App* storePush =
        store->add_subcommand("push", "Load CSV files of the exchange layout or workbooks into the store as history.");
    storePush->add_option("FILE", storeOptions.files, "CSV files or workbooks (.xls, .xlsx, .ods)")->required();
    storePush->add_option("--station", storeOptions.station, "the station named in the lots (default: this host)");
    CLI::App* storeExport =
        store->add_subcommand("export", "Write every current lot of a characteristic to a CSV file (UTF-8).");
    storeExport
        ->add_option("--characteristic", storeOptions.characteristic,
                     "the characteristic: product, process, machine and item (4 values)")
        ->expected(4)
        ->required();
    storeExport->add_option("OUT", storeOptions.output, "the CSV file to write")->required();
    CLI::App* storeVerify = store->add_subcommand(
        "verify", "Check the audit chain; name every changed, removed or added row, and every checkpoint or "
                  "station's head the chain no longer extends.");
    storeVerify->add_option("--public-key", storeOptions.publicKey,
                            "the auditor's Ed25519 public key (PEM): only checkpoints it signed count");
    storeVerify->add_option("--checkpoint", storeOptions.checkpointFiles,
                            "files of checkpoints kept outside the store (lines printed by store checkpoint)");
    storeVerify->add_option("--station-heads", storeOptions.outboxes,
                            "stations' outbox files (outbox.sqlite): the newest chain head each station saw");
    CLI::App* storeCheckpoint = store->add_subcommand(
        "checkpoint", "Sign the head of the audit chain with the auditor's Ed25519 key, store the checkpoint and "
                      "print it.");
    storeCheckpoint->add_option("--key", storeOptions.keyFile, "the auditor's Ed25519 private key (PEM)")
        ->required();
    for (CLI::App* sub : {storeInit, storePush, storeExport, storeVerify, storeCheckpoint})
        sub->add_option("--db", storeOptions.db, dbHelp)->required();
#endif
    CLI::App* validate = app.add_subcommand(
        "validate",
        "Run the validation pack: published datasets (the piston rings of qcc and Montgomery, the viscosity "
        "batches, ...) through the coefficient method and the capability study, and print each published figure "
        "beside ours. Exit status 0 only when every figure agrees to the precision it is published with.");
    std::string validationFolder;
    validate->add_option("FOLDER", validationFolder,
                         "the folder of the pack (*.json); default: \"validation\" beside the program");

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

    if (convert->parsed())
        return RunConvert(convertOptions, std::cout, std::cerr);
#ifdef TREVOLO_HAVE_STORE
    if (store->parsed()) {
        for (CLI::App* sub : {storeInit, storePush, storeExport, storeVerify, storeCheckpoint})
            if (sub->parsed())
                storeOptions.action = sub->get_name();
        return RunStore(storeOptions, std::cout, std::cerr);
    }
#endif
    if (validate->parsed()) {
        if (validationFolder.empty()) {
            std::error_code ec;
            const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
            validationFolder = (ec ? std::filesystem::path("validation") : self.parent_path() / "validation").string();
        }
        return RunValidate(validationFolder, std::cout, std::cerr);
    }

    JudgeOptions options;
    options.settings.chartIndex = chart == "xbar-s" ? ChartXbarS : chart == "x-rs" ? ChartXRs : ChartXbarR;
    options.settings.cpkIndex = index == "cp" ? 0 : 1;
    options.settings.limitMethod = limitMethod == "coefficient" ? LimitCoefficient : LimitThreeSigma;
    options.settings.cpkCheck = !noThreshold;
    double t = 0;
    if (!TryStrToFloat(threshold, t)) {
        std::cerr << "trevolo-cli: --threshold: " << ConvertError(threshold).what() << "\n";
        return kExitUnusable;
    }
    options.settings.cpCpk = threshold;
    std::string error;
    if (!ParseRuleSpec(rules, options.settings.options, error)) {
        std::cerr << "trevolo-cli: --rules: SPC異常判定ルールの指定が正しくありません。(" << error << ")\n";
        return kExitUnusable;
    }
    if (!limitsFile.empty()) {
        std::array<std::string, kLimitFields> limits;
        if (!LoadLimits(limitsFile, limits, error)) {
            std::cerr << "trevolo-cli: " << error << "\n";
            return kExitUnusable;
        }
        options.limits = std::move(limits);
    }
    options.sheet = sheet;
    options.json = json;
    options.jobs = jobs;
    options.files = std::move(files);
    return RunJudge(options, std::cout, std::cerr);
}
