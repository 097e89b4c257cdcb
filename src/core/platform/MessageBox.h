#pragma once
#include <functional>
#include <string>
#include <string_view>

// The one message box of the program: caption "Marovind", warning icon, one OK button.
// The text is shown exactly as given ("\r\n" and "\n" both break lines) and is also
// written to standard error.

constexpr int IDOK = 1;

// Shows the box and returns IDOK once it is dismissed.
int AfxMessageBox(std::string_view text);

// Who shows the box. Without a handler the text only goes to standard error; the
// program installs the window one at start-up and tests install a recorder.
using MessageBoxHandler = std::function<int(const std::string& text)>;
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
