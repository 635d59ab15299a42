// Edits in the window on archives of 1,000,000 entries, from the command to both panes painted again, against
// the limit of 50 ms an edit may take to show (counter limit_ratio: time / 50 ms, under 1 to pass):
//   RenameRow        a name typed over a row of a folder of 1,000,000 files, the row in the middle of the
//   list; DeleteRow        Del on that row; UndoDelete       Undo of that Del; NewFolder        New Folder in
//   a folder of the tree of 1,000 folders of 1,000 files; FirstEdit        the first rename after opening,
//   which sets up the edit (counts the archive's size).
// Save is the archive writer's (see the command line's edit benchmark).
// Run: build/bench/gui/edit_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>

#include "app/EditCommands.h"
#include "app/MainFrame.h"
#include "app/VorpexApp.h"
#include "app/VorpexDoc.h"
#include "bench/gui/BenchArchives.h"
#include "catalogue/PackFile.h"
#include "views/DirView.h"
#include "views/FilesModel.h"
#include "views/FilesView.h"

using namespace vorpex;

namespace {

constexpr double kLimitMs = 50;
std::string g_folders; // 1,000 folders of 1,000 files
std::string g_wide;    // one folder of 1,000,000 files

const std::string& archive(const benchmark::State& state) {
    return state.range(0) ? g_wide : g_folders;
}

struct Window {
    RecordingSink m_messages;
    VorpexApp m_app;
    explicit Window(const std::string& archive) {
        m_app.setMessageSink(&m_messages);
        m_app.start({QString::fromStdString(archive)});
        // The window goes with its edits unsaved.
        frame()->editCommands()->setAsker(
            [](const QString&, QMessageBox::StandardButtons) { return QMessageBox::Discard; });
        m_app.mainWnd()->resize(800, 600);
        m_app.mainWnd()->show();
        tree()->selectFolder(pack().top().children()[0]);
        QApplication::processEvents();
    }
    MainFrame* frame() { return m_app.mainWnd(); }
    DirView* tree() { return frame()->dirView(); }
    FilesView* list() { return frame()->filesView(); }
    const PackFile& pack() { return *m_app.document()->m_packFile; }
    QAction* action(const char* name) { return frame()->findChild<QAction*>(QString::fromLatin1(name)); }
    void paint() {
        tree()->viewport()->repaint();
        list()->viewport()->repaint();
    }
    // The row in the middle of the list, current, selected and scrolled to.
    QModelIndex middleRow() {
        const QModelIndex index = list()->model()->index(list()->model()->rowCount() / 2, 0);
        frame()->setActiveView(list());
        list()->setCurrentIndex(index);
        list()->scrollTo(index);
        paint();
        return index;
    }
};

// Time per edit over the limit: a rate of iterations x limit, inverted.
void finish(benchmark::State& state) {
    state.counters["limit_ratio"] =
        benchmark::Counter(double(state.iterations()) * kLimitMs / 1000,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void renameRow(benchmark::State& state) {
    Window window(archive(state));
    const QModelIndex row = window.middleRow();
    int n = 0;
    for (auto _ : state) {
        window.list()->model()->setData(row, QStringLiteral("RENAMED%1.DAT").arg(n++));
        window.paint();
    }
    finish(state);
}

void deleteRow(benchmark::State& state) {
    Window window(archive(state));
    for (auto _ : state) {
        state.PauseTiming();
        window.middleRow();
        state.ResumeTiming();
        window.action("ID_EDIT_DELETE")->trigger();
        window.paint();
        state.PauseTiming();
        window.frame()->command(MainFrame::kIdEditUndo)->trigger();
        state.ResumeTiming();
    }
    finish(state);
}

void undoDelete(benchmark::State& state) {
    Window window(archive(state));
    for (auto _ : state) {
        state.PauseTiming();
        window.middleRow();
        window.action("ID_EDIT_DELETE")->trigger();
        window.paint();
        state.ResumeTiming();
        window.frame()->command(MainFrame::kIdEditUndo)->trigger();
        window.paint();
    }
    finish(state);
}

void newFolder(benchmark::State& state) {
    Window window(archive(state));
    window.frame()->setActiveView(window.tree());
    for (auto _ : state) {
        window.action("ID_EDIT_NEW_FOLDER")->trigger();
        window.paint();
        state.PauseTiming();
        // Escape closes the name's editor, as the user would.
        if (auto* editor = window.tree()->viewport()->findChild<QLineEdit*>()) {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(editor, &escape);
        }
        window.frame()->command(MainFrame::kIdEditUndo)->trigger();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    finish(state);
}

void firstEdit(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto window = std::make_unique<Window>(archive(state));
        const QModelIndex row = window->middleRow();
        state.ResumeTiming();
        window->list()->model()->setData(row, QStringLiteral("RENAMED.DAT"));
        window->paint();
        state.PauseTiming();
        window.reset();
        state.ResumeTiming();
    }
    finish(state);
}

} // namespace

BENCHMARK(renameRow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5)->Arg(0)->Arg(1);
BENCHMARK(deleteRow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5)->Arg(0)->Arg(1);
BENCHMARK(undoDelete)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5)->Arg(0)->Arg(1);
BENCHMARK(newFolder)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5)->Arg(0)->Arg(1);
BENCHMARK(firstEdit)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Arg(0)->Arg(1);

int main(int argc, char** argv) {
    return runWindowBenchmarks(argc, argv, [](const QTemporaryDir& dir) {
        g_wide = makeBenchArchive(dir, "wide.dir", 1, 1000000);
        g_folders = makeBenchArchive(dir, "folders.dir", 1000, 1000);
    });
}
