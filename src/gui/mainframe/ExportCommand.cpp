#include "gui/mainframe/ExportCommand.h"

#include <algorithm>
#include <climits>
#include <string>

#include <QFileDialog>
#include <QProgressDialog>
#include <QSaveFile>

#include "core/platform/MessageBox.h"
#include "gui/mainframe/LiveListModel.h"

namespace {
constexpr std::size_t kRowsPerStep = 2000;
constexpr int kProgressDelayMs = 500;
const QString kCsvFilter = QStringLiteral("CSV (*.csv)");
const QString kJsonLinesFilter = QStringLiteral("JSON Lines (*.jsonl)");

bool WriteAll(QSaveFile& file, const std::string& bytes) {
    return file.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size());
}

ExportOutcome Fail(const QString& path, const QSaveFile& file) {
    AfxMessageBox("The rows could not be written to " + path.toStdString() + ":\n" +
                  file.errorString().toStdString());
    return ExportOutcome::Failed;
}

ExportRow RowOf(const LiveListModel::Cells& cells) {
    return {cells[LiveListModel::TimeColumn], cells[LiveListModel::AddressColumn],
            cells[LiveListModel::TypeColumn], cells[LiveListModel::MessageColumn]};
}
} // namespace

ExportOutcome ExportShownRows(const LiveListModel& model, const QString& path, ExportFormat format,
                              const ExportProgress& progress) {
    const std::vector<std::uint64_t> sequences = model.ShownSequences();
    const RowExport writer(format);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !WriteAll(file, writer.Header()))
        return Fail(path, file);
    std::string chunk;
    LiveListModel::Cells cells;
    for (std::size_t done = 0; done < sequences.size();) {
        if (!progress(done, sequences.size())) {
            file.cancelWriting();
            return ExportOutcome::Cancelled;
        }
        chunk.clear();
        const std::size_t end = std::min(done + kRowsPerStep, sequences.size());
        for (; done < end; ++done)
            if (model.CellsOfSequence(sequences[done], cells))
                writer.AppendRow(RowOf(cells), chunk);
        if (!WriteAll(file, chunk))
            return Fail(path, file);
    }
    if (!file.commit())
        return Fail(path, file);
    return ExportOutcome::Written;
}

void RunExportCommand(LiveListModel& model, QWidget* parent) {
    QString filter = kCsvFilter;
    const QString path = QFileDialog::getSaveFileName(
        parent, QStringLiteral("Export"), QString(), kCsvFilter + ";;" + kJsonLinesFilter, &filter);
    if (path.isEmpty())
        return;
    const bool json = filter == kJsonLinesFilter || path.endsWith(QStringLiteral(".jsonl"));
    model.FlushPendingRows(); // every row received so far
    QProgressDialog dialog(QStringLiteral("Exporting rows..."), QStringLiteral("Cancel"), 0, 0,
                           parent);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(kProgressDelayMs);
    ExportShownRows(model, path, json ? ExportFormat::JsonLines : ExportFormat::Csv,
                    [&dialog](std::size_t written, std::size_t total) {
                        dialog.setMaximum(static_cast<int>(std::min<std::size_t>(total, INT_MAX)));
                        dialog.setValue(static_cast<int>(std::min<std::size_t>(written, INT_MAX)));
                        return !dialog.wasCanceled();
                    });
}
