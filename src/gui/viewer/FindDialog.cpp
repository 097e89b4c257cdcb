#include "gui/viewer/FindDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

FindDialog::FindDialog(QWidget* parent)
    : QDialog(parent), m_findWhat(new QLineEdit),
      m_wholeWord(new QCheckBox(tr("Match &whole word only"))),
      m_matchCase(new QCheckBox(tr("Match &case"))), m_up(new QRadioButton(tr("&Up"))),
      m_down(new QRadioButton(tr("&Down"))), m_findNext(new QPushButton(tr("&Find Next"))) {
    setWindowTitle(tr("Find"));
    setModal(false);

    auto* label = new QLabel(tr("Fi&nd what:"));
    label->setBuddy(m_findWhat);
    auto* direction = new QGroupBox(tr("Direction"));
    auto* directionLayout = new QHBoxLayout(direction);
    directionLayout->addWidget(m_up);
    directionLayout->addWidget(m_down);
    m_down->setChecked(true);

    auto* cancel = new QPushButton(tr("Cancel"));
    m_findNext->setDefault(true);
    m_findNext->setEnabled(false);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_findNext);
    buttons->addWidget(cancel);
    buttons->addStretch();

    auto* layout = new QGridLayout(this);
    layout->addWidget(label, 0, 0);
    layout->addWidget(m_findWhat, 0, 1, 1, 2);
    layout->addWidget(m_wholeWord, 1, 0, 1, 2);
    layout->addWidget(m_matchCase, 2, 0, 1, 2);
    layout->addWidget(direction, 1, 2, 2, 1);
    layout->addLayout(buttons, 0, 3, 3, 1);

    connect(m_findWhat, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_findNext->setEnabled(!text.isEmpty()); });
    connect(m_findNext, &QPushButton::clicked, this,
            [this] { emit FindNext(FindWhat(), Flags()); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void FindDialog::SetFindWhat(const QString& text) {
    m_findWhat->setText(text);
    m_findWhat->selectAll();
}

QString FindDialog::FindWhat() const {
    return m_findWhat->text();
}

QTextDocument::FindFlags FindDialog::Flags() const {
    QTextDocument::FindFlags flags;
    if (m_wholeWord->isChecked())
        flags |= QTextDocument::FindWholeWords;
    if (m_matchCase->isChecked())
        flags |= QTextDocument::FindCaseSensitively;
    if (m_up->isChecked())
        flags |= QTextDocument::FindBackward;
    return flags;
}
