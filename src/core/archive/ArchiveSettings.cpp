#include "core/archive/ArchiveSettings.h"

#include "core/settings/SettingsFile.h"

namespace {
constexpr const char* kSection = "Marovind";

bool ReadBool(const SettingsFile& settings, const char* key) {
    bool value = false;
    return settings.GetBool(kSection, key, value) && value;
}

int ReadCount(const SettingsFile& settings, const char* key) {
    int value = 0;
    return settings.GetInt(kSection, key, value) && value > 0 ? value : 0;
}
} // namespace

ArchiveSettings ArchiveSettings::Read(const SettingsFile& settings) {
    ArchiveSettings read;
    read.rotateDaily = ReadBool(settings, "ROTATE_DAILY");
    read.rotateMb = ReadCount(settings, "ROTATE_MB");
    read.compress = ReadBool(settings, "COMPRESS");
    read.keepDays = ReadCount(settings, "KEEP_DAYS");
    return read;
}

void ArchiveSettings::WriteChanged(SettingsFile& settings, const ArchiveSettings& loaded) const {
    if (rotateDaily != loaded.rotateDaily)
        settings.SetBool(kSection, "ROTATE_DAILY", rotateDaily);
    if (rotateMb != loaded.rotateMb)
        settings.SetInt(kSection, "ROTATE_MB", rotateMb);
    if (compress != loaded.compress)
        settings.SetBool(kSection, "COMPRESS", compress);
    if (keepDays != loaded.keepDays)
        settings.SetInt(kSection, "KEEP_DAYS", keepDays);
}
