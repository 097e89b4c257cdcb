#include "gui/alerts/AlertRuleDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include "core/alerts/AlertMatcher.h"
#include "core/alerts/AlertsFile.h"
#include "core/platform/MessageBox.h"

namespace {
constexpr int kFacilityColumns = 6;
constexpr int kMaxIntervalSeconds = 24 * 60 * 60;

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

// alerts.ini holds one line per value with its outer blanks trimmed.
std::string Value(const QString& text) {
    QString value = text;
    value.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return value.trimmed().toStdString();
}

QLineEdit* LineEdit(const char* objectName) {
    auto* edit = new QLineEdit;
    edit->setObjectName(QString::fromLatin1(objectName));
    return edit;
}

QCheckBox* CheckBox(const QString& text, const char* objectName) {
    auto* box = new QCheckBox(text);
    box->setObjectName(QString::fromLatin1(objectName));
    return box;
}
} // namespace

AlertRuleDialog::AlertRuleDialog(const AlertRule& rule, QWidget* parent)
    : QDialog(parent), m_enabled(rule.enabled), m_name(LineEdit("name")) {
    setWindowTitle(QStringLiteral("Alert Rule"));
    auto* layout = new QVBoxLayout(this);
    auto* name = new QFormLayout;
    name->addRow(QStringLiteral("&Name:"), m_name);
    layout->addLayout(name);
    layout->addWidget(CreateConditionBox());
    layout->addWidget(CreateActionsBox());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    Fill(rule);
}

QWidget* AlertRuleDialog::CreateConditionBox() {
    auto* box = new QGroupBox(QStringLiteral("When a message has all of"));
    auto* form = new QFormLayout(box);
    m_severity = new QComboBox;
    m_severity->setObjectName(QStringLiteral("severity"));
    m_severity->addItem(QStringLiteral("(any)"), AlertCondition::kAnySeverity);
    for (int severity = 0; severity < 8; ++severity)
        m_severity->addItem(QString::fromLatin1(AlertSeverityName(severity)), severity);
    form->addRow(QStringLiteral("S&everity at least:"), m_severity);
    form->addRow(QStringLiteral("Facilities (none = any):"), CreateFacilityGrid());
    m_address = LineEdit("address");
    m_address->setPlaceholderText(QStringLiteral("10.1.1.1, or its first parts: 10.1."));
    form->addRow(QStringLiteral("Sender &address:"), m_address);
    m_host = LineEdit("host");
    form->addRow(QStringLiteral("&Host name:"), m_host);
    m_app = LineEdit("app");
    form->addRow(QStringLiteral("A&pplication:"), m_app);
    m_text = LineEdit("text");
    m_textKind = new QComboBox;
    m_textKind->setObjectName(QStringLiteral("textKind"));
    m_textKind->addItems({QStringLiteral("contains"), QStringLiteral("regular expression")});
    auto* text = new QHBoxLayout;
    text->addWidget(m_textKind);
    text->addWidget(m_text, 1);
    auto* label = new QLabel(QStringLiteral("&Text:"));
    label->setBuddy(m_text);
    form->addRow(label, text);
    return box;
}

QWidget* AlertRuleDialog::CreateFacilityGrid() {
    auto* grid = new QWidget;
    auto* layout = new QGridLayout(grid);
    layout->setContentsMargins(0, 0, 0, 0);
    for (int facility = 0; facility < kAlertFacilityCount; ++facility) {
        auto* box = new QCheckBox(Text(AlertFacilityName(facility)));
        m_facilities[std::size_t(facility)] = box;
        layout->addWidget(box, facility / kFacilityColumns, facility % kFacilityColumns);
    }
    return grid;
}

QWidget* AlertRuleDialog::CreateActionsBox() {
    auto* box = new QGroupBox(QStringLiteral("Do"));
    auto* form = new QFormLayout(box);
    m_notify = CheckBox(QStringLiteral("Notification in the tra&y"), "notify");
    m_sound = CheckBox(QStringLiteral("&Sound"), "sound");
    m_highlight = CheckBox(QStringLiteral("High&light the row"), "highlight");
    m_run = CheckBox(QStringLiteral("&Run a program"), "run");
    for (QCheckBox* action : {m_notify, m_sound, m_highlight, m_run})
        form->addRow(action);
    m_program = LineEdit("program");
    form->addRow(QStringLiteral("Pro&gram:"), m_program);
    m_arguments = new QPlainTextEdit;
    m_arguments->setObjectName(QStringLiteral("arguments"));
    m_arguments->setPlaceholderText(
        QStringLiteral("One argument a line; %time% %address% %facility% %severity% %host% "
                       "%app% %message% are replaced"));
    m_arguments->setFixedHeight(m_arguments->fontMetrics().lineSpacing() * 4 + 8);
    form->addRow(QStringLiteral("Argu&ments:"), m_arguments);
    connect(m_run, &QCheckBox::toggled, this, &AlertRuleDialog::UpdateProgramFields);
    m_interval = new QSpinBox;
    m_interval->setObjectName(QStringLiteral("interval"));
    m_interval->setRange(1, kMaxIntervalSeconds);
    m_interval->setSuffix(QStringLiteral(" s"));
    form->addRow(QStringLiteral("At most &once in:"), m_interval);
    return box;
}

void AlertRuleDialog::Fill(const AlertRule& rule) {
    const AlertCondition& c = rule.condition;
    m_name->setText(Text(rule.name));
    m_severity->setCurrentIndex(m_severity->findData(c.minimumSeverity));
    for (int facility = 0; facility < kAlertFacilityCount; ++facility)
        m_facilities[std::size_t(facility)]->setChecked(c.facilities & (1u << facility));
    m_address->setText(Text(c.address));
    m_host->setText(Text(c.host));
    m_app->setText(Text(c.app));
    m_text->setText(Text(c.text));
    m_textKind->setCurrentIndex(c.textIsRegex ? 1 : 0);
    const AlertActions& a = rule.actions;
    m_notify->setChecked(a.notify);
    m_sound->setChecked(a.sound);
    m_highlight->setChecked(a.highlight);
    m_run->setChecked(a.run);
    m_program->setText(Text(a.program));
    QStringList arguments;
    for (const std::string& argument : a.arguments)
        arguments << Text(argument);
    m_arguments->setPlainText(arguments.join(QLatin1Char('\n')));
    m_interval->setValue(rule.intervalSeconds);
    UpdateProgramFields();
}

void AlertRuleDialog::UpdateProgramFields() {
    m_program->setEnabled(m_run->isChecked());
    m_arguments->setEnabled(m_run->isChecked());
}

AlertRule AlertRuleDialog::Rule() const {
    AlertRule rule;
    rule.name = Value(m_name->text());
    rule.enabled = m_enabled;
    AlertCondition& c = rule.condition;
    c.minimumSeverity = m_severity->currentData().toInt();
    for (int facility = 0; facility < kAlertFacilityCount; ++facility)
        if (m_facilities[std::size_t(facility)]->isChecked())
            c.facilities |= 1u << facility;
    c.address = Value(m_address->text());
    c.host = Value(m_host->text());
    c.app = Value(m_app->text());
    c.text = Value(m_text->text());
    c.textIsRegex = m_textKind->currentIndex() == 1;
    AlertActions& a = rule.actions;
    a.notify = m_notify->isChecked();
    a.sound = m_sound->isChecked();
    a.highlight = m_highlight->isChecked();
    a.run = m_run->isChecked();
    a.program = Value(m_program->text());
    for (const QString& line : m_arguments->toPlainText().split(QLatin1Char('\n')))
        if (!line.trimmed().isEmpty())
            a.arguments.push_back(Value(line));
    rule.intervalSeconds = m_interval->value();
    return rule;
}

void AlertRuleDialog::accept() {
    const AlertRule rule = Rule();
    std::string reason;
    if (rule.condition.textIsRegex && !AlertMatcher::Compile(rule.condition, reason)) {
        AfxMessageBox("The regular expression is not valid: " + reason);
        m_text->setFocus();
        return;
    }
    if (rule.actions.run && rule.actions.program.empty()) {
        AfxMessageBox("Name the program to run.");
        m_program->setFocus();
        return;
    }
    QDialog::accept();
}
