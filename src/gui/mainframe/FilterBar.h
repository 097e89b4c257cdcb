#pragma once
#include <QWidget>

#include "gui/mainframe/RowFilter.h"

class QComboBox;
class QLineEdit;
class QPushButton;

// The bar above the live list that says which message rows to show: a minimum severity,
// a sender address or its first parts, and a text the message contains; while header
// field columns are shown, also a host name and an application or their starts. Every
// change is announced at once.
class FilterBar : public QWidget {
    Q_OBJECT
public:
    explicit FilterBar(QWidget* parent = nullptr);

    RowFilter Filter() const;
    // Empties every box, announcing one change.
    void Clear();
    // Shows or hides the Host and Application boxes; hidden, they are empty.
    void ShowFieldBoxes(bool on);
    // Puts the keyboard focus in the text box.
    void FocusText();

signals:
    void FilterChanged();

private:
    void AddFieldBoxes();

    QComboBox* m_severity;
    QLineEdit* m_address;
    QLineEdit* m_text;
    QWidget* m_fieldBoxes; // the Host and Application boxes with their labels
    QLineEdit* m_host;
    QLineEdit* m_app;
    QPushButton* m_clear;
};
