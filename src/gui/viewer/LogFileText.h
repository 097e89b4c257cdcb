#pragma once
#include <string>

#include <QByteArray>

class ShareFile;

// Reads the whole file for viewing: opened for reading while denying nothing to other
// openers, so a log file that the server is appending to can be read. Reads to the end
// whatever length the file reports. On failure `errorText` holds the message to show:
// the platform's text for the cause with the path, or "Failed to open document.".
bool ReadLogFile(const std::string& path, QByteArray& bytes, std::string& errorText);

// Opens the file for reading the same way, after the same checks; false with the message.
bool OpenLogFile(const std::string& path, ShareFile& file, std::string& errorText);
// The message for a failed read of a file opened that way.
std::string LogFileReadError(const ShareFile& file);
