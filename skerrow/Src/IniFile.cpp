#include "skerrow/Src/IniFile.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "skerrow/Src/ResourceLocator.h"

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

IniFile::~IniFile() { Free(); }

void IniFile::Free()
{
    if (text_) FreeResourceBuffer(text_);
    text_ = nullptr;
    cursor_ = nullptr;
}

int IniFile::Open(const char* path, int searchOnly)
{
    Free();
    text_ = LoadResourceFile(path, searchOnly);
    cursor_ = text_;
    return text_ ? 1 : 0;
}

bool IniFile::ReadLine()
{
    if (!cursor_) return false;
    size_t n = 0;
    const char* p = cursor_;
    while (*p && *p != '\n') {
        if (*p != '\r' && n < sizeof line_ - 1) line_[n++] = *p;
        ++p;
    }
    line_[n] = 0;
    if (*p == '\n')
        cursor_ = p + 1;
    else
        cursor_ = nullptr;  // the last line had no line end
    if (cursor_ && *cursor_ == 0) cursor_ = nullptr;
    return true;
}

int IniFile::SetSection(const char* name)
{
    if (!name) return 0;
    std::strncpy(section_, name, sizeof section_ - 1);
    section_[sizeof section_ - 1] = 0;
    return HasSection(section_);
}

int IniFile::HasSection(const char* name)
{
    if (!text_ || !name) return 0;
    Rewind();
    while (ReadLine()) {
        if (std::strstr(line_, name) && std::strchr(line_, '[') && std::strchr(line_, ']')) return 1;
    }
    return 0;
}

const char* IniFile::FindKey(const char* section, const char* key)
{
    if (!text_ || !key) return nullptr;
    if (section) SetSection(section);
    Rewind();
    bool inSection = false;
    while (ReadLine()) {
        if (!inSection) {
            const char* at = std::strstr(line_, section_);
            if (section_[0] && at == line_ + 1) inSection = true;
            continue;
        }
        if (line_[0] == '[') return nullptr;
        const char* at = std::strstr(line_, key);
        if (!at) continue;
        const char* eq = std::strchr(line_, '=');
        if (!eq) return nullptr;
        if (at < eq) {
            const char* value = eq + 1;
            while (IsBlank(*value)) ++value;
            if (*value == 0) return nullptr;
            return value;
        }
    }
    return nullptr;
}

int IniFile::GetString(const char* section, const char* key, const char* def, char* buffer, int size)
{
    if (!buffer || size <= 0) return 0;
    const char* value = FindKey(section, key);
    const char* source = value ? value : def;
    buffer[0] = 0;
    if (source) {
        std::strncpy(buffer, source, static_cast<size_t>(size - 1));
        buffer[size - 1] = 0;
    }
    size_t n = std::strlen(buffer);
    if (value) {
        while (n > 0 && IsBlank(buffer[n - 1])) buffer[--n] = 0;
    }
    return static_cast<int>(n);
}

int32_t IniFile::GetInt(const char* section, const char* key, int32_t def)
{
    const char* value = FindKey(section, key);
    if (!value) return def;
    // A number beyond the 32 bits saturates (as strtoll does at its own bounds) instead of
    // wrapping round: 2147483648 must not come back as a negative number.
    const long long v = std::strtoll(value, nullptr, 10);
    return static_cast<int32_t>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

float IniFile::GetFloat(const char* section, const char* key, float def)
{
    const char* value = FindKey(section, key);
    if (!value) return def;
    return static_cast<float>(std::strtod(value, nullptr));
}
