#include "core/settings/SettingsFile.h"

#include <cstdio>

#include "core/platform/CLocaleAtoi.h"
#include "core/platform/TextModeReader.h"

bool SettingsFile::Load(const std::string& path) {
    m_lines.clear();
    TextModeReader reader;
    if (!reader.Open(path))
        return true;
    std::string line;
    while (reader.ReadPiece(line))
        m_lines.push_back(line);
    return true;
}

bool SettingsFile::Save(const std::string& path) const {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return true;
    for (const std::string& line : m_lines) {
        std::fwrite(line.data(), 1, line.size(), file);
        std::fwrite("\r\n", 1, 2, file);
    }
    std::fclose(file);
    return true;
}

int SettingsFile::FindSection(const char* section) const {
    if (!section)
        return -1;
    const std::string header = std::string("[") + section + "]";
    for (std::size_t i = 0; i < m_lines.size(); ++i)
        if (m_lines[i] == header)
            return static_cast<int>(i);
    return -1;
}

int SettingsFile::EnsureSection(const char* section) {
    const int index = FindSection(section);
    if (index != -1)
        return index;
    m_lines.push_back(std::string("[") + section + "]");
    return static_cast<int>(m_lines.size()) - 1;
}

bool SettingsFile::IsSectionHeader(int index) const {
    if (index < 0 || index >= static_cast<int>(m_lines.size()))
        return false;
    const std::string& line = m_lines[static_cast<std::size_t>(index)];
    return line.size() >= 3 && line.front() == '[' && line.back() == ']';
}

int SettingsFile::FindKey(int first, const char* key, std::string& value) const {
    if (!key)
        return -1;
    const std::string prefix = std::string(key) + " = ";
    for (int i = first; i < static_cast<int>(m_lines.size()); ++i) {
        if (IsSectionHeader(i))
            return -1;
        const std::string& line = m_lines[static_cast<std::size_t>(i)];
        if (line.size() < prefix.size())
            continue;
        if (line.compare(0, prefix.size(), prefix) == 0) {
            value = line.substr(prefix.size());
            return i;
        }
    }
    return -1;
}

bool SettingsFile::GetString(const char* section, const char* key, std::string& value) const {
    const int header = FindSection(section);
    if (header == -1)
        return false;
    std::string found;
    if (FindKey(header + 1, key, found) == -1)
        return false;
    value = found;
    return true;
}

bool SettingsFile::GetInt(const char* section, const char* key, int& value) const {
    std::string text;
    if (!GetString(section, key, text))
        return false;
    value = CLocaleAtoi(text.c_str());
    return true;
}

bool SettingsFile::GetBool(const char* section, const char* key, bool& value) const {
    std::string text;
    if (!GetString(section, key, text))
        return false;
    value = text.find("true") != std::string::npos;
    return true;
}

bool SettingsFile::SetLine(const char* section, const char* key, const std::string& text) {
    // Without a section or key there is no line to write; leave the file as it is.
    if (!section || !key)
        return false;
    const int header = EnsureSection(section);
    const std::string line = std::string(key) + " = " + text;
    std::string unused;
    const int existing = FindKey(header + 1, key, unused);
    if (existing != -1)
        m_lines[static_cast<std::size_t>(existing)] = line;
    else
        m_lines.insert(m_lines.begin() + header + 1, line);
    return true;
}

bool SettingsFile::SetString(const char* section, const char* key, const std::string& value) {
    return SetLine(section, key, value);
}

bool SettingsFile::SetInt(const char* section, const char* key, int value) {
    return SetLine(section, key, std::to_string(value));
}

bool SettingsFile::SetBool(const char* section, const char* key, bool value) {
    return SetLine(section, key, value ? "true" : "false");
}

std::vector<std::string> SettingsFile::GetStrings(const char* section, const char* key) const {
    std::vector<std::string> values;
    const int header = FindSection(section);
    std::string value;
    for (int at = header == -1 ? -1 : FindKey(header + 1, key, value); at != -1;
         at = FindKey(at + 1, key, value))
        values.push_back(value);
    return values;
}

void SettingsFile::SetStrings(const char* section, const char* key,
                              const std::vector<std::string>& values) {
    if (!key || (FindSection(section) == -1 && values.empty()))
        return;
    const int header = EnsureSection(section);
    std::string unused;
    int insertAt = FindKey(header + 1, key, unused);
    if (insertAt == -1)
        insertAt = header + 1;
    for (int at = FindKey(header + 1, key, unused); at != -1; at = FindKey(at, key, unused))
        m_lines.erase(m_lines.begin() + at);
    for (const std::string& value : values)
        m_lines.insert(m_lines.begin() + insertAt++, std::string(key) + " = " + value);
}
