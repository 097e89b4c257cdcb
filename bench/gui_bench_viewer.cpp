// The log viewer with a 16 MB log file: typed into, until the text view has taken over from
// the large-file view (read, decode, fill the view and show it), and finding a string on its
// last line there. Then 16 MB, 200 MB and 1 GB files through the large-file view: first
// screen, fully indexed, resident memory, find, and the longest the event loop waited
// meanwhile; and a line of 4 MB shown wrapped and unwrapped.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTextCursor>
#include <QScrollBar>
#include <QTest>
#include <QThread>

#include "core/platform/MessageBox.h"
#include "gui/framework/DisplayText.h"
#include "gui/viewer/EditDoc.h"
#include "gui/viewer/EditWnd.h"
#include "gui/viewer/LargeLogView.h"
#include "gui/viewer/LogFileText.h"
#include "gui/viewer/LogViewerTemplate.h"
#include "gui/viewer/MyEditView.h"

namespace {
constexpr std::size_t kFileSize = 16'777'215; // the rich-edit control's capacity
constexpr const char* kLastLine = "Dec 08 23:59:59 10.9.9.9 the needle on the last line";

// Lines in the server's "%s %s %s\r\n" format, about 150,000 of them.
std::string MakeLogText(std::size_t fileSize = kFileSize) {
    std::string text;
    text.reserve(fileSize);
    const std::string tail = std::string(kLastLine) + "\r\n";
    for (int i = 0; text.size() + 200 + tail.size() < fileSize; ++i)
        text += "Dec 08 04:37:" + std::to_string(10 + i % 50) + " 10.1." + std::to_string(i % 7) +
                "." + std::to_string(i % 250) + " sshd[" + std::to_string(1000 + i % 9000) +
                "]: Accepted publickey for operator from 10.2.3.4 port 5" +
                std::to_string(i % 1000) + " ssh2 seq " + std::to_string(i) + "\r\n";
    text.append(fileSize - text.size() - tail.size(), '.');
    return text + tail;
}

// VmRSS or VmHWM of this process, in MB.
double ProcStatusMb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(static_cast<qsizetype>(std::strlen(field)) + 1)
                       .trimmed()
                       .split(' ')[0]
                       .toDouble() /
                   1024;
    return -1;
}

// Runs the event loop until `done`, returning the longest turn in ms.
template <typename Done> double PumpUntil(Done&& done) {
    double worst = 0;
    while (!done()) {
        QElapsedTimer turn;
        turn.start();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        worst = std::max(worst, static_cast<double>(turn.nsecsElapsed()) / 1e6);
        QThread::usleep(200); // the way a socket's notifier interleaves with the loop
    }
    return worst;
}

struct Fixture {
    std::string path;
    std::unique_ptr<LogViewerTemplate> viewerTemplate;

    Fixture() : path(QDir::tempPath().toStdString() + "/marovind_bench_viewer.log") {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << MakeLogText();
        viewerTemplate = std::make_unique<LogViewerTemplate>();
        if (!viewerTemplate->OpenDocumentFile(path))
            std::fprintf(stderr, "could not open %s\n", path.c_str());
    }
    ~Fixture() { std::remove(path.c_str()); }
    CMyEditView& View() const { return viewerTemplate->GetViewer()->GetView(); }
    void SetWrap(bool on) {
        if ((View().WordWrapMode() != CMyEditView::WrapNone) != on)
            View().OnWordWrap();
    }
};

Fixture& TheFixture() {
    static Fixture fixture;
    return fixture;
}

// Times of one open: until the first screen (the open's return), the longest the event loop
// waited for one turn, and until the whole file is in the view.
struct LoadTimes {
    double firstScreenMs = 0, worstTurnMs = 0, loadedMs = 0;
};

LoadTimes OpenAndWait(Fixture& f) {
    QElapsedTimer total;
    total.start();
    f.viewerTemplate->OpenDocumentFile(f.path);
    QTest::keyClick(&f.viewerTemplate->GetViewer()->GetLargeView(), 'x');
    LoadTimes times;
    times.firstScreenMs = times.worstTurnMs = static_cast<double>(total.nsecsElapsed()) / 1e6;
    while (f.viewerTemplate->GetViewer()->GetDocument().IsLoading()) {
        QElapsedTimer turn;
        turn.start();
        QCoreApplication::processEvents();
        times.worstTurnMs =
            std::max(times.worstTurnMs, static_cast<double>(turn.nsecsElapsed()) / 1e6);
    }
    times.loadedMs = static_cast<double>(total.nsecsElapsed()) / 1e6;
    return times;
}

// A reload of the open viewer and a key typed, up to the whole text being in the text view.
void BM_LoadIntoViewer(benchmark::State& state) {
    Fixture& f = TheFixture();
    f.SetWrap(state.range(0) != 0);
    LoadTimes worst;
    for (auto _ : state) {
        const LoadTimes times = OpenAndWait(f);
        worst.firstScreenMs = std::max(worst.firstScreenMs, times.firstScreenMs);
        worst.worstTurnMs = std::max(worst.worstTurnMs, times.worstTurnMs);
    }
    state.counters["first_screen_ms"] = worst.firstScreenMs;
    state.counters["worst_gui_ms"] = worst.worstTurnMs;
    state.counters["lines"] = f.View().blockCount();
    state.counters["rss_mb"] = ProcStatusMb("VmRSS:");
    state.counters["hwm_mb"] = ProcStatusMb("VmHWM:");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}
BENCHMARK(BM_LoadIntoViewer)
    ->ArgName("wrap")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

// The file read and decoded, without the view: how much of a load is not the widget's.
void BM_ReadAndDecode(benchmark::State& state) {
    Fixture& f = TheFixture();
    for (auto _ : state) {
        QByteArray bytes;
        std::string error;
        ReadLogFile(f.path, bytes, error);
        benchmark::DoNotOptimize(DecodeLogBytes(bytes));
    }
}
BENCHMARK(BM_ReadAndDecode)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// Find Next from the top of the text down to the last line.
void BM_FindOnLastLine(benchmark::State& state) {
    Fixture& f = TheFixture();
    f.SetWrap(state.range(0) != 0);
    OpenAndWait(f);
    bool found = false;
    for (auto _ : state) {
        f.View().moveCursor(QTextCursor::Start);
        found = f.View().FindText(QStringLiteral("the needle"), {});
    }
    if (!found || f.View().textCursor().blockNumber() < f.View().blockCount() - 2)
        state.SkipWithError("the string on the last line was not found");
}
BENCHMARK(BM_FindOnLastLine)
    ->ArgName("wrap")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(10);
// A generated file of `range(0)` MB opened in the large-file view, then Find Next from the
// top to its last line. One iteration: the file is written once, in /tmp, and removed.
void BM_LargeFile(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0)) << 20;
    const std::string path = QDir::tempPath().toStdString() + "/marovind_bench_large.log";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        const std::string block = MakeLogText(std::size_t{16} << 20);
        const std::string body = block.substr(0, block.rfind(kLastLine));
        for (std::size_t written = 0; written + body.size() < size; written += body.size())
            out << body;
        out << kLastLine << "\r\n";
    }
    const auto actual = static_cast<double>(std::filesystem::file_size(path));
    const double rssBefore = ProcStatusMb("VmRSS:");
    LogViewerTemplate viewerTemplate;
    for (auto _ : state) {
        QElapsedTimer total;
        total.start();
        viewerTemplate.OpenDocumentFile(path);
        CEditWnd& window = *viewerTemplate.GetViewer();
        LargeLogView& view = window.GetLargeView();
        state.counters["open_ms"] = static_cast<double>(total.nsecsElapsed()) / 1e6;
        double worst = PumpUntil([&] { return view.LineCount() >= 40 || !view.Indexing(); });
        state.counters["first_screen_ms"] = static_cast<double>(total.nsecsElapsed()) / 1e6;
        worst = std::max(worst, PumpUntil([&] { return !view.Indexing(); }));
        state.counters["indexed_ms"] = static_cast<double>(total.nsecsElapsed()) / 1e6;
        state.counters["worst_gui_ms"] = worst;
        state.counters["lines"] = static_cast<double>(view.LineCount());
        state.counters["rss_mb"] = ProcStatusMb("VmRSS:");
        state.counters["rss_added_mb"] = ProcStatusMb("VmRSS:") - rssBefore;
        state.counters["hwm_mb"] = ProcStatusMb("VmHWM:");
        view.SetSelection({}, {});
        QElapsedTimer find;
        find.start();
        view.FindText(QStringLiteral("the needle"), {});
        const double findWorst = PumpUntil([&] { return !view.Searching(); });
        state.counters["find_ms"] = static_cast<double>(find.nsecsElapsed()) / 1e6;
        state.counters["find_worst_gui_ms"] = findWorst;
        if (view.SelectionStart().line != view.LineCount() - 2)
            state.SkipWithError("the string on the last line was not found");
        state.counters["file_mb"] = actual / (1 << 20);
    }
    viewerTemplate.CloseAllDocuments();
    std::remove(path.c_str());
}
BENCHMARK(BM_LargeFile)
    ->ArgName("MB")
    ->Arg(16)
    ->Arg(200)
    ->Arg(1024)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
// A file whose second line is 4 MB long, on screen from its top with the long line
// wrapped, and unwrapped scrolled to its middle; then Page Down through it, wrapped.
void BM_LongLine(benchmark::State& state) {
    const std::string path = QDir::tempPath().toStdString() + "/marovind_bench_long.log";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << "Dec 08 04:37:41 10.1.1.1 before\r\nDec 08 04:37:42 10.1.1.1 long:";
        for (int i = 0; i < 500'000; ++i)
            out << " w" << 1'000'000 + i;
        out << "\r\n" << kLastLine << "\r\n";
    }
    LogViewerTemplate viewerTemplate;
    for (auto _ : state) {
        viewerTemplate.OpenDocumentFile(path);
        LargeLogView& view = viewerTemplate.GetViewer()->GetLargeView();
        PumpUntil([&] { return !view.Indexing(); });
        const auto timed = [&](auto&& action) {
            QElapsedTimer timer;
            timer.start();
            action();
            view.viewport()->repaint();
            return static_cast<double>(timer.nsecsElapsed()) / 1e6;
        };
        state.counters["wrapped_screen_ms"] = timed([] {});
        state.counters["page_down_ms"] =
            timed([&] { QTest::keyClick(&view, Qt::Key_PageDown); });
        state.counters["unwrapped_middle_ms"] = timed([&] {
            viewerTemplate.GetViewer()->WordWrapAction()->trigger();
            view.verticalScrollBar()->setValue(1);
            view.horizontalScrollBar()->setValue(view.horizontalScrollBar()->maximum() / 2);
        });
        state.counters["unwrapped_again_ms"] = timed([&] {
            view.horizontalScrollBar()->setValue(view.horizontalScrollBar()->maximum() / 3);
        });
        viewerTemplate.GetViewer()->WordWrapAction()->trigger();
    }
    viewerTemplate.CloseAllDocuments();
    std::remove(path.c_str());
}
BENCHMARK(BM_LongLine)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SetMessageBoxHandler([](const std::string& text) {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        return IDOK;
    });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    TheFixture().viewerTemplate.reset();
    benchmark::Shutdown();
    return 0;
}
