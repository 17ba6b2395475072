#include "platform/files/FileManager.h"

FileResult<QString> FileManager::readTextFile(const FilePath& path, const CancelCheck& cancelled) const
{
    auto bytes = readFile(path, cancelled);
    if (!bytes.ok())
        return bytes.error();
    const QByteArrayView view(bytes.value().data(), static_cast<qsizetype>(bytes.value().size()));
    if (!view.isValidUtf8())
        return FileError{QStringLiteral("The file is not valid UTF-8 text")};
    return QString::fromUtf8(view);
}
