// One environment variable set for a scope (an empty value unsets it) and put back as it was.
#pragma once

#include <cstdlib>
#include <string>

class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name)
    {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        if (had_) old_ = old;
        Set(value);
    }
    ~ScopedEnvironment() { Set(had_ ? old_.c_str() : ""); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    void Set(const char* value)
    {
        if (value[0]) setenv(name_.c_str(), value, 1);
        else unsetenv(name_.c_str());
    }
    std::string name_, old_;
    bool had_ = false;
};
