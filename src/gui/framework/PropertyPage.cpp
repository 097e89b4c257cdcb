#include "gui/framework/PropertyPage.h"

CPropertyPage::CPropertyPage(const QString& caption, int width, int height)
    : m_caption(caption), m_units(font()) {
    setFixedSize(m_units.ToPixels(width, height));
}

void CPropertyPage::Activate() {
    if (m_initialized)
        return;
    m_initialized = true;
    OnInitDialog();
}

bool CPropertyPage::OnKillActive() {
    return UpdateData(true);
}

bool CPropertyPage::OnInitDialog() {
    return UpdateData(false);
}

bool CPropertyPage::UpdateData(bool saveAndValidate) {
    DoDataExchange(saveAndValidate);
    return true;
}

void CPropertyPage::Place(QWidget* control, int x, int y, int width, int height) const {
    control->setGeometry(m_units.ToPixels(x, y, width, height));
}
