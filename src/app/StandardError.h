#pragma once

#include <string>
#include <string_view>

// A message for the person at the terminal, written to standard error in one piece when the
// statement ends: `StandardError() << "zarnel: " << problem << "\n";`. Not std::cerr, whose
// stream objects and locales every process would then set up at start, half a megabyte resident
// in each client's process.
class StandardError {
public:
    StandardError() = default;
    StandardError(const StandardError&) = delete;
    StandardError& operator=(const StandardError&) = delete;
    ~StandardError();

    StandardError& operator<<(std::string_view text)
    {
        m_text += text;
        return *this;
    }

private:
    std::string m_text;
};
