#include "gui/framework/PrintDialogs.h"

#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <utility>

namespace PrintDialogs {
namespace {
Dialog& PageSetupHook() {
    static Dialog hook;
    return hook;
}

Dialog& PrintHook() {
    static Dialog hook;
    return hook;
}
} // namespace

bool RunPageSetup(QPrinter& printer, QWidget* parent) {
    if (const auto& hook = PageSetupHook())
        return hook(printer, parent);
    QPageSetupDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

bool RunPrint(QPrinter& printer, QWidget* parent) {
    if (const auto& hook = PrintHook())
        return hook(printer, parent);
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

Dialog SetPageSetupDialog(Dialog dialog) {
    return std::exchange(PageSetupHook(), std::move(dialog));
}

Dialog SetPrintDialog(Dialog dialog) {
    return std::exchange(PrintHook(), std::move(dialog));
}
} // namespace PrintDialogs
