#pragma once
#include <QString>
#include <cstdint>
#include <functional>
#include <string>

#include "gui/framework/PropertyPage.h"

class QCheckBox;
class QLineEdit;
class QSpinBox;

// The "Network Settings" page and its "Network" group: TCP reception on a port of the
// operator's choice, reception from IPv6 senders, and TLS reception with its certificate,
// key and optional client CA, which "Create Certificate..." can make on the spot.
class CCfgNetwork : public CPropertyPage {
    Q_OBJECT
public:
    // Asks the operator for a file; empty text when none was chosen.
    using FileChooser = std::function<QString(QWidget* owner, const QString& caption)>;
    // Shows a new certificate's fingerprint, for the operator to copy.
    using FingerprintPresenter = std::function<void(QWidget* owner, const QString& fingerprint)>;
    // Replaceable so that tests need no file dialog and no modal window.
    static FileChooser s_chooseFile;
    static FingerprintPresenter s_showFingerprint;
    static QString ChooseFileWithDialog(QWidget* owner, const QString& caption);
    static void ShowFingerprintDialog(QWidget* owner, const QString& fingerprint);

    CCfgNetwork();

    bool m_tcpOn = false;
    std::uint16_t m_tcpPort = 514;
    bool m_ipv6 = false;
    bool m_tlsOn = false;
    std::uint16_t m_tlsPort = 6514;
    std::string m_tlsCert;
    std::string m_tlsKey;
    std::string m_tlsClientCa;

protected:
    bool OnInitDialog() override;
    void DoDataExchange(bool saveAndValidate) override;

private:
    void CreateControls();
    QSpinBox* CreatePortBox(const char* name, int y);
    QLineEdit* CreateFileRow(const char* label, const char* name, int y);
    void OnCreateCertificate();

    QCheckBox* m_tcpBox;
    QSpinBox* m_portBox;
    QCheckBox* m_ipv6Box;
    QCheckBox* m_tlsBox;
    QSpinBox* m_tlsPortBox;
    QLineEdit* m_certBox;
    QLineEdit* m_keyBox;
    QLineEdit* m_clientCaBox;
};
