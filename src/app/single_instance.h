#pragma once
// Only one copy of the program runs per user: the first copy holds a lock
// file named after the program file in the user's runtime folder. A lock left
// behind by a copy that crashed is recognised as stale and taken over.
#include <QString>
#include <memory>

class QLockFile;

namespace trevolo {

class SingleInstance {
public:
    // programFile: the program file's name without its folder ("trevolo").
    explicit SingleInstance(const QString& programFile);
    ~SingleInstance();

    // True when this process now holds the lock (it is the first copy).
    bool acquire();

private:
    std::unique_ptr<QLockFile> lock_;
};

}  // namespace trevolo
