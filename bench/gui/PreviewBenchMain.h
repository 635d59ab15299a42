#pragma once

// The start of the preview benchmarks: the window offscreen on an archive the benchmark makes, its top
// level listed and the preview pane on; then the benchmarks run.
#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <functional>
#include <string>

#include "app/MainFrame.h"
#include "app/PreviewController.h"
#include "app/VorpexApp.h"
#include "app/VorpexDoc.h"
#include "catalogue/PackFile.h"
#include "platform/MessageSink.h"
#include "views/DirView.h"
#include "views/FilesView.h"
#include "views/PreviewPane.h"

namespace vorpex {

// `app` points to the running program while the benchmarks run.
inline int runPreviewBenchmarks(int argc, char** argv,
                                const std::function<std::string(const QTemporaryDir&)>& makeArchive,
                                VorpexApp*& app) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApp(argc, argv);
    QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    const std::string archive = makeArchive(dir);

    RecordingSink messages;
    VorpexApp program;
    app = &program;
    program.setMessageSink(&messages);
    if (!program.start({QString::fromStdString(archive)}))
        return 1;
    MainFrame* frame = program.mainWnd();
    frame->resize(1000, 700);
    frame->show();
    frame->preview()->action()->setChecked(true);
    frame->dirView()->selectFolder(&program.document()->m_packFile->top());
    QApplication::processEvents();

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Times selecting row state.range(0) of the list until the preview pane is painted; `settle`, when given,
// runs between the two (to wait for work beside the window).
inline void timePreview(benchmark::State& state, VorpexApp* app, const std::function<void()>& settle = {}) {
    MainFrame* frame = app->mainWnd();
    FilesView* list = frame->filesView();
    PreviewPane* pane = frame->preview()->pane();
    const QModelIndex row = list->model()->index(int(state.range(0)), 0);
    for (auto _ : state) {
        state.PauseTiming();
        list->setCurrentIndex({});
        QApplication::processEvents();
        state.ResumeTiming();
        list->setCurrentIndex(row);
        if (settle)
            settle();
        pane->repaint();
    }
    state.SetLabel(row.data().toString().toStdString());
}

} // namespace vorpex
