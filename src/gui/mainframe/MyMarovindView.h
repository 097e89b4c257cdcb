#pragma once
#include <string>
#include <vector>

#include <QTableView>

#include "core/platform/HostAddresses.h"
#include "gui/mainframe/ColumnWidths.h"
#include "gui/mainframe/LiveListModel.h"

struct SyslogRecord;

// The live message list: one row per received message, newest on top, in four columns
// with grid lines and whole-row selection. Clicking a header does nothing; the list is
// never sorted.
class CMyMarovindView : public QTableView {
    Q_OBJECT
public:
    static constexpr const char* kVersionText = ::kVersionText;
    static constexpr const char* kListeningPrefix = ::kListeningPrefix;
    static constexpr const char* kLocalAddress = "local";
    static constexpr const char* kLocalType = "user.info";

    explicit CMyMarovindView(QWidget* parent = nullptr);

    // The first update: the version row and one row per address of the host.
    void OnInitialUpdate();
    // The start-up rows for the given addresses (in resolver order), fitted to header and
    // cells, the last column filling the rest of the width.
    void AddStartupRows(const std::vector<std::string>& addresses, unsigned tcpPort = 0,
                        unsigned tlsPort = 0, const std::string& tlsFingerprint = {});
    // One received message as the new top row. From the first one on, every column fits
    // its widest cell and the headers no longer count.
    void AddMessageRow(const SyslogRecord& record);

    // Shows only the rows the filter lets through (all when it is unset). Scrolled away
    // from the top, the row on top stays on top, or the nearest older one shown; the
    // current row stays current while it is shown.
    void ApplyFilter(const RowFilter& filter);

    LiveListModel& Model() const { return *m_model; }
    // Shows the rows held but not yet shown, without waiting for the display tick.
    void FlushPendingRows() { m_model->FlushPendingRows(); }

protected:
    void rowsInserted(const QModelIndex& parent, int start, int end) override;

private:
    void AddLocalRow(const std::string& message);
    int ScrollUnitsPerRow() const;
    int RowAt(int scrollValue) const;
    void FitColumns();
    void ScrollToSequence(std::uint64_t sequence);

    LiveListModel* m_model;
    ColumnWidths m_widths;
    bool m_headersCount = true; // until the first message row
    // A row's type and flattened message, reused from row to row: the model keeps copies.
    std::string m_type;
    std::string m_message;
};
