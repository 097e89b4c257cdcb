#pragma once

// unit_tests.exe started again by the alert program tests as the program a rule runs.
// "--alert-child FILE ARG..." writes each argument after FILE, as the C runtime of the child
// reads its command line, in UTF-8 and NUL-terminated, to FILE and its standard input to
// FILE.in; "--alert-child-sleep MS" waits that long; "--alert-child-spawn FILE" starts a
// program that sleeps a minute, writes its process id to FILE and sleeps a minute itself.
// False when none of these was asked for.
bool RunAsAlertChild(int& status);
