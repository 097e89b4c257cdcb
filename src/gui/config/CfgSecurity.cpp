#include "gui/config/CfgSecurity.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextBlock>

#include "core/platform/MessageBox.h"
#include "gui/framework/DataExchange.h"
#include "gui/framework/DialogRadioButton.h"

namespace {
constexpr const char* kNoAddressesMessage =
    "You have specified that you want to filter messages by IP address.\n However, you have "
    "not specified any IP addresses.\n Please try again...";
} // namespace

CCfgSecurity::CCfgSecurity() : CPropertyPage(QStringLiteral("Security Settings"), 298, 221) {
    CreateControls();
}

// The controls in template order, which is also their tab order.
void CCfgSecurity::CreateControls() {
    auto* group = new QGroupBox(QStringLiteral("Who can log messages to this server?"), this);
    Place(group, 7, 7, 284, 46);

    m_anybody = new DialogRadioButton(QStringLiteral("Anybody"), this);
    m_anybody->setObjectName(QStringLiteral("anybody"));
    Place(m_anybody, 17, 21, 116, 8);
    m_listedOnly = new DialogRadioButton(QStringLiteral("Just the IP addresses I specify."), this);
    m_listedOnly->setObjectName(QStringLiteral("listedOnly"));
    Place(m_listedOnly, 18, 33, 115, 11);
    m_filterGroup = new QButtonGroup(this);
    m_filterGroup->addButton(m_anybody, kAnybody);
    m_filterGroup->addButton(m_listedOnly, kListedOnly);
    connect(m_filterGroup, &QButtonGroup::idClicked, this,
            [this](int id) { SetAddressBoxReadOnly(id == kAnybody); });

    auto* hint = new QLabel(QStringLiteral("Enter IP addresses below.\nDo not zero-fill IP "
                                           "addresses.\nFor example: Use 10.1.1.1, not "
                                           "010.001.001.001"),
                            this);
    hint->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    hint->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Place(hint, 7, 52, 284, 42);

    m_addressBox = new QPlainTextEdit(this);
    m_addressBox->setObjectName(QStringLiteral("addressBox"));
    m_addressBox->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_addressBox->setTabChangesFocus(true);
    Place(m_addressBox, 7, 94, 284, 120);
}

bool CCfgSecurity::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    if (m_filterChoice == kAnybody)
        SetAddressBoxReadOnly(true);
    return true;
}

void CCfgSecurity::DoDataExchange(bool saveAndValidate) {
    DDX_Radio(saveAndValidate, m_filterGroup, m_filterChoice);
    DDX_Text(saveAndValidate, m_addressBox, m_addressText);
}

// Only the first line counts: addresses further down do not make up for an empty one.
bool CCfgSecurity::OnKillActive() {
    if (m_listedOnly->isChecked() && m_addressBox->document()->firstBlock().text().isEmpty()) {
        AfxMessageBox(kNoAddressesMessage);
        return false;
    }
    return CPropertyPage::OnKillActive();
}

// The text stays either way; a read-only box shows so by its background, as the
// platform's edit control does.
void CCfgSecurity::SetAddressBoxReadOnly(bool readOnly) {
    m_addressBox->setReadOnly(readOnly);
    m_addressBox->viewport()->setBackgroundRole(readOnly ? QPalette::Window : QPalette::Base);
}
