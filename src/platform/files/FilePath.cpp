#include "platform/files/FilePath.h"

namespace {

qsizetype lengthWithoutTrailingSlashes(const QByteArray& path)
{
    qsizetype length = path.size();
    while (length > 1 && path[length - 1] == '/')
        --length;
    return length;
}

} // namespace

FilePath FilePath::fromNative(const QByteArray& native)
{
    return FilePath(QString::fromUtf8(native), native);
}

FilePath FilePath::parent() const
{
    const qsizetype length = lengthWithoutTrailingSlashes(m_native);
    const qsizetype slash = m_native.lastIndexOf('/', length - 1);
    if (slash < 0)
        return fromNative(QByteArray());
    if (slash == 0)
        return fromNative(QByteArrayLiteral("/"));
    return fromNative(m_native.left(lengthWithoutTrailingSlashes(m_native.left(slash))));
}

FilePath FilePath::child(const QByteArray& nativeName) const
{
    QByteArray native = m_native.left(lengthWithoutTrailingSlashes(m_native));
    QString text = m_text;
    // Only trailing slashes were cut, so the text loses the same number of characters.
    text.chop(m_native.size() - native.size());
    if (!native.endsWith('/')) {
        native += '/';
        text += QLatin1Char('/');
    }
    native += nativeName;
    text += QString::fromUtf8(nativeName);
    return FilePath(std::move(text), std::move(native));
}

QByteArray FilePath::nativeName() const
{
    const qsizetype length = lengthWithoutTrailingSlashes(m_native);
    if (length == 1 && m_native.startsWith('/'))
        return QByteArray();
    const qsizetype slash = m_native.lastIndexOf('/', length - 1);
    return m_native.mid(slash + 1, length - slash - 1);
}
