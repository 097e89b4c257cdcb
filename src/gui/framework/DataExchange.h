#pragma once
#include <string>

class QButtonGroup;
class QLineEdit;
class QPlainTextEdit;

// Data exchange between a page's members and its controls. With saveAndValidate false
// the control is filled from the member, with true the member from the control.

// A single-line edit box and a text member.
void DDX_Text(bool saveAndValidate, QLineEdit* edit, std::string& value);

// A multi-line edit box and a text member whose lines are separated by CR LF, as the
// platform's edit control holds them.
void DDX_Text(bool saveAndValidate, QPlainTextEdit* edit, std::string& value);

// A radio group whose buttons carry the ids 0, 1, ... and the index of the checked
// button; -1 means none is checked.
void DDX_Radio(bool saveAndValidate, QButtonGroup* group, int& value);
