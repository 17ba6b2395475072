#pragma once

#include <QByteArray>
#include <QString>

// A path as the file system stores it (bytes) together with the text shown to people. Paths
// that come from clients are always valid Unicode; names read from a directory may not be, so
// a child path keeps the exact bytes for the next call and shows the invalid ones as U+FFFD.
class FilePath {
public:
    FilePath() = default;
    FilePath(const QString& text)
        : m_text(text)
        , m_native(text.toUtf8())
    {
    }
    FilePath(const char* text)
        : FilePath(QString::fromUtf8(text))
    {
    }

    static FilePath fromNative(const QByteArray& native);
    // A path shown as `text` that the system reaches as `native` (another way to the same item).
    static FilePath withText(const QString& text, const QByteArray& native) { return FilePath(text, native); }

    const QString& text() const { return m_text; }
    const QByteArray& native() const { return m_native; }
    bool isEmpty() const { return m_native.isEmpty(); }

    // The path with its last component removed ("/a/b/" → "/a", "/a" → "/", "a" → "").
    FilePath parent() const;
    // The path with `name` appended after exactly one "/".
    FilePath child(const QByteArray& nativeName) const;
    // The last component without trailing slashes ("/a/b/" → "b", "/" → "").
    QByteArray nativeName() const;
    // The bytes up to a NUL character are all the system would see of such a path.
    bool containsNul() const { return m_native.contains('\0'); }

    friend bool operator==(const FilePath& a, const FilePath& b) { return a.m_native == b.m_native; }

private:
    FilePath(QString text, QByteArray native)
        : m_text(std::move(text))
        , m_native(std::move(native))
    {
    }

    QString m_text;
    QByteArray m_native;
};
