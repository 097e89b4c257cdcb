#include "gui/framework/GuiMessageBox.h"

#include <cstdio>

#include <QApplication>
#include <QByteArray>
#include <QMessageBox>
#include <QWidget>

#include "core/platform/MessageBox.h"
#include "core/platform/MessageTarget.h"
#include "gui/framework/DisplayText.h"

namespace {
QWidget* Owner() {
    if (QWidget* active = QApplication::activeWindow())
        return active;
    return dynamic_cast<QWidget*>(AfxGetMainWnd());
}

QString BoxText(const std::string& text) {
    // Paths and texts may carry any bytes: UTF-8 where valid, Latin-1 otherwise.
    QString shown = DecodeLogBytes(QByteArray::fromRawData(text.data(), qsizetype(text.size())));
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

int ShowBox(const std::string& text) {
    std::fprintf(stderr, "Marovind: %s\n", text.c_str());
    std::fflush(stderr);
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return IDOK;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Marovind"), BoxText(text),
                    QMessageBox::Ok, Owner());
    box.setTextFormat(Qt::PlainText);
    box.exec();
    return IDOK;
}
} // namespace

void InstallGuiMessageBox() {
    SetMessageBoxHandler(ShowBox);
}
