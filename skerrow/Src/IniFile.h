// Reader of the INI-style text files (settings, strings, items, frame lists). Matching is
// deliberately loose: a key is found as a substring of the text before '='.
#pragma once

#include <cstdint>

class IniFile {
public:
    IniFile() = default;
    IniFile(const char* path, int searchOnly) { Open(path, searchOnly); }
    ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    int Open(const char* path, int searchOnly);
    int IsOpen() const { return text_ != nullptr; }
    int SetSection(const char* name);
    int HasSection(const char* name);
    int GetString(const char* section, const char* key, const char* def, char* buffer, int size);
    int32_t GetInt(const char* section, const char* key, int32_t def);
    float GetFloat(const char* section, const char* key, float def);

private:
    void Rewind() { cursor_ = text_; }
    // Next line into line_ (CRs dropped, cut to 255 characters); false after the last line.
    bool ReadLine();
    // The value text after '=' of the key in the section, or null.
    const char* FindKey(const char* section, const char* key);
    void Free();

    char section_[64] = {};
    const char* cursor_ = nullptr;
    char line_[256] = {};
    char* text_ = nullptr;
};
