#pragma once
#include <string>
#include <vector>

#include "gui/framework/PropertyPage.h"

class QPlainTextEdit;

// The "Forward" page: the collectors that every admitted message is passed on to, one target
// line each, as section [Forward] of the settings holds them.
class CCfgForward : public CPropertyPage {
    Q_OBJECT
public:
    CCfgForward();

    bool OnKillActive() override;

    std::string m_targetText; // the target box, lines separated by CR LF
    // The lines the page opened with: kept as they are even when not understood.
    std::vector<std::string> m_loadedLines;

protected:
    void DoDataExchange(bool saveAndValidate) override;

private:
    void CreateControls();

    QPlainTextEdit* m_targetBox;
};

// The lines of the target box that hold something, blanks around them removed.
std::vector<std::string> ForwardTargetLines(const std::string& text);
