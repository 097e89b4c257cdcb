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

// Every box's text goes to standard error too. True when that is all that can be done: on
// the offscreen platform nobody could answer a box.
bool OnlyEchoed(const std::string& text) {
    std::fprintf(stderr, "Marovind: %s\n", text.c_str());
    std::fflush(stderr);
    return QGuiApplication::platformName() == QLatin1String("offscreen");
}

int ShowBox(const std::string& text) {
    if (OnlyEchoed(text))
        return IDOK;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Marovind"), BoxText(text),
                    QMessageBox::Ok, Owner());
    box.setTextFormat(Qt::PlainText);
    box.exec();
    return IDOK;
}

int AskQuestion(const std::string& text) {
    if (OnlyEchoed(text))
        return IDNO;
    QMessageBox box(QMessageBox::Question, QStringLiteral("Marovind"), BoxText(text),
                    QMessageBox::Yes | QMessageBox::No, Owner());
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes ? IDYES : IDNO;
}
} // namespace

void InstallGuiMessageBox() {
    SetMessageBoxHandler(ShowBox);
    SetQuestionBoxHandler(AskQuestion);
}
