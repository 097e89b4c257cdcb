#pragma once
#include <string>

#include "gui/framework/PropertyPage.h"

class QButtonGroup;
class QPlainTextEdit;
class QRadioButton;

// The "Security Settings" page: whether anybody may log to the server or only the
// addresses listed in the address box.
class CCfgSecurity : public CPropertyPage {
    Q_OBJECT
public:
    enum { IDD = 106 };
    enum FilterChoice { kAnybody = 0, kListedOnly = 1 };

    CCfgSecurity();

    bool OnKillActive() override;

    std::string m_addressText; // the address box, lines separated by CR LF
    int m_filterChoice = -1;   // the checked button of the group, -1 for none

protected:
    bool OnInitDialog() override;
    void DoDataExchange(bool saveAndValidate) override;

private:
    void CreateControls();
    void SetAddressBoxReadOnly(bool readOnly);

    QRadioButton* m_anybody;
    QRadioButton* m_listedOnly;
    QButtonGroup* m_filterGroup;
    QPlainTextEdit* m_addressBox;
};
