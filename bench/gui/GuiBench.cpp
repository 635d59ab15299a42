// The desktop program on big archives, drawn offscreen:
//   OpenAndShowTree   File, Open of 1,000,000 entries in 1,000 folders until the tree is painted,
//                     against ReadCatalogue, the reader alone on the same file;
//   ListFolder        selecting a folder of 100,000 files until the list is painted (name column fitted),
//                     against ListFolderItemByItem, the same rows put one by one into a QStandardItemModel;
//   memory per entry  the growth of the resident set after opening, per entry (counter bytes_per_entry).
// Run: build/bench/gui/gui_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QSettings>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <malloc.h>

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

std::string g_big;  // 1,000 folders of 1,000 files
std::string g_wide; // one folder of 100,000 files
double g_bytesPerEntry = 0;

// Bytes the program holds from the allocator (heap and mapped blocks alike). The resident set would not
// do: building the test archives leaves freed memory in the process, which the catalogue then reuses.
size_t heldBytes() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

struct Window {
    RecordingSink m_messages;
    VorpexApp m_app;
    Window() {
        m_app.setMessageSink(&m_messages);
        m_app.start({});
        m_app.mainWnd()->resize(800, 600);
        QApplication::processEvents();
    }
    DirView* tree() { return m_app.mainWnd()->dirView(); }
    FilesView* list() { return m_app.mainWnd()->filesView(); }
};

void readCatalogue(benchmark::State& state) {
    NullSink sink;
    for (auto _ : state) {
        PackFile pack(g_big, sink);
        benchmark::DoNotOptimize(pack.entries().size());
    }
}

// What opening the big archive in a window takes from the allocator, per entry.
void measureMemory() {
    Window window;
    const size_t before = heldBytes();
    window.m_app.openDocumentFile(QString::fromStdString(g_big));
    window.tree()->viewport()->repaint();
    const size_t entries = window.m_app.document()->m_packFile->entries().size();
    g_bytesPerEntry = double(heldBytes() - before) / double(entries);
}

void openAndShowTree(benchmark::State& state) {
    Window window;
    size_t entries = 0;
    for (auto _ : state) {
        window.m_app.openDocumentFile(QString::fromStdString(g_big));
        window.tree()->viewport()->repaint();
        entries = window.m_app.document()->m_packFile->entries().size();
    }
    state.counters["bytes_per_entry"] = g_bytesPerEntry;
    state.counters["entries"] = double(entries);
    // The catalogue's own share: one entry and its index in its folder's file list.
    state.counters["catalogue_bytes_per_entry"] = double(sizeof(PackEntry) + sizeof(uint32_t));
}

void listFolder(benchmark::State& state) {
    Window window;
    window.m_app.openDocumentFile(QString::fromStdString(g_wide));
    const PackFile& pack = *window.m_app.document()->m_packFile;
    const PackFolder* wide = pack.top().children()[0];
    for (auto _ : state) {
        state.PauseTiming();
        window.tree()->selectionModel()->clearSelection();
        window.list()->showFolder(nullptr);
        state.ResumeTiming();
        window.tree()->selectFolder(wide);
        window.list()->viewport()->repaint();
    }
    state.counters["rows"] = window.list()->model()->rowCount();
}

void listFolderItemByItem(benchmark::State& state) {
    Window window;
    window.m_app.openDocumentFile(QString::fromStdString(g_wide));
    const PackFile& pack = *window.m_app.document()->m_packFile;
    const PackFolder* wide = pack.top().children()[0];
    const NameCodec& codec = window.m_app.document()->codec();
    QTreeView view;
    view.resize(600, 500);
    QStandardItemModel model;
    view.setModel(&model);
    view.show();
    for (auto _ : state) {
        state.PauseTiming();
        model.clear();
        state.ResumeTiming();
        for (uint32_t index : wide->files()) {
            const PackEntry& entry = pack.entry(index);
            model.appendRow({new QStandardItem(QString::fromStdString(codec.decode(entry.name()))),
                             new QStandardItem(FilesModel::sizeText(entry.size())), new QStandardItem()});
        }
        view.resizeColumnToContents(0);
        view.viewport()->repaint();
    }
    state.counters["rows"] = model.rowCount();
}

} // namespace

BENCHMARK(readCatalogue)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(openAndShowTree)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(listFolder)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(listFolderItemByItem)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

int main(int argc, char** argv) {
    return runWindowBenchmarks(argc, argv, [](const QTemporaryDir& dir) {
        g_big = makeBenchArchive(dir, "big.dir", 1000, 1000);
        g_wide = makeBenchArchive(dir, "wide.dir", 1, 100000);
        measureMemory();
    });
}
