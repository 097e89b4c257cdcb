#pragma once

// Installs the window message box as the program's AfxMessageBox: caption "Marovind", the
// warning icon, one OK button and the text as plain text, line breaks kept. The text also
// goes to standard error. On the offscreen platform, where nobody can press OK, only
// standard error gets it and the box counts as answered at once.
// The question box likewise, with the question icon and Yes and No (No the default); on the
// offscreen platform the answer is No.
void InstallGuiMessageBox();
