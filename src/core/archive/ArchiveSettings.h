#pragma once

class SettingsFile;

// The archive keys of [Marovind]. All off when absent: no rotation, no compression, nothing
// deleted.
struct ArchiveSettings {
    bool rotateDaily = false; // ROTATE_DAILY
    int rotateMb = 0;         // ROTATE_MB: a new file before a log grows past this many MiB
    bool compress = false;    // COMPRESS
    int keepDays = 0;         // KEEP_DAYS: rotated files older than this are deleted

    bool RotatesAtAll() const { return rotateDaily || rotateMb > 0; }
    bool IsOn() const { return RotatesAtAll() || compress || keepDays > 0; }
    bool operator==(const ArchiveSettings&) const = default;

    // Reads the keys; a negative or unreadable number counts as 0.
    static ArchiveSettings Read(const SettingsFile& settings);
    // Writes the keys whose values differ from `loaded`, the settings read before.
    void WriteChanged(SettingsFile& settings, const ArchiveSettings& loaded) const;
};
