#pragma once
#include <array>
#include <string>
#include <string_view>
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
    // A marked row carries the alert marker in its first column.
    void AddMessageRow(const SyslogRecord& record, bool marked = false);

    // Shows only the rows the filter lets through (all when it is unset). Scrolled away
    // from the top, the row on top stays on top, or the nearest older one shown; the
    // current row stays current while it is shown.
    void ApplyFilter(const RowFilter& filter);

    LiveListModel& Model() const { return *m_model; }
    // Shows the rows held but not yet shown, without waiting for the display tick.
    void FlushPendingRows() { m_model->FlushPendingRows(); }

    // Shows the header fields as columns, a new one just before the Message column. While
    // any is shown the operator can also move the columns, and a column the operator sized
    // keeps its width.
    void SetFieldColumns(FieldSet fields);
    // The shown columns left to right with their widths, "time:120,host:80,message:300".
    std::string ColumnLayout() const;
    // Puts the named columns in that order with those widths; others and unknown names
    // are left alone. Only while a field column is shown.
    void ApplyColumnLayout(std::string_view layout);

signals:
    // The operator moved or resized a column while field columns are shown.
    void ColumnLayoutChanged();

protected:
    void rowsInserted(const QModelIndex& parent, int start, int end) override;

private:
    void AddLocalRow(const std::string& message);
    int ScrollUnitsPerRow() const;
    int RowAt(int scrollValue) const;
    void FitColumns();
    void ScrollToSequence(std::uint64_t sequence);
    void OnSectionResized(int logical);
    void PlaceFieldColumn(Field field);
    std::string_view ColumnName(int logical) const;
    int ColumnOfName(std::string_view name) const;
    std::size_t NameIndex(int logical) const;

    LiveListModel* m_model;
    ColumnWidths m_widths;
    bool m_headersCount = true; // until the first message row
    // By name (the held columns, then the fields): widths the operator chose, kept.
    std::array<bool, LiveListModel::ColumnCount + kFieldCount> m_sizedByOperator{};
    bool m_resizing = false; // the view itself sizes or moves columns
    // A row's type, reused from row to row: the model keeps a copy.
    std::string m_type;
};
