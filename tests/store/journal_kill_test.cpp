// The crash journal under kills: the window is edited at random and killed
// with SIGKILL at seeded random moments, again and again. After each restart
// (answered Yes) the workbook must be exactly what was confirmed before the
// kill: every edit the window returned from is there, and the one edit under
// way when the kill came is either wholly there or not at all.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <array>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <thread>

namespace {

constexpr int kRows = 20;
constexpr int kCols = 4;

struct SheetModel {
    std::string product;
    std::array<std::string, kRows + 1> labels;
    std::array<bool, kRows + 1> switches{};
    std::map<std::pair<int, int>, double> values;  // (col, row) -> value
    SheetModel()
    {
        for (int r = 1; r <= kRows; ++r) {
            char b[16];
            std::snprintf(b, sizeof b, "K%04d", r);
            labels[static_cast<size_t>(r)] = b;
            switches[static_cast<size_t>(r)] = true;
        }
    }
    friend bool operator==(const SheetModel&, const SheetModel&) = default;
};

struct Model {
    int shown = 0;
    std::vector<SheetModel> sheets;
    friend bool operator==(const Model&, const Model&) = default;
};

std::string Describe(const Model& m)
{
    std::ostringstream o;
    o << "count " << m.sheets.size() << " shown " << m.shown << "\n";
    for (size_t i = 0; i < m.sheets.size(); ++i) {
        const SheetModel& s = m.sheets[i];
        o << " sheet " << i << " product '" << s.product << "'";
        for (int r = 1; r <= kRows; ++r)
            if (s.labels[static_cast<size_t>(r)].rfind('K', 0) != 0 || !s.switches[static_cast<size_t>(r)])
                o << " r" << r << "=" << s.labels[static_cast<size_t>(r)] << "/" << s.switches[static_cast<size_t>(r)];
        for (const auto& [cr, v] : s.values)
            o << " (" << cr.first << "," << cr.second << ")=" << v;
        o << "\n";
    }
    return o.str();
}

// The state a driver wrote after its start, rows and columns of the test's
// range only.
bool ReadState(const QString& path, Model& m)
{
    std::ifstream in(path.toStdString());
    if (!in)
        return false;
    m = Model();
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream l(line);
        std::string kind;
        l >> kind;
        if (kind == "count") {
            int n = 0;
            l >> n;
            m.sheets.assign(static_cast<size_t>(n), SheetModel());
        } else if (kind == "shown") {
            l >> m.shown;
        } else if (kind == "product") {
            size_t i = 0;
            l >> i;
            l.get();
            std::getline(l, m.sheets.at(i).product);
        } else if (kind == "row") {
            size_t i = 0;
            int r = 0, on = 0;
            std::string label;
            l >> i >> r >> on >> label;
            if (r <= kRows) {
                m.sheets.at(i).labels[static_cast<size_t>(r)] = label;
                m.sheets.at(i).switches[static_cast<size_t>(r)] = on != 0;
            }
        } else if (kind == "value") {
            size_t i = 0;
            int c = 0, r = 0;
            std::string text;
            l >> i >> c >> r >> text;
            if (c < kCols && r <= kRows)
                m.sheets.at(i).values[{c, r}] = std::stod(text);
        }
    }
    return true;
}

// Applies one logged edit ("value s c r t", "unset s c r", "label s r t",
// "switch s r on", "product s t", "tab k", "count k", or "edits" followed by
// edits separated by ';': an undo or redo) as the window does.
void Apply(Model& m, const std::string& op)
{
    std::istringstream l(op);
    std::string kind;
    l >> kind;
    if (kind == "edits") {
        std::string rest;
        std::getline(l, rest);
        std::istringstream edits(rest);
        std::string edit;
        while (std::getline(edits, edit, ';'))
            Apply(m, edit);
    } else if (kind == "unset") {
        size_t s = 0;
        int c = 0, r = 0;
        l >> s >> c >> r;
        m.sheets.at(s).values.erase({c, r});
    } else if (kind == "value") {
        size_t s = 0;
        int c = 0, r = 0;
        std::string t;
        l >> s >> c >> r >> t;
        m.sheets.at(s).values[{c, r}] = std::stod(t);
    } else if (kind == "label") {
        size_t s = 0;
        int r = 0;
        std::string t;
        l >> s >> r >> t;
        m.sheets.at(s).labels[static_cast<size_t>(r)] = t;
    } else if (kind == "switch") {
        size_t s = 0;
        int r = 0, on = 0;
        l >> s >> r >> on;
        m.sheets.at(s).switches[static_cast<size_t>(r)] = on != 0;
    } else if (kind == "product") {
        size_t s = 0;
        std::string t;
        l >> s >> t;
        m.sheets.at(s).product = t;
    } else if (kind == "tab") {
        l >> m.shown;
    } else if (kind == "count") {
        int k = 0;
        l >> k;
        if (static_cast<int>(m.sheets.size()) != k) {
            m.sheets.resize(static_cast<size_t>(k));
            if (m.shown >= k)
                m.shown = -1;
        }
    }
}

// The edits of a run: those the window returned from, and the one under way.
void ReadOps(const QString& path, std::vector<std::string>& done, std::optional<std::string>& underWay)
{
    std::ifstream in(path.toStdString());
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("B ", 0) == 0) {
            underWay = line.substr(2);
        } else if (line == "E" && underWay) {
            done.push_back(*underWay);
            underWay.reset();
        }
    }
}

pid_t Start(const QString& folder, unsigned seed, int run, bool check)
{
    const std::string f = folder.toStdString(), s = std::to_string(seed), r = std::to_string(run);
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<const char*> args{TREVOLO_KILL_DRIVER, f.c_str(), s.c_str(), r.c_str()};
        if (check)
            args.push_back("--check");
        args.push_back(nullptr);
        execv(TREVOLO_KILL_DRIVER, const_cast<char* const*>(args.data()));
        _exit(127);
    }
    return pid;
}

TEST(JournalKillTest, EveryConfirmedEditSurvivesAKillAndNothingIsInvented)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.path();
    unsigned seed = 20261207;
    if (const char* s = std::getenv("TREVOLO_KILL_SEED"))
        seed = static_cast<unsigned>(std::stoul(s));
    int kills = 50;
    if (const char* k = std::getenv("TREVOLO_KILL_COUNT"))
        kills = std::max(1, std::atoi(k));
    std::mt19937 rng(seed);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };

    std::vector<Model> expected;  // what the next start may show: without or with the edit under way
    int edits = 0;
    for (int run = 0; run <= kills; ++run) {
        const bool last = run == kills;
        const QString state = QDir(folder).filePath(QStringLiteral("state-%1.txt").arg(run));
        const pid_t pid = Start(folder, seed + static_cast<unsigned>(run), run, last);
        ASSERT_GT(pid, 0);
        // Most kills come while the window is editing; some during its start.
        const bool early = !last && pick(0, 9) == 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        int status = 0;
        bool ended = false;
        if (early) {
            std::this_thread::sleep_for(std::chrono::milliseconds(pick(0, 400)));
        } else {
            while (!QFile::exists(state) && std::chrono::steady_clock::now() < deadline) {
                if (waitpid(pid, &status, WNOHANG) == pid) {
                    ended = true;
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            ASSERT_TRUE(QFile::exists(state)) << "run " << run << " did not start (seed " << seed << ")";
            if (!last)
                std::this_thread::sleep_for(std::chrono::milliseconds(pick(1, 250)));
        }
        if (last) {
            if (!ended)
                waitpid(pid, &status, 0);
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        } else {
            if (!ended) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
            }
            ASSERT_FALSE(WIFEXITED(status)) << "run " << run << " ended by itself";
        }

        Model restored;
        if (!ReadState(state, restored))
            continue;  // killed before it showed its workbook: the same is expected next time
        if (restored.shown < 0)
            restored.shown = 0;
        if (!expected.empty()) {
            bool found = false;
            for (Model& e : expected) {
                if (e.shown < 0)
                    e.shown = 0;
                found = found || e == restored;
            }
            ASSERT_TRUE(found) << "after kill " << run << " (seed " << seed << ") the workbook is\n"
                               << Describe(restored) << "but was expected as\n"
                               << Describe(expected.front())
                               << (expected.size() > 1 ? "or\n" + Describe(expected.back()) : std::string());
        }
        std::vector<std::string> done;
        std::optional<std::string> underWay;
        ReadOps(QDir(folder).filePath(QStringLiteral("ops-%1.txt").arg(run)), done, underWay);
        edits += static_cast<int>(done.size());
        Model m = restored;
        for (const std::string& op : done)
            Apply(m, op);
        expected = {m};
        if (underWay) {
            Apply(m, *underWay);
            expected.push_back(m);
        }
    }
    EXPECT_GT(edits, kills);
    // The last start ended normally: no journal is left.
    EXPECT_TRUE(QDir(QDir(folder).filePath(QStringLiteral("journal")))
                    .entryList({QStringLiteral("*.journal")}, QDir::Files)
                    .isEmpty());
}

}  // namespace
