// From selecting a file row to the painted preview, per kind of entry, drawn offscreen: each case selects
// the row in the list with the preview pane on and repaints the pane. The peer is SmallText, a 1 KiB text
// entry, timed in the same run; the 4 GiB entries (a sparse archive) must come out level with it.
// Run: QT_QPA_PLATFORM=offscreen build/bench/gui/preview_bench --benchmark_repetitions=5
//          --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QSettings>
#include <QTemporaryDir>
#include <unistd.h>

#include "app/MainFrame.h"
#include "app/PreviewController.h"
#include "app/VorpexApp.h"
#include "app/VorpexDoc.h"
#include "bench/gui/PreviewBenchMain.h"
#include "catalogue/PackFile.h"
#include "tests/support/ArchiveBuilder.h"
#include "views/DirView.h"
#include "views/FilesView.h"
#include "views/PreviewPane.h"

using namespace vorpex;

namespace {

enum Row { kSmallText, kSmallBinary, kPicture, kLongLine, kHugeText, kHugeBinary, kRows };

VorpexApp* g_app = nullptr;

std::string png(int side) {
    QImage image(side, side, QImage::Format_RGB32);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            image.setPixel(x, y, qRgb(x & 255, y & 255, (x * y) & 255));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

std::string textLines(size_t size) {
    std::string text;
    for (int line = 0; text.size() < size; ++line)
        text += "Line " + std::to_string(line) + " of a long text file, padded out to a usual width.\r\n";
    text.resize(size);
    return text;
}

// Six files in the top-level list; the two last are 4 GiB - 1 bytes and end where the sparse archive does.
std::string makeArchive(const QTemporaryDir& dir) {
    const uint32_t base = 44 * (kRows + 1);
    const std::string small(1024, 'a');
    std::string binary(1024, '\0');
    for (size_t i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<char>(i * 31);
    const std::string png = ::png(512);
    const std::string longLine(300 * 1024, 'x');
    const std::string head = textLines(512 * 1024);
    const uint32_t at[kRows] = {base,
                                base + 1024,
                                base + 2048,
                                base + 2048 + uint32_t(png.size()),
                                base + 2048 + uint32_t(png.size() + longLine.size()),
                                0};
    const uint32_t huge = 0xFFFFFFFFu - at[kHugeText];
    RawArchive raw;
    raw.file(0, "SMALL.TXT", 1024, at[kSmallText])
        .file(44, "SMALL.BIN", 1024, at[kSmallBinary])
        .file(88, "PIC.PNG", uint32_t(png.size()), at[kPicture])
        .file(132, "LONGLINE.TXT", uint32_t(longLine.size()), at[kLongLine])
        .file(176, "HUGE.TXT", huge, at[kHugeText])
        .file(220, "HUGE.BIN", huge - uint32_t(head.size()), at[kHugeText] + uint32_t(head.size()))
        .end(264)
        .bytes(at[kSmallText], small)
        .bytes(at[kSmallBinary], binary)
        .bytes(at[kPicture], png)
        .bytes(at[kLongLine], longLine)
        .bytes(at[kHugeText], head);
    const std::string path = dir.filePath(QStringLiteral("preview.dir")).toStdString();
    writeFileBytes(path, raw.str());
    if (truncate(path.c_str(), off_t(at[kHugeText]) + huge) != 0) // a hole, not 4 GiB of disk
        std::abort();
    return path;
}

void preview(benchmark::State& state) {
    timePreview(state, g_app);
}

} // namespace

BENCHMARK(preview)
    ->Arg(kSmallText)
    ->Arg(kSmallBinary)
    ->Arg(kPicture)
    ->Arg(kLongLine)
    ->Arg(kHugeText)
    ->Arg(kHugeBinary)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(20);

int main(int argc, char** argv) {
    return runPreviewBenchmarks(argc, argv, makeArchive, g_app);
}
