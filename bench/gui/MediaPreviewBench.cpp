// From selecting a file row to the painted preview of an old game's picture, palette, sound or MIDI file,
// drawn offscreen: FirstPaint selects the row and repaints the pane (what the user sees at once, the page
// the decoded file will show on); Decoded goes on until the file is decoded beside the window and shown,
// then repaints. The peer is a 1 KiB text entry in the same run. Both must stay under 50 ms.
// Run: QT_QPA_PLATFORM=offscreen build/bench/gui/media_preview_bench --benchmark_repetitions=5
//          --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include "app/MainFrame.h"
#include "app/PreviewController.h"
#include "app/VorpexApp.h"
#include "app/VorpexDoc.h"
#include "bench/gui/PreviewBenchMain.h"
#include "catalogue/PackFile.h"
#include "tests/support/ArchiveBuilder.h"
#include "tools/mediasamples/MediaSamples.h"
#include "views/DirView.h"
#include "views/FilesView.h"
#include "views/MediaView.h"
#include "views/PreviewPane.h"

using namespace vorpex;

namespace {

VorpexApp* g_app = nullptr;

// The rows of the archive's top level, in order.
enum Row { kText, kPcx, kBigPcx, kTga, kPalette, kVoc, kMidi, kRows };

std::string makeArchive(const QTemporaryDir& dir) {
    std::string palette, samples, events;
    for (int i = 0; i < 768; ++i)
        palette += char(i * 5);
    for (int i = 0; i < 22050 * 5; ++i) // 5 s at 22 kHz
        samples += char(128 + (i % 50 < 25 ? 60 : -60));
    for (int i = 0; i < 2000; ++i)
        events += std::string("\x10\x90\x3C\x40\x10\x80\x3C\x40", 8);
    events += std::string("\x00\xFF\x2F\x00", 4);
    const std::string archive =
        buildArchive({fileNode("A.TXT", std::string(1024, 'a')),
                      fileNode("TITLE.PCX", writePcx(IndexedImage::make(320, 200, 256), 8, 1, true)),
                      fileNode("BIG.PCX", writePcx24(makeTrueColour(1280, 1024), true)),
                      fileNode("SKY.TGA", writeTgaTrue(makeTrueColour(640, 480), 24, true, false)),
                      fileNode("GAME.PAL", palette),
                      fileNode("DOOR.VOC", VocWriter().newSound(22050, 8, 1, samples).end()),
                      fileNode("SONG.MID", writeMidi(0, 96, {events}))});
    const std::string path = dir.filePath(QStringLiteral("media.dir")).toStdString();
    writeFileBytes(path, archive);
    return path;
}

void preview(benchmark::State& state, bool untilDecoded) {
    PreviewPane* pane = g_app->mainWnd()->preview()->pane();
    timePreview(state, g_app, [pane, untilDecoded] {
        while (untilDecoded && pane->mediaView()->isDecoding()) {
            QThread::usleep(200);
            QApplication::processEvents();
        }
    });
}

void firstPaint(benchmark::State& state) {
    preview(state, false);
}
void decoded(benchmark::State& state) {
    preview(state, true);
}

} // namespace

BENCHMARK(firstPaint)->DenseRange(0, kRows - 1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(decoded)->DenseRange(0, kRows - 1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

int main(int argc, char** argv) {
    return runPreviewBenchmarks(argc, argv, makeArchive, g_app);
}
