#pragma once

// unit_tests.exe started again by the alert program tests as the program a rule runs.
// "--alert-child FILE ARG..." writes each argument after FILE, as the C runtime of the child
// reads its command line, in UTF-8 and NUL-terminated, to FILE and its standard input to
// FILE.in; "--alert-child-sleep MS" waits that long. False when neither was asked for.
bool RunAsAlertChild(int& status);
