// The plant store's set-up as the README gives it, run line for line against
// the test server, then each role at work from the command line: an
// inspector pushes, an auditor signs a checkpoint and verifies the chain
// against it, and a login lacking a right is told which one. No line of
// Qt's own reaches standard error.
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <filesystem>

#include "../tools/cli_support.h"
#include "store_test_support.h"

namespace trevolo::test {
namespace {

using trevolo::testing::CliTempDir;
using trevolo::testing::RunCli;

// The lines of the README's first command block under a heading.
std::vector<QString> ReadmeBlock(const QString& heading)
{
    QFile f(QStringLiteral(TREVOLO_SOURCE_DIR "/README.md"));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    std::vector<QString> block;
    bool under = false;
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1String("#")))
            under = line == heading;
        else if (under && line.startsWith(QLatin1String("    ")))
            block.push_back(line.mid(4));
        else if (under && !block.empty())
            break;
    }
    return block;
}

TEST(StoreSetupTest, ReadmeSetUpThenEachRoleAtWork)
{
    StoreLocation server;
    std::string error;
    ASSERT_TRUE(StoreLocation::parse(ServerUrl(), server, error)) << error;
    const QString port = QString::number(server.port);
    CliTempDir dir;

    // The server's address and no SSL in place of the README's; the test
    // server's superuser stands for postgres, and each password prompt is
    // answered on standard input (setsid leaves no terminal to ask on).
    const std::vector<QString> block = ReadmeBlock(QStringLiteral("### Setting up a plant's server"));
    ASSERT_GE(block.size(), 4u);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PATH"),
               QString::fromStdString(std::filesystem::path(TREVOLO_CLI_PATH).parent_path().string()) + ":" +
                   env.value(QStringLiteral("PATH")));
    env.insert(QStringLiteral("PGHOST"), QString::fromStdString(server.host));
    env.insert(QStringLiteral("PGPORT"), port);
    env.insert(QStringLiteral("PGUSER"), QString::fromStdString(server.user));
    env.insert(QStringLiteral("PGDATABASE"), QStringLiteral("postgres"));
    for (QString line : block) {
        line.replace(QStringLiteral("dbhost:5432"), QString::fromStdString(server.host) + ":" + port)
            .replace(QStringLiteral("sslmode=require"), QStringLiteral("sslmode=disable"));
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral("setsid"), {QStringLiteral("bash"), QStringLiteral("-c"), line});
        ASSERT_TRUE(p.waitForStarted());
        p.write("secret\nsecret\n");
        p.closeWriteChannel();
        ASSERT_TRUE(p.waitForFinished(60000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
        EXPECT_EQ(p.exitCode(), 0) << line.toStdString() << "\n" << out.toStdString();
        EXPECT_FALSE(out.contains(QLatin1String("QSqlQuery")) || out.contains(QLatin1String("QPSQL")))
            << out.toStdString();
    }

    auto as = [&](const char* user) {
        return "postgresql://" + std::string(user) + "@" + server.host + ":" + port.toStdString() + "/trevolo";
    };
    const std::string key = dir.file("auditor.pem"), pub = dir.file("auditor.pub");
    ASSERT_EQ(QProcess::execute(QStringLiteral("openssl"),
                                {"genpkey", "-algorithm", "ed25519", "-out", QString::fromStdString(key)}),
              0);
    ASSERT_EQ(QProcess::execute(QStringLiteral("openssl"), {"pkey", "-in", QString::fromStdString(key), "-pubout",
                                                             "-out", QString::fromStdString(pub)}),
              0);
    ASSERT_EQ(Exec(server, {"CREATE ROLE nobody LOGIN"}), "");
    const std::string sample = TREVOLO_SOURCE_DIR "/Sample Files/01_stable_XbarR.csv";
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* says;  // in standard output, or standard error for status 2
    };
    const std::vector<Case> cases = {
        {{"store", "init", "--roles", "--db", as("trevolo_test")}, 0, "ロールはそろっています"},
        {{"store", "push", sample, "--db", as("suzuki")}, 0, "25 ロット"},
        {{"store", "checkpoint", "--db", as("suzuki"), "--key", key}, 2, "テーブル checkpoint の INSERT 権限がありません"},
        {{"store", "checkpoint", "--db", as("yamada"), "--key", dir.file("none.pem")}, 2, "鍵ファイルを開けません"},
        {{"store", "checkpoint", "--db", as("yamada"), "--key", pub}, 2, "秘密鍵 (PEM) ではありません"},
        {{"store", "checkpoint", "--db", as("yamada"), "--key", key}, 0, "trevolo-checkpoint 1 rows=27 "},
        {{"store", "verify", "--db", as("yamada"), "--public-key", pub, "--checkpoint", dir.file("kept.txt")},
         0,
         "(検査点 1 件と照合)。改ざんはありません"},
        {{"store", "verify", "--db", as("yamada"), "--checkpoint", dir.write("bad.txt", "trevolo-checkpoint 1 rows=x\n")},
         2,
         "1 行目の検査点が正しくありません"},
        {{"store", "verify", "--db", as("yamada"), "--public-key", sample}, 2, "Ed25519 の公開鍵ではありません"},
        {{"store", "verify", "--db", as("nobody")}, 2, "テーブル schema_version の SELECT 権限がありません"},
    };
    for (const Case& c : cases) {
        const auto r = RunCli(c.args, dir);
        EXPECT_EQ(r.status, c.status) << c.args[1] << " " << c.args[3] << "\n" << r.out << r.err;
        EXPECT_NE((c.status == 2 ? r.err : r.out).find(c.says), std::string::npos) << c.args[1] << ": " << r.out << r.err;
        EXPECT_EQ(r.err.find("QSqlQuery"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("QPSQL"), std::string::npos) << r.err;
        if (c.args[1] == "checkpoint" && c.status == 0)
            dir.write("kept.txt", r.out);
    }
}

}  // namespace
}  // namespace trevolo::test
