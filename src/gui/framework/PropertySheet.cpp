#include "gui/framework/PropertySheet.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "gui/framework/PropertyPage.h"

CPropertySheet::CPropertySheet(QWidget* owner)
    : QDialog(owner), m_tabs(new QTabWidget(this)),
      m_buttons(new QDialogButtonBox(
          QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this)) {
    m_buttons->button(QDialogButtonBox::Apply)->setEnabled(false);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &CPropertySheet::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &CPropertySheet::reject);
    connect(m_tabs, &QTabWidget::currentChanged, this, &CPropertySheet::OnTabChanged);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(m_buttons);
}

CPropertySheet::~CPropertySheet() {
    // The pages belong to the caller; keep the tab widget from deleting them.
    disconnect(m_tabs, nullptr, this, nullptr);
    for (CPropertyPage* page : m_pages) {
        if (page->parent())
            page->setParent(nullptr);
    }
}

void CPropertySheet::AddPage(CPropertyPage* page) {
    m_pages.push_back(page);
    m_tabs->addTab(page, page->Caption());
    connect(page, &QObject::destroyed, this, [this, page] { std::erase(m_pages, page); });
}

void CPropertySheet::SetTitle(const QString& title, unsigned) {
    setWindowTitle(title);
}

int CPropertySheet::DoModal() {
    if (!m_pages.empty()) {
        m_active = 0;
        m_tabs->setCurrentIndex(0);
        m_pages.front()->Activate();
    }
    // Sized by its largest page, like the platform's property sheet, and not resizable.
    layout()->activate();
    setFixedSize(sizeHint());
    return exec();
}

CPropertyPage* CPropertySheet::GetActivePage() const {
    return m_active >= 0 && m_active < static_cast<int>(m_pages.size()) ? m_pages[m_active]
                                                                        : nullptr;
}

void CPropertySheet::OnTabChanged(int index) {
    // Only the operator changes pages, and only while the sheet is open; tabs that come
    // and go while it is built or taken apart do not count.
    if (m_returningToActive || !isVisible() || index == m_active)
        return;
    CPropertyPage* leaving = GetActivePage();
    if (leaving && !leaving->OnKillActive()) {
        m_returningToActive = true;
        m_tabs->setCurrentIndex(m_active);
        m_returningToActive = false;
        return;
    }
    m_active = index;
    if (CPropertyPage* page = GetActivePage())
        page->Activate();
}

void CPropertySheet::accept() {
    if (CPropertyPage* page = GetActivePage(); page && !page->OnKillActive())
        return;
    done(kIdOk);
}

void CPropertySheet::reject() {
    done(kIdCancel);
}
