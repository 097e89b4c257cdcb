#pragma once
#include <string>
#include <vector>

#include "core/alerts/AlertRule.h"

// Reads alerts.ini from the program directory. A file that cannot be used gives no rules
// and is reported in a message box, once for as long as the same fault stays.
class AlertRulesLoader {
public:
    std::vector<AlertRule> Load();
    // The reason the file was last found unusable; empty when it was fine.
    const std::string& Fault() const { return m_fault; }
    static std::string Path();

private:
    std::string m_fault;
};
