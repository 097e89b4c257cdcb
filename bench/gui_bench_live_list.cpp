// The main window's share of each message: WM_SYSLOG_MESSAGE into the live list (row kept,
// column widths kept up to date) and the log line written, at 1 thousand and at 1 million
// rows already in the list; the batched insertion into the view; the resident memory
// that a row of a 100-byte message costs, all included; and the filter bar's costs: a
// filter applied to and cleared from 1 million rows, and a message handled while one is set.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <QApplication>
#include <QTemporaryDir>

#include "core/platform/MessageBox.h"
#include "core/platform/ProgramDir.h"
#include "core/reception/SyslogRecord.h"
#include "gui/mainframe/MainFrame.h"
#include "gui/mainframe/MyMarovindView.h"
#include "gui/mainframe/RowFilter.h"

#ifdef __linux__
#include <unistd.h>
#endif

namespace {
constexpr int kBatch = 32; // rows per display tick at about a thousand messages a second
// Few enough that the list stays near its starting size while it is timed.
constexpr int kIterations = 20000;

std::string HundredByteMessage() {
    std::string text = "Oct 11 22:14:15 mymachine su: 'su root' failed for lonvick on /dev/pts/8";
    text.resize(100, '.');
    return text;
}

// A shown main window logging to a temporary directory.
class Server {
public:
    Server() {
        g_programDir = m_dir.path().toStdString() + "/";
        m_frame = std::make_unique<CMainFrame>();
        m_frame->InitialUpdateFrame();
        m_frame->show();
        m_frame->OpenLogFiles();
        QApplication::processEvents();
        m_record.sourceAddress = "10.1.1.1";
        m_record.receiveTime = "Oct 11 22:14:15";
        m_record.facilityName = "auth";
        m_record.severityName = "crit";
        m_record.severity = 2;
        m_record.messageText = m_message.c_str();
    }

    void Send() {
        m_frame->SendMessage(WM_SYSLOG_MESSAGE, 0, reinterpret_cast<std::intptr_t>(&m_record));
    }
    // The list's share alone: the row and its widths, no log line.
    void AddRow() { m_frame->GetActiveView()->AddMessageRow(m_record); }
    void Flush() {
        m_frame->GetActiveView()->FlushPendingRows();
        QApplication::processEvents(); // paints the new top rows
    }
    void Fill(std::size_t rows) {
        for (std::size_t i = 0; i < rows; ++i) {
            Send();
            if (i % 1024 == 0)
                Flush();
        }
        Flush();
    }
    std::size_t Rows() const { return m_frame->GetActiveView()->Model().HeldRowCount(); }
    // Applies the filter and paints the list's first screen with it.
    void Filter(const RowFilter& filter) {
        m_frame->GetActiveView()->ApplyFilter(filter);
        QApplication::processEvents();
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<CMainFrame> m_frame;
    std::string m_message = HundredByteMessage();
    SyslogRecord m_record;
};

// The one window of the timing benchmarks, refilled to `rows`; one whose list has grown far
// past them is replaced by a fresh one.
std::unique_ptr<Server>& SharedServer() {
    static std::unique_ptr<Server> server;
    return server;
}

Server& ServerWithRows(std::size_t rows) {
    std::unique_ptr<Server>& server = SharedServer();
    if (!server || server->Rows() > rows + rows / 2 + kIterations) {
        server.reset();
        server = std::make_unique<Server>();
    }
    server->Fill(rows - std::min(rows, server->Rows()));
    return *server;
}

long ResidentBytes() {
#ifdef __linux__
    long pages = 0, resident = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return resident * sysconf(_SC_PAGESIZE);
#else
    return 0;
#endif
}

// Resident memory per row: 1 million rows of 100-byte messages added to a fresh window.
void ResidentBytesPerRow(benchmark::State& state) {
    const auto rows = static_cast<std::size_t>(state.range(0));
    double perRow = 0;
    for (auto _ : state) {
        Server server;
        server.Fill(1000);
        const long before = ResidentBytes();
        server.Fill(rows);
        const long after = ResidentBytes();
        perRow = static_cast<double>(after - before) / static_cast<double>(rows);
    }
    state.counters["bytes_per_row"] = perRow;
}
BENCHMARK(ResidentBytesPerRow)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);
// Messages through the handler, the view told of them per batch outside the timing.
void SendInBatches(benchmark::State& state, Server& server) {
    int pending = 0;
    for (auto _ : state) {
        server.Send();
        if (++pending == kBatch) {
            state.PauseTiming();
            server.Flush();
            pending = 0;
            state.ResumeTiming();
        }
    }
    server.Flush();
    state.SetItemsProcessed(state.iterations());
}

// One message through the handler; the view is told about the rows once per batch, outside
// the timing (see BatchIntoView for that share).
void HandleMessage(benchmark::State& state) {
    Server& server = ServerWithRows(static_cast<std::size_t>(state.range(0)));
    SendInBatches(state, server);
    state.counters["rows"] = static_cast<double>(server.Rows());
}
BENCHMARK(HandleMessage)
    ->Arg(1000)
    ->Arg(1000000)
    ->Iterations(kIterations)
    ->Unit(benchmark::kMicrosecond);

// The list's share of HandleMessage: the row kept and the widths upkept, no log line.
void AddRowToList(benchmark::State& state) {
    Server& server = ServerWithRows(static_cast<std::size_t>(state.range(0)));
    int pending = 0;
    for (auto _ : state) {
        server.AddRow();
        if (++pending == kBatch) {
            state.PauseTiming();
            server.Flush();
            pending = 0;
            state.ResumeTiming();
        }
    }
    server.Flush();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(AddRowToList)
    ->Arg(1000)
    ->Arg(1000000)
    ->Iterations(kIterations)
    ->Unit(benchmark::kMicrosecond);

// The view learning of a batch of new top rows and painting, per row of the batch.
void BatchIntoView(benchmark::State& state) {
    Server& server = ServerWithRows(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < kBatch; ++i)
            server.Send();
        state.ResumeTiming();
        server.Flush();
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BatchIntoView)
    ->Arg(1000)
    ->Arg(1000000)
    ->Iterations(kIterations / kBatch)
    ->Unit(benchmark::kMicrosecond);

// A sender's first parts and a word of every message: each of the rows matches, the most
// work a filter can cost (an unmatched row costs its match alone).
const RowFilter kEveryRowFilter(RowFilter::kAnySeverity, QStringLiteral("10.1."),
                                QStringLiteral("LONVICK"));

// Applying a filter to the rows held (arg 1: clearing it again instead), painted.
void FilterRows(benchmark::State& state) {
    Server& server = ServerWithRows(1000000);
    const bool clear = state.range(0) == 1;
    for (auto _ : state) {
        if (clear) {
            state.PauseTiming();
            server.Filter(kEveryRowFilter);
            state.ResumeTiming();
            server.Filter(RowFilter());
        } else {
            server.Filter(kEveryRowFilter);
            state.PauseTiming();
            server.Filter(RowFilter());
            state.ResumeTiming();
        }
    }
    state.counters["rows"] = static_cast<double>(server.Rows());
}
BENCHMARK(FilterRows)
    ->ArgName("clear")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

// The match alone, as a message is handled with the filter set.
void MatchOneMessage(benchmark::State& state) {
    const std::string message = HundredByteMessage();
    for (auto _ : state)
        benchmark::DoNotOptimize(kEveryRowFilter.Matches(2, "10.1.1.1", message));
}
BENCHMARK(MatchOneMessage);

// HandleMessage at 1 million rows with a filter set that every message matches.
void HandleMessageFiltered(benchmark::State& state) {
    Server& server = ServerWithRows(static_cast<std::size_t>(state.range(0)));
    server.Filter(kEveryRowFilter);
    SendInBatches(state, server);
    server.Filter(RowFilter());
}
BENCHMARK(HandleMessageFiltered)
    ->Arg(1000000)
    ->Iterations(kIterations)
    ->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    SetMessageBoxHandler([](const std::string& text) {
        std::fprintf(stderr, "message box: %s\n", text.c_str());
        return IDOK;
    });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    SharedServer().reset(); // its window must go before the application object
    return 0;
}
