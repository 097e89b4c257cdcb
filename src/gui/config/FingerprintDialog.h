#pragma once
#include <QDialog>

class QLineEdit;

// Shows a new certificate's SHA-256 fingerprint where the operator can select and copy it,
// for senders that pin the certificate (rsyslog's StreamDriverPermittedPeers, syslog-ng's
// trusted-keys).
class FingerprintDialog : public QDialog {
    Q_OBJECT
public:
    FingerprintDialog(const QString& fingerprint, QWidget* owner);

private:
    void OnCopy();

    QLineEdit* m_fingerprintBox;
};
