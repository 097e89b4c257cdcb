#pragma once
#include <array>

#include <QDialog>

#include "core/alerts/AlertRule.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;

// Tools > Alerts > Add or Edit: one rule's name, condition, actions and interval. OK is
// refused, with the reason in the program's message box, while the regular expression is
// not valid or a program to run is not named.
class AlertRuleDialog : public QDialog {
    Q_OBJECT
public:
    explicit AlertRuleDialog(const AlertRule& rule, QWidget* parent = nullptr);

    // The rule as the fields hold it.
    AlertRule Rule() const;
    void accept() override;

private:
    QWidget* CreateConditionBox();
    QWidget* CreateFacilityGrid();
    QWidget* CreateActionsBox();
    void Fill(const AlertRule& rule);
    void UpdateProgramFields();

    bool m_enabled;
    QLineEdit* m_name;
    QComboBox* m_severity;
    std::array<QCheckBox*, kAlertFacilityCount> m_facilities{};
    QLineEdit* m_address;
    QLineEdit* m_host;
    QLineEdit* m_app;
    QLineEdit* m_text;
    QComboBox* m_textKind;
    QCheckBox* m_notify;
    QCheckBox* m_sound;
    QCheckBox* m_highlight;
    QCheckBox* m_run;
    QLineEdit* m_program;
    QPlainTextEdit* m_arguments; // one argument per line
    QSpinBox* m_interval;
};
