#pragma once

#include <QString>

#include <mutex>

// Opens one of the program's own libraries, which sit beside the core library (in the build
// tree as where they are installed), and calls its one entry. Never closed: what it made lives
// until the process ends.
namespace PrivateLibrary {

struct Opened {
    const void* table = nullptr; // what the entry returned; null on failure
    QString error;
};

Opened open(const char* fileName, const char* entry);

// Whether the library is already loaded, without loading it.
bool isLoaded(const char* fileName);

template <typename Table> struct Loaded {
    const Table* table = nullptr;
    QString error;
};

// The library's table of functions, loaded on the first call (from any thread). A table whose
// leading `version` is not `version` comes from another build and is refused.
template <typename Table> const Loaded<Table>& loadOnce(const char* fileName, const char* entry, int version)
{
    static std::once_flag once;
    static Loaded<Table> loaded;
    std::call_once(once, [&] {
        const Opened opened = open(fileName, entry);
        const auto* table = static_cast<const Table*>(opened.table);
        if (!table)
            loaded.error = opened.error;
        else if (table->version != version)
            loaded.error = QLatin1String(fileName) + QStringLiteral(" is from another build of Zarnel");
        else
            loaded.table = table;
    });
    return loaded;
}

} // namespace PrivateLibrary
