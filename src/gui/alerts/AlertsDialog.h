#pragma once
#include <string>
#include <vector>

#include <QDialog>

#include "core/alerts/AlertRule.h"

class QListWidget;
class QListWidgetItem;
class QPushButton;

// Tools > Alerts...: the alert rules in their order, each with its check box for on and
// off. OK writes them to `path` (only when they changed, so a file that could not be read
// stays as it is until the operator changes the rules) and is refused with the reason
// when the file cannot be written.
class AlertsDialog : public QDialog {
    Q_OBJECT
public:
    AlertsDialog(std::vector<AlertRule> rules, std::string path, QWidget* parent = nullptr);

    const std::vector<AlertRule>& Rules() const { return m_rules; }
    bool Changed() const { return m_rules != m_original; }
    void accept() override;

    // The buttons, for the tests.
    void Add();
    void EditCurrent();
    void RemoveCurrent();
    void MoveCurrent(int step);

private:
    QPushButton* Button(const QString& text, const char* objectName);
    bool EditRule(AlertRule& rule);
    void FillList(int current);
    void OnItemChanged(QListWidgetItem* item);
    void UpdateButtons();

    std::vector<AlertRule> m_rules;
    const std::vector<AlertRule> m_original;
    std::string m_path;
    QListWidget* m_list;
    QPushButton* m_edit = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_up = nullptr;
    QPushButton* m_down = nullptr;
};
