#pragma once
#include <string>
#include <vector>

#include "core/archive/CalendarDay.h"

// What the archive finds in the log directory (ending in its separator). Only names that
// rotation makes are touched, only directly in that directory, and only plain files.

// Finishes what a stop or crash left: removes partial compressed files, deletes rotated
// files whose ".gz" is complete (it is renamed into place only when whole), and returns
// the rotated files still to compress, when `compress`.
std::vector<std::string> LeftoverWork(const std::string& directory, bool compress);

// Deletes the rotated files, compressed or not, whose day is more than `keepDays` days
// before `today`; returns how many went.
int DeleteRotatedBefore(const std::string& directory, const CalendarDay& today, int keepDays);
