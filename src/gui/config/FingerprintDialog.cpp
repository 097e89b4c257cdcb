#include "gui/config/FingerprintDialog.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

FingerprintDialog::FingerprintDialog(const QString& fingerprint, QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("Marovind"));
    auto* text =
        new QLabel(QStringLiteral("The certificate was created. Senders that pin it by its SHA-256 "
                                  "fingerprint (rsyslog's StreamDriverPermittedPeers, syslog-ng's "
                                  "trusted-keys) need this text:"),
                   this);
    text->setWordWrap(true);

    m_fingerprintBox = new QLineEdit(fingerprint, this);
    m_fingerprintBox->setObjectName(QStringLiteral("fingerprintBox"));
    m_fingerprintBox->setReadOnly(true);
    // The whole fingerprint in view, with room for the frame and the cursor.
    const int textWidth = m_fingerprintBox->fontMetrics().horizontalAdvance(fingerprint);
    m_fingerprintBox->setMinimumWidth(textWidth + 4 * m_fingerprintBox->fontMetrics().height());
    m_fingerprintBox->setCursorPosition(0);

    auto* copy = new QPushButton(QStringLiteral("Copy"), this);
    copy->setObjectName(QStringLiteral("copy"));
    copy->setAutoDefault(false);
    connect(copy, &QPushButton::clicked, this, &FingerprintDialog::OnCopy);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(copy);
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(m_fingerprintBox);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void FingerprintDialog::OnCopy() {
    QGuiApplication::clipboard()->setText(m_fingerprintBox->text());
    m_fingerprintBox->selectAll();
}
