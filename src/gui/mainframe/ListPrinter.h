#pragma once

class QAbstractItemModel;
class QPrinter;
class QWidget;

// Prints the rows of a list model as a table: a header line with the model's column
// titles, then every row top to bottom, with half-inch margins. Long cells wrap within
// their column, so nothing is cut off. Returns the number of pages printed (0 when the
// printer could not be started).
int PrintListRows(const QAbstractItemModel& model, QPrinter& printer);

// The main window's Print: the print dialog, then the list's rows.
void PrintLiveList(const QAbstractItemModel& model, QPrinter& printer, QWidget* parent);
