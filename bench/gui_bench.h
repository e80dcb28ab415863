#pragma once
// What the window's benchmarks share: a main window on settings of its own
// in a temporary folder, with message boxes answered by a script, and the
// program's main, which runs the benchmarks offscreen and closes the shared
// window before the application object goes.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <memory>
#include <utility>

#include "app/mainform.h"
#include "app/prompts.h"

namespace trevolo::bench {

struct BenchWindow {
    QTemporaryDir dir;
    QSettings settings{dir.filePath("bench.conf"), QSettings::IniFormat};
    ScriptedPrompts prompts;
    ScopedPrompts guard{prompts};
    TMainForm form{&settings};

    BenchWindow()
    {
        form.show();
        QApplication::processEvents();
    }
    virtual ~BenchWindow() = default;

    // Shows a record as the sheet of the first tab.
    void showSheet(SheetRecord record)
    {
        form.workbook().sheets[0] = std::move(record);
        form.showSheet(0);
    }
};

inline std::unique_ptr<BenchWindow>& SharedSlot()
{
    static std::unique_ptr<BenchWindow> slot;
    return slot;
}

// The window a program's benchmarks share, made on first use.
template <class W>
W& SharedWindow()
{
    std::unique_ptr<BenchWindow>& slot = SharedSlot();
    if (!slot)
        slot = std::make_unique<W>();
    return static_cast<W&>(*slot);
}

inline int RunWindowBenchmarks(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    SharedSlot().reset();
    return 0;
}

}  // namespace trevolo::bench
