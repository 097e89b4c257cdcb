#pragma once
#include <QDialog>

// Help > About: the application icon at the left, the version and two lines about the
// program, and OK at the top right.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "About Marovind";
    static constexpr const char* kVersionLine = "Marovind Version 1.0";
    static constexpr const char* kYearLine = "Copyright (C) 2025";
    static constexpr const char* kContactLine = "Questions and reports: marovind@example.org";

    explicit CAboutDlg(QWidget* parent = nullptr);
};
