#include "gui/config/CfgForward.h"

#include <algorithm>

#include <QLabel>
#include <QPlainTextEdit>

#include "core/forward/ForwardTarget.h"
#include "core/platform/MessageBox.h"
#include "gui/framework/DataExchange.h"

namespace {
constexpr const char* kHint = "Pass every message on to these collectors, one per line:\n"
                              "udp://HOST:PORT, tcp://HOST:PORT or tls://HOST:PORT, then any of\n"
                              "format=as-received|rfc5424  min-severity=NAME  queue-mb=N\n"
                              "and for TLS ca=FILE or fingerprint=SHA256:...";

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}
} // namespace

std::vector<std::string> ForwardTargetLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = Trimmed(text.substr(start, end - start));
        if (!line.empty())
            lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

CCfgForward::CCfgForward() : CPropertyPage(QStringLiteral("Forward"), 298, 221) {
    CreateControls();
}

void CCfgForward::CreateControls() {
    auto* hint = new QLabel(QString::fromLatin1(kHint), this);
    hint->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Place(hint, 7, 7, 284, 40);
    m_targetBox = new QPlainTextEdit(this);
    m_targetBox->setObjectName(QStringLiteral("targetBox"));
    m_targetBox->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_targetBox->setTabChangesFocus(true);
    m_targetBox->setPlaceholderText(QStringLiteral("tcp://collector.example:514 format=rfc5424"));
    Place(m_targetBox, 7, 50, 284, 164);
}

void CCfgForward::DoDataExchange(bool saveAndValidate) {
    DDX_Text(saveAndValidate, m_targetBox, m_targetText);
}

bool CCfgForward::OnKillActive() {
    const std::string text = m_targetBox->toPlainText().toStdString();
    for (const std::string& line : ForwardTargetLines(text)) {
        if (std::find(m_loadedLines.begin(), m_loadedLines.end(), line) != m_loadedLines.end())
            continue;
        ForwardTarget target;
        std::string error;
        if (!ParseForwardTarget(line, target, error)) {
            AfxMessageBox(
                ("The target \"" + line + "\" is not understood: " + error + ".").c_str());
            return false;
        }
    }
    return CPropertyPage::OnKillActive();
}
