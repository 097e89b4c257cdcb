#include "gui/config/CfgNetwork.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "core/platform/MessageBox.h"
#include "core/platform/ProgramDir.h"
#include "core/tls/CertificateMaker.h"
#include "gui/config/FingerprintDialog.h"
#include "gui/framework/DataExchange.h"

namespace {
constexpr const char* kPemFilter = "PEM files (*.pem *.crt *.cer *.key);;All files (*)";
constexpr int kPortX = 140;
constexpr int kLabelX = 17;
constexpr int kPathX = 70;
constexpr int kPathWidth = 162;
constexpr int kBrowseX = 236;

std::string ReplaceQuestion(const CertificateFiles& files) {
    return files.certificate + " or " + files.key +
           " exists already.\nReplace both with a new certificate and key?\nSenders that "
           "pinned the old certificate's fingerprint will refuse the new one until they are "
           "given its fingerprint.";
}

QString FromLocal(const std::string& text) {
    return QString::fromLocal8Bit(text);
}
} // namespace

CCfgNetwork::FileChooser CCfgNetwork::s_chooseFile = &CCfgNetwork::ChooseFileWithDialog;
CCfgNetwork::FingerprintPresenter CCfgNetwork::s_showFingerprint =
    &CCfgNetwork::ShowFingerprintDialog;

QString CCfgNetwork::ChooseFileWithDialog(QWidget* owner, const QString& caption) {
    return QFileDialog::getOpenFileName(owner, caption, FromLocal(g_programDir),
                                        QString::fromLatin1(kPemFilter));
}

void CCfgNetwork::ShowFingerprintDialog(QWidget* owner, const QString& fingerprint) {
    FingerprintDialog(fingerprint, owner).exec();
}

CCfgNetwork::CCfgNetwork() : CPropertyPage(QStringLiteral("Network Settings"), 298, 221) {
    CreateControls();
}

// The controls in template order, which is also their tab order.
void CCfgNetwork::CreateControls() {
    auto* group = new QGroupBox(QStringLiteral("Network"), this);
    Place(group, 7, 7, 284, 152);

    m_tcpBox = new QCheckBox(QStringLiteral("Receive over TCP on port"), this);
    m_tcpBox->setObjectName(QStringLiteral("tcpBox"));
    Place(m_tcpBox, kLabelX, 23, 120, 12);
    m_portBox = CreatePortBox("tcpPortBox", 21);
    connect(m_tcpBox, &QCheckBox::toggled, m_portBox, &QWidget::setEnabled);

    m_ipv6Box = new QCheckBox(QStringLiteral("Receive from IPv6 senders"), this);
    m_ipv6Box->setObjectName(QStringLiteral("ipv6Box"));
    Place(m_ipv6Box, kLabelX, 42, 180, 12);

    m_tlsBox = new QCheckBox(QStringLiteral("Receive over TLS on port"), this);
    m_tlsBox->setObjectName(QStringLiteral("tlsBox"));
    Place(m_tlsBox, kLabelX, 61, 120, 12);
    m_tlsPortBox = CreatePortBox("tlsPortBox", 59);
    connect(m_tlsBox, &QCheckBox::toggled, m_tlsPortBox, &QWidget::setEnabled);

    m_certBox = CreateFileRow("Certificate:", "cert", 82);
    m_keyBox = CreateFileRow("Private key:", "key", 100);
    m_clientCaBox = CreateFileRow("Client CA:", "clientCa", 118);
    m_clientCaBox->setPlaceholderText(QStringLiteral("optional"));
    m_clientCaBox->setToolTip(
        QStringLiteral("Certificate authorities (PEM). When set, only senders with a "
                       "certificate one of them signed may connect."));

    auto* create = new QPushButton(QStringLiteral("Create Certificate..."), this);
    create->setObjectName(QStringLiteral("createCertificate"));
    create->setAutoDefault(false);
    Place(create, kPathX, 138, 90, 14);
    connect(create, &QPushButton::clicked, this, &CCfgNetwork::OnCreateCertificate);
}

QSpinBox* CCfgNetwork::CreatePortBox(const char* name, int y) {
    auto* box = new QSpinBox(this);
    box->setObjectName(QLatin1String(name));
    box->setRange(1, 65535);
    Place(box, kPortX, y, 50, 14);
    return box;
}

// A label, a path box named `name` + "Box" and its "Browse..." button named `name` + "Browse".
QLineEdit* CCfgNetwork::CreateFileRow(const char* label, const char* name, int y) {
    const QString text = QString::fromLatin1(label);
    Place(new QLabel(text, this), kLabelX, y + 3, kPathX - kLabelX - 2, 8);
    auto* box = new QLineEdit(this);
    box->setObjectName(QLatin1String(name) + QStringLiteral("Box"));
    Place(box, kPathX, y, kPathWidth, 14);
    auto* browse = new QPushButton(QStringLiteral("Browse..."), this);
    browse->setObjectName(QLatin1String(name) + QStringLiteral("Browse"));
    browse->setAutoDefault(false);
    Place(browse, kBrowseX, y, 48, 14);
    const QString caption = QStringLiteral("Select the ") + text.chopped(1);
    connect(browse, &QPushButton::clicked, this, [this, box, caption] {
        const QString chosen = s_chooseFile ? s_chooseFile(this, caption) : QString();
        if (!chosen.isEmpty())
            box->setText(QDir::toNativeSeparators(chosen));
    });
    return box;
}

bool CCfgNetwork::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    m_portBox->setEnabled(m_tcpOn);
    m_tlsPortBox->setEnabled(m_tlsOn);
    return true;
}

void CCfgNetwork::DoDataExchange(bool saveAndValidate) {
    if (saveAndValidate) {
        m_tcpOn = m_tcpBox->isChecked();
        m_tcpPort = static_cast<std::uint16_t>(m_portBox->value());
        m_ipv6 = m_ipv6Box->isChecked();
        m_tlsOn = m_tlsBox->isChecked();
        m_tlsPort = static_cast<std::uint16_t>(m_tlsPortBox->value());
    } else {
        m_tcpBox->setChecked(m_tcpOn);
        m_portBox->setValue(m_tcpPort);
        m_ipv6Box->setChecked(m_ipv6);
        m_tlsBox->setChecked(m_tlsOn);
        m_tlsPortBox->setValue(m_tlsPort);
    }
    DDX_Text(saveAndValidate, m_certBox, m_tlsCert);
    DDX_Text(saveAndValidate, m_keyBox, m_tlsKey);
    DDX_Text(saveAndValidate, m_clientCaBox, m_tlsClientCa);
}

// Makes the pair in the program directory, asking first when it would replace files.
void CCfgNetwork::OnCreateCertificate() {
    const CertificateFiles files = CertificateFiles::In(g_programDir);
    const bool replace = files.AnyExists();
    if (replace && AfxQuestionBox(ReplaceQuestion(files)) != IDYES)
        return;
    const CertificateResult result =
        CreateCertificateFiles(files, CertificateSubject::ThisHost(), replace);
    if (!result.error.empty()) {
        AfxMessageBox("The certificate could not be created:\n" + result.error);
        return;
    }
    m_certBox->setText(FromLocal(files.certificate));
    m_keyBox->setText(FromLocal(files.key));
    if (s_showFingerprint)
        s_showFingerprint(this, QString::fromStdString(result.fingerprint));
}
