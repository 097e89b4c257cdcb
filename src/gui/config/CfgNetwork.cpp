#include "gui/config/CfgNetwork.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QSpinBox>

CCfgNetwork::CCfgNetwork() : CPropertyPage(QStringLiteral("Network Settings"), 298, 221) {
    CreateControls();
}

// The controls in template order, which is also their tab order.
void CCfgNetwork::CreateControls() {
    auto* group = new QGroupBox(QStringLiteral("Network"), this);
    Place(group, 7, 7, 284, 62);

    m_tcpBox = new QCheckBox(QStringLiteral("Receive over TCP on port"), this);
    m_tcpBox->setObjectName(QStringLiteral("tcpBox"));
    Place(m_tcpBox, 17, 23, 120, 12);
    m_portBox = new QSpinBox(this);
    m_portBox->setObjectName(QStringLiteral("tcpPortBox"));
    m_portBox->setRange(1, 65535);
    Place(m_portBox, 140, 21, 50, 14);
    connect(m_tcpBox, &QCheckBox::toggled, m_portBox, &QWidget::setEnabled);

    m_ipv6Box = new QCheckBox(QStringLiteral("Receive from IPv6 senders"), this);
    m_ipv6Box->setObjectName(QStringLiteral("ipv6Box"));
    Place(m_ipv6Box, 17, 45, 180, 12);
}

bool CCfgNetwork::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    m_portBox->setEnabled(m_tcpOn);
    return true;
}

void CCfgNetwork::DoDataExchange(bool saveAndValidate) {
    if (saveAndValidate) {
        m_tcpOn = m_tcpBox->isChecked();
        m_tcpPort = static_cast<std::uint16_t>(m_portBox->value());
        m_ipv6 = m_ipv6Box->isChecked();
    } else {
        m_tcpBox->setChecked(m_tcpOn);
        m_portBox->setValue(m_tcpPort);
        m_ipv6Box->setChecked(m_ipv6);
    }
}
