#include "gui/alerts/AlertsDialog.h"

#include <utility>

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "core/alerts/AlertsFile.h"
#include "core/platform/MessageBox.h"
#include "gui/alerts/AlertRuleDialog.h"

AlertsDialog::AlertsDialog(std::vector<AlertRule> rules, std::string path, QWidget* parent)
    : QDialog(parent), m_rules(std::move(rules)), m_original(m_rules), m_path(std::move(path)),
      m_list(new QListWidget) {
    setWindowTitle(QStringLiteral("Alerts"));
    m_list->setObjectName(QStringLiteral("rules"));
    auto* buttons = new QVBoxLayout;
    connect(Button(QStringLiteral("&Add..."), "add"), &QPushButton::clicked, this,
            &AlertsDialog::Add);
    m_edit = Button(QStringLiteral("&Edit..."), "edit");
    connect(m_edit, &QPushButton::clicked, this, &AlertsDialog::EditCurrent);
    m_remove = Button(QStringLiteral("&Remove"), "remove");
    connect(m_remove, &QPushButton::clicked, this, &AlertsDialog::RemoveCurrent);
    m_up = Button(QStringLiteral("Move &Up"), "up");
    connect(m_up, &QPushButton::clicked, this, [this] { MoveCurrent(-1); });
    m_down = Button(QStringLiteral("Move &Down"), "down");
    connect(m_down, &QPushButton::clicked, this, [this] { MoveCurrent(1); });
    for (QPushButton* button : findChildren<QPushButton*>())
        buttons->addWidget(button);
    buttons->addStretch();

    auto* top = new QHBoxLayout;
    top->addWidget(m_list, 1);
    top->addLayout(buttons);
    auto* ok = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(ok, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ok, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(ok);

    connect(m_list, &QListWidget::itemChanged, this, &AlertsDialog::OnItemChanged);
    connect(m_list, &QListWidget::currentRowChanged, this, &AlertsDialog::UpdateButtons);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &AlertsDialog::EditCurrent);
    FillList(0);
    resize(480, 300);
}

QPushButton* AlertsDialog::Button(const QString& text, const char* objectName) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setAutoDefault(false);
    return button;
}

void AlertsDialog::FillList(int current) {
    const QSignalBlocker quiet(m_list);
    m_list->clear();
    for (const AlertRule& rule : m_rules) {
        auto* item = new QListWidgetItem(QString::fromStdString(rule.name), m_list);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(rule.enabled ? Qt::Checked : Qt::Unchecked);
    }
    m_list->setCurrentRow(std::min(current, m_list->count() - 1));
    UpdateButtons();
}

void AlertsDialog::UpdateButtons() {
    const int row = m_list->currentRow();
    m_edit->setEnabled(row >= 0);
    m_remove->setEnabled(row >= 0);
    m_up->setEnabled(row > 0);
    m_down->setEnabled(row >= 0 && row + 1 < m_list->count());
}

void AlertsDialog::OnItemChanged(QListWidgetItem* item) {
    const int row = m_list->row(item);
    if (row >= 0 && std::size_t(row) < m_rules.size())
        m_rules[std::size_t(row)].enabled = item->checkState() == Qt::Checked;
}

bool AlertsDialog::EditRule(AlertRule& rule) {
    AlertRuleDialog editor(rule, this);
    if (editor.exec() != QDialog::Accepted)
        return false;
    rule = editor.Rule();
    return true;
}

void AlertsDialog::Add() {
    AlertRule rule;
    rule.name = "Rule " + std::to_string(m_rules.size() + 1);
    if (!EditRule(rule))
        return;
    m_rules.push_back(std::move(rule));
    FillList(int(m_rules.size()) - 1);
}

void AlertsDialog::EditCurrent() {
    const int row = m_list->currentRow();
    if (row >= 0 && EditRule(m_rules[std::size_t(row)]))
        FillList(row);
}

void AlertsDialog::RemoveCurrent() {
    const int row = m_list->currentRow();
    if (row < 0)
        return;
    m_rules.erase(m_rules.begin() + row);
    FillList(row);
}

void AlertsDialog::MoveCurrent(int step) {
    const int row = m_list->currentRow();
    const int to = row + step;
    if (row < 0 || to < 0 || to >= int(m_rules.size()))
        return;
    std::swap(m_rules[std::size_t(row)], m_rules[std::size_t(to)]);
    FillList(to);
}

void AlertsDialog::accept() {
    if (Changed()) {
        const std::string error = WriteAlertsFile(m_path, m_rules);
        if (!error.empty()) {
            AfxMessageBox(error);
            return;
        }
    }
    QDialog::accept();
}
