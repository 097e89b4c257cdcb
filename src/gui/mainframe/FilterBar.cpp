#include "gui/mainframe/FilterBar.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

namespace {
// The severities' names by their syslog value; the choice lists them from Debug up.
constexpr const char* kSeverityChoices[] = {"Emergency", "Alert",  "Critical", "Error",
                                            "Warning",   "Notice", "Info",     "Debug"};
constexpr int kSeverityCount = 8;

QLabel* BuddyLabel(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}
} // namespace

FilterBar::FilterBar(QWidget* parent)
    : QWidget(parent), m_severity(new QComboBox(this)), m_address(new QLineEdit(this)),
      m_text(new QLineEdit(this)), m_fieldBoxes(new QWidget(this)),
      m_host(new QLineEdit(m_fieldBoxes)), m_app(new QLineEdit(m_fieldBoxes)),
      m_clear(new QPushButton(QStringLiteral("C&lear"), this)) {
    setObjectName(QStringLiteral("FilterBar"));
    m_severity->setObjectName(QStringLiteral("FilterSeverity"));
    m_address->setObjectName(QStringLiteral("FilterAddress"));
    m_text->setObjectName(QStringLiteral("FilterText"));
    m_clear->setObjectName(QStringLiteral("FilterClear"));
    m_host->setObjectName(QStringLiteral("FilterHost"));
    m_app->setObjectName(QStringLiteral("FilterApp"));

    m_severity->addItem(QStringLiteral("All"), RowFilter::kAnySeverity);
    for (int severity = kSeverityCount - 1; severity >= 0; --severity)
        m_severity->addItem(QString::fromLatin1(kSeverityChoices[severity]), severity);
    m_address->setPlaceholderText(QStringLiteral("e.g. 10.1."));
    m_address->setClearButtonEnabled(true);
    m_text->setPlaceholderText(QStringLiteral("text in the message"));
    m_text->setClearButtonEnabled(true);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(BuddyLabel(QStringLiteral("Mi&nimum severity:"), m_severity, this));
    layout->addWidget(m_severity);
    layout->addWidget(BuddyLabel(QStringLiteral("Sen&der:"), m_address, this));
    layout->addWidget(m_address);
    layout->addWidget(BuddyLabel(QStringLiteral("Te&xt:"), m_text, this));
    layout->addWidget(m_text, 1);
    layout->addWidget(m_fieldBoxes);
    layout->addWidget(m_clear);
    AddFieldBoxes();

    connect(m_severity, &QComboBox::currentIndexChanged, this, &FilterBar::FilterChanged);
    connect(m_address, &QLineEdit::textChanged, this, &FilterBar::FilterChanged);
    connect(m_text, &QLineEdit::textChanged, this, &FilterBar::FilterChanged);
    connect(m_host, &QLineEdit::textChanged, this, &FilterBar::FilterChanged);
    connect(m_app, &QLineEdit::textChanged, this, &FilterBar::FilterChanged);
    connect(m_clear, &QPushButton::clicked, this, &FilterBar::Clear);
}

// Hidden until a header field column is shown, so the bar looks as it did without them.
void FilterBar::AddFieldBoxes() {
    m_host->setPlaceholderText(QStringLiteral("e.g. web-"));
    m_host->setClearButtonEnabled(true);
    m_app->setPlaceholderText(QStringLiteral("e.g. sshd"));
    m_app->setClearButtonEnabled(true);
    auto* layout = new QHBoxLayout(m_fieldBoxes);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(BuddyLabel(QStringLiteral("H&ost:"), m_host, m_fieldBoxes));
    layout->addWidget(m_host);
    layout->addWidget(BuddyLabel(QStringLiteral("A&pplication:"), m_app, m_fieldBoxes));
    layout->addWidget(m_app);
    m_fieldBoxes->hide();
}

RowFilter FilterBar::Filter() const {
    return RowFilter(m_severity->currentData().toInt(), m_address->text(), m_text->text(),
                     m_host->text(), m_app->text());
}

void FilterBar::ShowFieldBoxes(bool on) {
    m_fieldBoxes->setVisible(on);
    if (!on && (!m_host->text().isEmpty() || !m_app->text().isEmpty())) {
        {
            const QSignalBlocker host(m_host);
            const QSignalBlocker app(m_app);
            m_host->clear();
            m_app->clear();
        }
        emit FilterChanged();
    }
}

void FilterBar::Clear() {
    {
        const QSignalBlocker severity(m_severity);
        const QSignalBlocker address(m_address);
        const QSignalBlocker text(m_text);
        const QSignalBlocker host(m_host);
        const QSignalBlocker app(m_app);
        m_severity->setCurrentIndex(0);
        m_address->clear();
        m_text->clear();
        m_host->clear();
        m_app->clear();
    }
    emit FilterChanged();
}

void FilterBar::FocusText() {
    m_text->setFocus();
}
