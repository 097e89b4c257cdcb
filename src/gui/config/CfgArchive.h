#pragma once
#include "core/archive/ArchiveSettings.h"
#include "gui/framework/PropertyPage.h"

class QCheckBox;
class QSpinBox;

// The "Archive Settings" page and its "Archive" group: a new file for every log at midnight
// or past a size, gzip for the rotated files, and deleting them after some days.
class CCfgArchive : public CPropertyPage {
    Q_OBJECT
public:
    CCfgArchive();

    ArchiveSettings m_archive;

    // What the number boxes offer while their check box is off.
    static constexpr int kSuggestedMb = 100;
    static constexpr int kSuggestedDays = 30;

protected:
    bool OnInitDialog() override;
    void DoDataExchange(bool saveAndValidate) override;

private:
    void CreateControls();
    QCheckBox* CreateCheckBox(const char* text, const char* name, int y, int width);
    QSpinBox* CreateNumberBox(const char* name, const char* unit, int y, int maximum);

    QCheckBox* m_dailyBox;
    QCheckBox* m_sizeBox;
    QSpinBox* m_mbBox;
    QCheckBox* m_compressBox;
    QCheckBox* m_keepBox;
    QSpinBox* m_daysBox;
};
