// The search tool's pattern conversion with any text a client may send: the expression it
// builds is compiled and matched against names made from the pattern. Patterns of plain name
// characters and wildcards must then match exactly what a wildcard matcher written here
// independently matches ("*" any run, "?" any one character, everything else itself).

#include "tools/filesystem/SearchFilesTool.h"

#include <QRegularExpression>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

bool isPlainNameCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'-' || c == u'.' || c == u' ' || c == u'~' || c == u',';
}

bool wildcardMatches(const QString& pattern, const QString& name)
{
    // matched[j]: whether the pattern so far matches the first j characters of the name.
    std::vector<bool> matched(static_cast<std::size_t>(name.size()) + 1, false);
    matched[0] = true;
    for (const QChar p : pattern) {
        std::vector<bool> next(matched.size(), false);
        for (std::size_t j = 0; j < matched.size(); ++j) {
            if (p == u'*')
                next[j] = matched[j] || (j > 0 && next[j - 1]);
            else if (j > 0)
                next[j] = matched[j - 1] && (p == u'?' || p == name[static_cast<qsizetype>(j - 1)]);
        }
        matched = std::move(next);
    }
    return matched.back();
}

// Names that the pattern should and should not match: its wildcards filled in different ways,
// and each with one character more or less.
std::vector<QString> candidateNames(const QString& pattern)
{
    std::vector<QString> names;
    for (const QString& run : {QString(), QStringLiteral("a"), QStringLiteral("x.y*")}) {
        QString name;
        for (const QChar c : pattern)
            name += c == u'*' ? run : c == u'?' ? QStringLiteral("q") : QString(c);
        names.push_back(name);
        names.push_back(name + QLatin1Char('z'));
        names.push_back(name.left(name.size() - 1));
        names.push_back(name.mid(1));
    }
    names.push_back(pattern);
    names.push_back(QStringLiteral("file.txt"));
    return names;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString pattern = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QRegularExpression matcher(SearchFilesTool::matcherPattern(pattern), QRegularExpression::UseUnicodePropertiesOption);
    const std::vector<QString> names = candidateNames(pattern);
    if (!matcher.isValid())
        return 0;

    bool plain = true;
    for (const QChar c : pattern)
        plain = plain && (c == u'*' || c == u'?' || isPlainNameCharacter(c));
    for (const QString& name : names) {
        const bool matches = matcher.match(name).hasMatch();
        if (plain && !name.contains(u'\n') && matches != wildcardMatches(pattern, name)) {
            std::fprintf(stderr, "search pattern: '%s' %s '%s'\n", qPrintable(pattern), matches ? "matches" : "misses", qPrintable(name));
            std::abort();
        }
    }
    return 0;
}
