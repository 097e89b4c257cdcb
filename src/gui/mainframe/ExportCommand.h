#pragma once
#include <cstddef>
#include <functional>

#include <QString>

#include "core/export/RowExport.h"

class LiveListModel;
class QWidget;

enum class ExportOutcome { Written, Cancelled, Failed };

// Told how many of the rows are written; false stops the export.
using ExportProgress = std::function<bool(std::size_t written, std::size_t total)>;

// Writes the message rows shown, oldest first, to `path`: into a temporary file beside it
// that takes the name only once every row is in, so a cancel or a failure leaves nothing
// half-written under it. Rows that leave the list meanwhile (beyond its bound) are skipped.
// The list goes on receiving between the calls of `progress`. A failure is reported in the
// message box.
ExportOutcome ExportShownRows(const LiveListModel& model, const QString& path, ExportFormat format,
                              const ExportProgress& progress);

// File > Export...: the file and its format, then the rows, with a progress dialog that
// can cancel a large export.
void RunExportCommand(LiveListModel& model, QWidget* parent);
