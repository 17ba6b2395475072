#include "platform/PrivateLibrary.h"

#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

namespace PrivateLibrary {

namespace {

QString pathOf(const char* fileName)
{
    Dl_info info{};
    if (::dladdr(reinterpret_cast<const void*>(&open), &info) == 0 || !info.dli_fname)
        return QString::fromLatin1(fileName);
    return QFileInfo(QFile::decodeName(info.dli_fname)).absolutePath() + QLatin1Char('/') + QLatin1String(fileName);
}

} // namespace

Opened open(const char* fileName, const char* entry)
{
    const QString path = pathOf(fileName);
    void* handle = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return {nullptr, QString::fromLocal8Bit(::dlerror())};
    using Entry = const void* (*)();
    const auto function = reinterpret_cast<Entry>(::dlsym(handle, entry));
    if (!function)
        return {nullptr, path + QStringLiteral(" has no entry ") + QLatin1String(entry)};
    return {function(), {}};
}

bool isLoaded(const char* fileName)
{
    return ::dlopen(QFile::encodeName(pathOf(fileName)).constData(), RTLD_NOW | RTLD_NOLOAD) != nullptr;
}

} // namespace PrivateLibrary
