#include "app/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace trevolo {

namespace {

bool UsableFolder(const QString& dir)
{
    QDir d(dir);
    if (!d.exists() && !QDir().mkdir(dir))
        return false;
    return QFileInfo(dir).isWritable();
}

}  // namespace

QString ProgramDir()
{
    return QCoreApplication::applicationDirPath();
}

QString FormFilesDir()
{
    return QDir(ProgramDir()).filePath(QStringLiteral("Form Files"));
}

QString SampleFilesDir()
{
    return QDir(ProgramDir()).filePath(QStringLiteral("Sample Files"));
}

QString ManualPath()
{
    return QDir(ProgramDir()).filePath(QStringLiteral("操作手順書.pdf"));
}

QString EnsureSaveFilesDir()
{
    const QString beside = QDir(ProgramDir()).filePath(QStringLiteral("Save Files"));
    if (UsableFolder(beside))
        return beside;
    // An installed program folder is not the user's to write: the reports
    // then go where the user keeps documents.
    QString base = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    base = base.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
                          : QDir(base).filePath(QStringLiteral("Trevolo"));
    QDir().mkpath(base);
    const QString fallback = QDir(base).filePath(QStringLiteral("Save Files"));
    UsableFolder(fallback);
    return fallback;
}

QString JournalDir()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation))
        .filePath(QStringLiteral("journal"));
}

}  // namespace trevolo
