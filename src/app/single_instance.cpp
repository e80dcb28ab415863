#include "app/single_instance.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

namespace trevolo {

SingleInstance::SingleInstance(const QString& programFile)
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    QDir().mkpath(dir);
    lock_ = std::make_unique<QLockFile>(QDir(dir).filePath(programFile + QStringLiteral(".lock")));
    // A lock is stale only when its owner is gone, never because of its age.
    lock_->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::acquire()
{
    return lock_->tryLock(0);
}

}  // namespace trevolo
