// The crash journal below the window: what is written comes back after the
// writer is gone, a journal that cannot be read is set aside, and a running
// copy's journal is never taken.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "model/sheetio.h"
#include "store/session_journal.h"
#include "store/sql_journal_store.h"

namespace trevolo {
namespace {

SheetArray Workbook(int count)
{
    SheetArray sheets(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        InitSheet(sheets[static_cast<size_t>(i)], i + 1, InitialValues::Defaults(), 10, 3);
    return sheets;
}

QStringList Journals(const QString& dir)
{
    return QDir(dir).entryList({QStringLiteral("*.journal")}, QDir::Files);
}

class JournalStoreTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    // A journal of this copy that follows session, showing sheet `shown`.
    std::unique_ptr<SessionJournal> open(SheetSession& session, int& shown, SheetArray& sheets)
    {
        file = JournalFile::create(dir.path());
        EXPECT_TRUE(file);
        std::string why;
        auto store = SqlJournalStore::openFile(file->path(), false, &why);
        EXPECT_TRUE(store) << why;
        auto j = std::make_unique<SessionJournal>(std::move(store), session);
        j->shownSheet = [&shown] { return shown; };
        j->sheetCount = [&sheets] { return static_cast<int>(sheets.size()); };
        return j;
    }
    std::optional<RecoveredWorkbook> recoverLeft()
    {
        auto left = JournalFile::claimLeft(dir.path());
        EXPECT_EQ(left.size(), 1u);
        if (left.empty())
            return std::nullopt;
        std::string why;
        auto w = left.front()->recover(&why);
        EXPECT_TRUE(w) << why;
        return w;
    }

    QTemporaryDir dir;
    std::unique_ptr<JournalFile> file;
};

TEST_F(JournalStoreTest, WhatWasWrittenComesBackAfterAnAbnormalEnd)
{
    SheetArray sheets = Workbook(3);
    int shown = 1;
    SheetSession session;
    session.setDimensions(10, 3);
    session.loadLists(sheets[1]);
    auto j = open(session, shown, sheets);
    j->writeWorkbook(sheets);

    // Single cells outside a command, then a command that changes a whole
    // table and a cell: the record written at its end holds both.
    session.edits().typeValue(0, 1, "1.500");
    std::vector<std::string> labels;
    for (int r = 0; r <= session.lots(); ++r)
        labels.push_back(r == 2 ? "first lot" : session.lotCells().text(0, r));
    session.edits().renumberLots(labels);
    session.edits().toggleLots(3, 3);
    session.setHeaderText(HeaderField::Product, "軸, \"外径\"\n2");
    {
        JournalBatch batch(j.get());
        session.edits().paste({2, 10, 2, 10}, "-3.250");
        session.edits().typeValue(1, 4, "7.000");
    }
    j->syncIfWritten();
    EXPECT_FALSE(j->failed());
    session.edits().typeValue(1, 4, "8.000");
    // Another sheet changes as a whole (an import of one sheet).
    sheets[2].product = "imported";
    j->writeSheets(sheets, 2, 3);

    SheetRecord expected = sheets[1];
    session.store(expected);
    j.reset();
    file->abandon();

    auto w = recoverLeft();
    ASSERT_TRUE(w);
    ASSERT_EQ(w->sheets.size(), 3u);
    EXPECT_EQ(w->shown, 1);
    EXPECT_EQ(w->sheets[0], sheets[0]);
    EXPECT_EQ(w->sheets[1], expected);
    EXPECT_EQ(w->sheets[2], sheets[2]);
}

TEST_F(JournalStoreTest, ALowerSheetCountDropsTheSheetsBeyondIt)
{
    SheetArray sheets = Workbook(4);
    int shown = 3;
    SheetSession session;
    session.setDimensions(10, 3);
    session.loadLists(sheets[3]);
    auto j = open(session, shown, sheets);
    j->writeWorkbook(sheets);
    session.edits().typeValue(0, 1, "2.000");
    // The shown sheet's tab goes with the count: nothing is shown.
    shown = -1;
    sheets.resize(2);
    j->writeSheets(sheets, 2);
    sheets.resize(3);
    InitSheet(sheets[2], 3, InitialValues::Defaults(), 10, 3);
    j->writeSheets(sheets, 2);
    j.reset();
    file->abandon();

    auto w = recoverLeft();
    ASSERT_TRUE(w);
    EXPECT_EQ(w->sheets, sheets);
    EXPECT_EQ(w->shown, -1);
}

TEST_F(JournalStoreTest, AJournalThatCannotBeReadIsSetAsideUnderANewName)
{
    const QString path = dir.filePath(QStringLiteral("trevolo-1-1.journal"));
    for (const QByteArray& content : {QByteArray("this is no journal at all, only text"), QByteArray()}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content.isEmpty() ? QByteArray(5000, '\x5a') : content);
        f.close();
        const QByteArray written = [&] {
            QFile r(path);
            r.open(QIODevice::ReadOnly);
            return r.readAll();
        }();

        auto left = JournalFile::claimLeft(dir.path());
        ASSERT_EQ(left.size(), 1u);
        std::string why;
        EXPECT_FALSE(left.front()->recover(&why));
        EXPECT_FALSE(why.empty());
        const QString aside = left.front()->setAside();
        ASSERT_FALSE(aside.isEmpty());
        EXPECT_FALSE(QFile::exists(path));
        QFile kept(aside);
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), written);
        // Never offered again.
        EXPECT_TRUE(JournalFile::claimLeft(dir.path()).empty());
    }

    // A record cut short is as unreadable as a broken file.
    SheetArray sheets = Workbook(1);
    int shown = 0;
    SheetSession session;
    auto j = open(session, shown, sheets);
    j->writeWorkbook(sheets);
    j->store().putSheet(0, EncodeSheet(sheets[0]).substr(0, 40));
    j.reset();
    file->abandon();
    auto left = JournalFile::claimLeft(dir.path());
    ASSERT_EQ(left.size(), 1u);
    EXPECT_FALSE(left.front()->recover(nullptr));
}

TEST_F(JournalStoreTest, ARunningCopysJournalIsNeverTaken)
{
    SheetArray sheets = Workbook(1);
    int shown = 0;
    SheetSession session;
    auto j = open(session, shown, sheets);
    j->writeWorkbook(sheets);
    // Another copy starting now sees no journal left behind.
    EXPECT_TRUE(JournalFile::claimLeft(dir.path()).empty());
    EXPECT_EQ(Journals(dir.path()).size(), 1u);

    // A normal end deletes it with the engine's files.
    j.reset();
    file->remove();
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST(JournalRecordTest, EveryTextComesBackWhole)
{
    SheetRecord s;
    InitSheet(s, 7, InitialValues::Defaults(), 12, 4);
    s.product = std::string("a\0b", 3) + "12:3,\"\r\n";
    s.upperSpec = "10.5";
    s.checkList = {"1", "0"};
    s.dataList = {"\"K,1\",1.0,,\"\"", ""};
    EXPECT_EQ(DecodeSheet(EncodeSheet(s)), s);
    EXPECT_FALSE(DecodeSheet(EncodeSheet(s) + "x"));
    // The stored lots of a sheet opened from the plant store come back too;
    // the record before them is written as a sheet without them is.
    const std::string plain = EncodeSheet(s);
    s.storeRefs = {"5f0c 12 ab", ""};
    EXPECT_EQ(DecodeSheet(EncodeSheet(s)), s);
    EXPECT_EQ(EncodeSheet(s).substr(0, plain.size()), plain);
    EXPECT_FALSE(DecodeSheet("99999999999999999999:"));
    EXPECT_FALSE(DecodeSheet(""));
}

}  // namespace
}  // namespace trevolo
