#pragma once
// Running the built batch tool from the tests, and files for it.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../exchange/exchange_csv.h"

namespace trevolo::testing {

// A fresh folder under the build's test folder, removed at the end.
class CliTempDir {
public:
    CliTempDir()
    {
        const char* base = std::getenv("TREVOLO_TEST_TMP");
        std::filesystem::path root = (base && *base) ? base : std::filesystem::temp_directory_path();
        std::filesystem::create_directories(root);
        std::string templ = (root / "cli-XXXXXX").string();
        if (!mkdtemp(templ.data()))
            throw std::runtime_error("mkdtemp failed");
        path_ = templ;
    }
    ~CliTempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    std::string write(const std::string& name, const std::string& bytes) const
    {
        const std::string p = file(name);
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }

private:
    std::filesystem::path path_;
};

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string ShellQuote(const std::string& s)
{
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

// Runs trevolo-cli with the arguments; standard output and error captured.
inline CliRun RunCli(const std::vector<std::string>& args, const CliTempDir& dir)
{
    const std::string errFile = dir.file("stderr.txt");
    std::string cmd = ShellQuote(TREVOLO_CLI_PATH);
    for (const std::string& a : args)
        cmd += " " + ShellQuote(a);
    cmd += " 2>" + ShellQuote(errFile);
    CliRun r;
    std::FILE* p = popen(cmd.c_str(), "r");
    if (!p)
        return r;
    char buf[4096];
    size_t got = 0;
    while ((got = std::fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, got);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    std::ifstream e(errFile, std::ios::binary);
    std::stringstream ss;
    ss << e.rdbuf();
    r.err = ss.str();
    return r;
}

}  // namespace trevolo::testing
