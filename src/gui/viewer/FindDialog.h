#pragma once
#include <QDialog>
#include <QTextDocument>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The platform's modeless Find dialog: find what, match whole word, match case, the
// direction, Find Next and Cancel. It only asks; the view it belongs to searches.
class FindDialog : public QDialog {
    Q_OBJECT
public:
    explicit FindDialog(QWidget* parent);

    void SetFindWhat(const QString& text);
    QString FindWhat() const;
    QTextDocument::FindFlags Flags() const;

    QLineEdit* FindWhatEdit() const { return m_findWhat; }
    QCheckBox* WholeWordBox() const { return m_wholeWord; }
    QCheckBox* MatchCaseBox() const { return m_matchCase; }
    QRadioButton* UpButton() const { return m_up; }
    QRadioButton* DownButton() const { return m_down; }
    QPushButton* FindNextButton() const { return m_findNext; }

signals:
    void FindNext(const QString& what, QTextDocument::FindFlags flags);

private:
    QLineEdit* m_findWhat;
    QCheckBox* m_wholeWord;
    QCheckBox* m_matchCase;
    QRadioButton* m_up;
    QRadioButton* m_down;
    QPushButton* m_findNext;
};
