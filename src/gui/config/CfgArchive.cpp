#include "gui/config/CfgArchive.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QSpinBox>

namespace {
constexpr int kLabelX = 17;
constexpr int kNumberX = 190;
constexpr int kNumberWidth = 50;
constexpr int kMaxMb = 1024 * 1024; // a TiB
constexpr int kMaxDays = 100 * 366;

int ValueOr(int value, int otherwise) {
    return value > 0 ? value : otherwise;
}
} // namespace

CCfgArchive::CCfgArchive() : CPropertyPage(QStringLiteral("Archive Settings"), 298, 221) {
    CreateControls();
}

// The controls in template order, which is also their tab order.
void CCfgArchive::CreateControls() {
    auto* group = new QGroupBox(QStringLiteral("Archive"), this);
    Place(group, 7, 7, 284, 128);
    m_dailyBox = CreateCheckBox("Start a new file for every log at midnight", "dailyBox", 23, 260);
    m_sizeBox = CreateCheckBox("Start a new file when a log would grow past", "sizeBox", 42, 170);
    m_mbBox = CreateNumberBox("mbBox", "MiB", 40, kMaxMb);
    connect(m_sizeBox, &QCheckBox::toggled, m_mbBox, &QWidget::setEnabled);
    m_compressBox =
        CreateCheckBox("Compress each rotated file with gzip (.gz)", "compressBox", 61, 260);
    m_keepBox = CreateCheckBox("Delete rotated files older than", "keepBox", 80, 170);
    m_daysBox = CreateNumberBox("daysBox", "days", 78, kMaxDays);
    connect(m_keepBox, &QCheckBox::toggled, m_daysBox, &QWidget::setEnabled);

    auto* note = new QLabel(
        QStringLiteral("syslog.log becomes syslog.2026-12-10.log, the day of its first line; "
                       "only such files are compressed and deleted. Use this or logrotate, "
                       "not both."),
        this);
    note->setWordWrap(true);
    Place(note, kLabelX, 100, 264, 30);
}

QCheckBox* CCfgArchive::CreateCheckBox(const char* text, const char* name, int y, int width) {
    auto* box = new QCheckBox(QString::fromLatin1(text), this);
    box->setObjectName(QLatin1String(name));
    Place(box, kLabelX, y, width, 12);
    return box;
}

QSpinBox* CCfgArchive::CreateNumberBox(const char* name, const char* unit, int y, int maximum) {
    auto* box = new QSpinBox(this);
    box->setObjectName(QLatin1String(name));
    box->setRange(1, maximum);
    Place(box, kNumberX, y, kNumberWidth, 14);
    Place(new QLabel(QString::fromLatin1(unit), this), kNumberX + kNumberWidth + 4, y + 3, 30, 8);
    return box;
}

bool CCfgArchive::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    m_mbBox->setEnabled(m_archive.rotateMb > 0);
    m_daysBox->setEnabled(m_archive.keepDays > 0);
    return true;
}

void CCfgArchive::DoDataExchange(bool saveAndValidate) {
    if (saveAndValidate) {
        m_archive.rotateDaily = m_dailyBox->isChecked();
        m_archive.rotateMb = m_sizeBox->isChecked() ? m_mbBox->value() : 0;
        m_archive.compress = m_compressBox->isChecked();
        m_archive.keepDays = m_keepBox->isChecked() ? m_daysBox->value() : 0;
        return;
    }
    m_dailyBox->setChecked(m_archive.rotateDaily);
    m_sizeBox->setChecked(m_archive.rotateMb > 0);
    m_mbBox->setValue(ValueOr(m_archive.rotateMb, kSuggestedMb));
    m_compressBox->setChecked(m_archive.compress);
    m_keepBox->setChecked(m_archive.keepDays > 0);
    m_daysBox->setValue(ValueOr(m_archive.keepDays, kSuggestedDays));
}
