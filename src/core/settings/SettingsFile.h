#pragma once
#include <string>
#include <vector>

// The settings file held as its ordered list of lines. Sections start at a header line
// "[name]"; a key line is the key, " = " and the value. Every other line is kept as it
// is and written back in its place.
class SettingsFile {
public:
    SettingsFile() = default;
    virtual ~SettingsFile() = default;

    // Replaces the held lines with the file's; a file that cannot be read gives none.
    bool Load(const std::string& path);
    // Writes every line followed by CR LF; a file that cannot be written is left alone.
    bool Save(const std::string& path) const;

    bool GetString(const char* section, const char* key, std::string& value) const;
    bool GetInt(const char* section, const char* key, int& value) const;
    bool GetBool(const char* section, const char* key, bool& value) const;

    bool SetString(const char* section, const char* key, const std::string& value);
    bool SetInt(const char* section, const char* key, int value);
    bool SetBool(const char* section, const char* key, bool value);

    // Every value of `key` in the section, in file order (a key may stand on many lines).
    std::vector<std::string> GetStrings(const char* section, const char* key) const;
    // Replaces those lines by one per value, where the first stood (else at the section's
    // start); the section is made only when there is a value to write.
    void SetStrings(const char* section, const char* key, const std::vector<std::string>& values);

    const std::vector<std::string>& Lines() const { return m_lines; }

private:
    int FindSection(const char* section) const;
    int EnsureSection(const char* section);
    int FindKey(int first, const char* key, std::string& value) const;
    bool IsSectionHeader(int index) const;
    bool SetLine(const char* section, const char* key, const std::string& text);

    std::vector<std::string> m_lines;
};
