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
#include "catalogue/PackFile.h"
#include "tests/support/ArchiveBuilder.h"
#include "views/DirView.h"
#include "views/FilesModel.h"
#include "views/FilesView.h"

namespace {

QTemporaryDir* g_pDir = nullptr;
std::string g_strBig;  // 1,000 folders of 1,000 files
std::string g_strWide; // one folder of 100,000 files
double g_dBytesPerEntry = 0;

std::string MakeArchive(const std::string& name, int folders, int filesEach) {
    std::vector<CNode> top;
    top.reserve(folders);
    for (int f = 0; f < folders; ++f) {
        std::vector<CNode> files;
        files.reserve(filesEach);
        for (int i = 0; i < filesEach; ++i)
            files.push_back(File("FILE" + std::to_string(i) + ".DAT"));
        top.push_back(Folder("FOLDER" + std::to_string(f), std::move(files)));
    }
    const std::string path = g_pDir->filePath(QString::fromStdString(name)).toStdString();
    WriteFileBytes(path, BuildArchive(top));
    return path;
}

// Bytes the program holds from the allocator (heap and mapped blocks alike). The resident set would not
// do: building the test archives leaves freed memory in the process, which the catalogue then reuses.
size_t HeldBytes() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

struct CWindow {
    CRecordingSink m_Messages;
    CVorpexApp m_App;
    CWindow() {
        m_App.SetMessageSink(&m_Messages);
        m_App.InitInstance({});
        m_App.GetMainWnd()->resize(800, 600);
        QApplication::processEvents();
    }
    CDirView* Tree() { return m_App.GetMainWnd()->GetDirView(); }
    CFilesView* List() { return m_App.GetMainWnd()->GetFilesView(); }
};

void ReadCatalogue(benchmark::State& state) {
    CNullSink sink;
    for (auto _ : state) {
        CPackFile pack(g_strBig, sink);
        benchmark::DoNotOptimize(pack.GetEntries().size());
    }
}

// What opening the big archive in a window takes from the allocator, per entry.
void MeasureMemory() {
    CWindow window;
    const size_t before = HeldBytes();
    window.m_App.OpenDocumentFile(QString::fromStdString(g_strBig));
    window.Tree()->viewport()->repaint();
    const size_t entries = window.m_App.GetDocument()->m_pPackFile->GetEntries().size();
    g_dBytesPerEntry = double(HeldBytes() - before) / double(entries);
}

void OpenAndShowTree(benchmark::State& state) {
    CWindow window;
    size_t entries = 0;
    for (auto _ : state) {
        window.m_App.OpenDocumentFile(QString::fromStdString(g_strBig));
        window.Tree()->viewport()->repaint();
        entries = window.m_App.GetDocument()->m_pPackFile->GetEntries().size();
    }
    state.counters["bytes_per_entry"] = g_dBytesPerEntry;
    state.counters["entries"] = double(entries);
    // The catalogue's own share: one entry and its index in its folder's file list.
    state.counters["catalogue_bytes_per_entry"] = double(sizeof(CPackEntry) + sizeof(uint32_t));
}

void ListFolder(benchmark::State& state) {
    CWindow window;
    window.m_App.OpenDocumentFile(QString::fromStdString(g_strWide));
    const CPackFile& pack = *window.m_App.GetDocument()->m_pPackFile;
    const CPackFolder* wide = pack.GetTop().GetChildren()[0];
    for (auto _ : state) {
        state.PauseTiming();
        window.Tree()->selectionModel()->clearSelection();
        window.List()->ShowFolder(nullptr);
        state.ResumeTiming();
        window.Tree()->SelectFolder(wide);
        window.List()->viewport()->repaint();
    }
    state.counters["rows"] = window.List()->model()->rowCount();
}

void ListFolderItemByItem(benchmark::State& state) {
    CWindow window;
    window.m_App.OpenDocumentFile(QString::fromStdString(g_strWide));
    const CPackFile& pack = *window.m_App.GetDocument()->m_pPackFile;
    const CPackFolder* wide = pack.GetTop().GetChildren()[0];
    const CNameCodec& codec = window.m_App.GetDocument()->Codec();
    QTreeView view;
    view.resize(600, 500);
    QStandardItemModel model;
    view.setModel(&model);
    view.show();
    for (auto _ : state) {
        state.PauseTiming();
        model.clear();
        state.ResumeTiming();
        for (uint32_t index : wide->GetFiles()) {
            const CPackEntry& entry = pack.Entry(index);
            model.appendRow({new QStandardItem(QString::fromStdString(codec.Decode(entry.GetName()))),
                             new QStandardItem(CFilesModel::SizeText(entry.GetSize())), new QStandardItem()});
        }
        view.resizeColumnToContents(0);
        view.viewport()->repaint();
    }
    state.counters["rows"] = model.rowCount();
}

} // namespace

BENCHMARK(ReadCatalogue)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(OpenAndShowTree)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(ListFolder)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(ListFolderItemByItem)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    g_pDir = &dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    g_strBig = MakeArchive("big.dir", 1000, 1000);
    g_strWide = MakeArchive("wide.dir", 1, 100000);
    MeasureMemory();

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
