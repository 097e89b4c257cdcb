#pragma once
#include <QWidget>

#include "gui/mainframe/RowFilter.h"

class QComboBox;
class QLineEdit;
class QPushButton;

// The bar above the live list that says which message rows to show: a minimum severity,
// a sender address or its first parts, and a text the message contains. Every change
// is announced at once.
class FilterBar : public QWidget {
    Q_OBJECT
public:
    explicit FilterBar(QWidget* parent = nullptr);

    RowFilter Filter() const;
    // Empties all three, announcing one change.
    void Clear();
    // Puts the keyboard focus in the text box.
    void FocusText();

signals:
    void FilterChanged();

private:
    QComboBox* m_severity;
    QLineEdit* m_address;
    QLineEdit* m_text;
    QPushButton* m_clear;
};
