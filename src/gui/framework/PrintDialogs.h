#pragma once
#include <functional>

class QPrinter;
class QWidget;

// The platform's printer dialogs. Each returns true when the user confirmed, leaving the
// choices in the printer. Tests replace them (a print to a PDF file needs no dialog), so
// no test ever waits on one.
namespace PrintDialogs {
using Dialog = std::function<bool(QPrinter& printer, QWidget* parent)>;

// File > Print Setup: paper, orientation and margins for all later printing.
bool RunPageSetup(QPrinter& printer, QWidget* parent);
// File > Print: the printer, the pages and the copies for one print.
bool RunPrint(QPrinter& printer, QWidget* parent);

// Installs a replacement (an empty one restores the real dialog) and returns the previous.
Dialog SetPageSetupDialog(Dialog dialog);
Dialog SetPrintDialog(Dialog dialog);
} // namespace PrintDialogs
