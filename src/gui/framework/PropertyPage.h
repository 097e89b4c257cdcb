#pragma once
#include <QWidget>

#include "gui/framework/DialogUnits.h"

// One page of a property sheet, built like a dialog template: fixed-size, its controls
// placed in dialog units in tab order. Members reach the controls when the page is first
// shown and come back from them when the page is left successfully; a page that is never
// shown keeps the values it was given.
class CPropertyPage : public QWidget {
    Q_OBJECT
public:
    // `width` and `height` are the template's size in dialog units.
    CPropertyPage(const QString& caption, int width, int height);

    const QString& Caption() const { return m_caption; }
    bool IsInitialized() const { return m_initialized; }

    // Called by the sheet each time the page becomes active; runs OnInitDialog the first
    // time.
    void Activate();

    // Called by the sheet before the page is left by a tab change or by OK. False keeps
    // the page active. The base stores the controls into the members.
    virtual bool OnKillActive();

protected:
    // Fills the controls from the members; returns true.
    virtual bool OnInitDialog();
    virtual void DoDataExchange(bool saveAndValidate) = 0;
    bool UpdateData(bool saveAndValidate);

    // Moves and sizes a control by its template rectangle.
    void Place(QWidget* control, int x, int y, int width, int height) const;

private:
    QString m_caption;
    DialogUnits m_units;
    bool m_initialized = false;
};
