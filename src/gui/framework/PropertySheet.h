#pragma once
#include <QDialog>
#include <vector>

class CPropertyPage;
class QDialogButtonBox;
class QTabWidget;

// A modal tabbed dialog of property pages with OK, Cancel and Apply. The active page may
// refuse to be left: a refused tab change returns to it, a refused OK keeps the sheet
// open. No page reports changes, so Apply stays disabled. The sheet does not own its
// pages; they must outlive it or be destroyed before it.
class CPropertySheet : public QDialog {
    Q_OBJECT
public:
    static constexpr int kIdOk = 1;     // IDOK
    static constexpr int kIdCancel = 2; // IDCANCEL

    explicit CPropertySheet(QWidget* owner = nullptr);
    ~CPropertySheet() override;

    // Pages appear as tabs in the order they are added; the first is active on opening.
    void AddPage(CPropertyPage* page);
    // The caption, taken as it is (style 0: no prefix is added).
    void SetTitle(const QString& title, unsigned style = 0);
    // Shows the sheet modally: kIdOk when closed with OK, kIdCancel otherwise.
    int DoModal();

    CPropertyPage* GetActivePage() const;

public slots:
    void accept() override;
    void reject() override;

private:
    void OnTabChanged(int index);

    QTabWidget* m_tabs;
    QDialogButtonBox* m_buttons;
    std::vector<CPropertyPage*> m_pages;
    int m_active = -1;
    bool m_returningToActive = false;
};
