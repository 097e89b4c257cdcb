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

// The one question of the program: caption "Marovind", question icon, Yes and No.
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Asks and returns IDYES or IDNO. Without a handler nobody can answer: the question goes to
// standard error and the answer is IDNO, so nothing is done that was not agreed to.
int AfxQuestionBox(std::string_view text);

// Who asks; the window program installs its box, tests a recorder that answers.
using QuestionBoxHandler = std::function<int(const std::string& text)>;
QuestionBoxHandler SetQuestionBoxHandler(QuestionBoxHandler handler);
