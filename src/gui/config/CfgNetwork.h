#pragma once
#include <cstdint>

#include "gui/framework/PropertyPage.h"

class QCheckBox;
class QSpinBox;

// The "Network Settings" page and its "Network" group: TCP reception on a port of the
// operator's choice, and reception from IPv6 senders.
class CCfgNetwork : public CPropertyPage {
    Q_OBJECT
public:
    CCfgNetwork();

    bool m_tcpOn = false;
    std::uint16_t m_tcpPort = 514;
    bool m_ipv6 = false;

protected:
    bool OnInitDialog() override;
    void DoDataExchange(bool saveAndValidate) override;

private:
    void CreateControls();

    QCheckBox* m_tcpBox;
    QSpinBox* m_portBox;
    QCheckBox* m_ipv6Box;
};
