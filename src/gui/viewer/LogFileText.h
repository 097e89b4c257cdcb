#pragma once
#include <string>

#include <QByteArray>

// Reads the whole file for viewing: opened for reading while denying nothing to other
// openers, so a log file that the server is appending to can be read. Reads to the end
// whatever length the file reports. On failure `errorText` holds the message to show:
// the platform's text for the cause with the path, or "Failed to open document.".
bool ReadLogFile(const std::string& path, QByteArray& bytes, std::string& errorText);
