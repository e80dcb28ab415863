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
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(data);
    const QString fallback = QDir(data).filePath(QStringLiteral("Save Files"));
    UsableFolder(fallback);
    return fallback;
}

}  // namespace trevolo
