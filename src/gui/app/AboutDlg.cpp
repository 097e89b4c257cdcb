#include "gui/app/AboutDlg.h"

#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "gui/framework/Resources.h"

namespace {
constexpr int kIconSize = 32;

QLabel* TextLine(const char* text, QWidget* parent) {
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}
} // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    RegisterMarovindResources();
    setWindowTitle(QString::fromLatin1(kTitle));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/marovind.png")).pixmap(kIconSize, kIconSize));
    icon->setAlignment(Qt::AlignTop);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
    layout->addWidget(TextLine(kVersionLine, this), 0, 1);
    layout->addWidget(TextLine(kYearLine, this), 1, 1);
    layout->addWidget(TextLine(kContactLine, this), 2, 1);
    layout->addWidget(ok, 0, 2, Qt::AlignTop);
    layout->setColumnStretch(1, 1);
    layout->setHorizontalSpacing(16);
    setFixedSize(sizeHint());
}
