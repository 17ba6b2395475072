#include "app/StandardError.h"

#include <cerrno>

#include <unistd.h>

StandardError::~StandardError()
{
    std::string_view left = m_text;
    while (!left.empty()) {
        const ssize_t written = ::write(STDERR_FILENO, left.data(), left.size());
        if (written < 0 && errno == EINTR)
            continue;
        // Nowhere else to say it: a closed standard error loses the message, as std::cerr would.
        if (written <= 0)
            return;
        left.remove_prefix(static_cast<std::size_t>(written));
    }
}
