#include "platform/desktop/DesktopEntry.h"

#include <QFile>
#include <QHash>

namespace {

const QString kGroup = QStringLiteral("[Desktop Entry]");

// The escapes every string value may hold. Any other backslash stays, for the quoting rules
// of Exec to read.
QString unescapeValue(const QString& value)
{
    QString result;
    result.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != u'\\' || i + 1 == value.size()) {
            result += c;
            continue;
        }
        const QChar next = value.at(i + 1);
        switch (next.unicode()) {
        case 's': result += u' '; break;
        case 'n': result += u'\n'; break;
        case 't': result += u'\t'; break;
        case 'r': result += u'\r'; break;
        case '\\': result += u'\\'; break;
        default:
            result += c;
            result += next;
            break;
        }
        ++i;
    }
    return result;
}

// The keys of a localized value to try, best first: lang_COUNTRY@MODIFIER, lang_COUNTRY,
// lang@MODIFIER, lang. The encoding part of the locale plays no role.
QStringList localeKeys(const QString& locale)
{
    QString name = locale;
    QString modifier;
    if (const auto at = name.indexOf(u'@'); at >= 0) {
        modifier = name.mid(at + 1);
        name.truncate(at);
    }
    if (const auto dot = name.indexOf(u'.'); dot >= 0)
        name.truncate(dot);
    if (name.isEmpty() || name == u"C" || name == u"POSIX")
        return {};
    QString lang = name;
    QString country;
    if (const auto underscore = name.indexOf(u'_'); underscore >= 0) {
        lang = name.left(underscore);
        country = name.mid(underscore + 1);
    }
    QStringList keys;
    if (!country.isEmpty() && !modifier.isEmpty())
        keys << lang + u'_' + country + u'@' + modifier;
    if (!country.isEmpty())
        keys << lang + u'_' + country;
    if (!modifier.isEmpty())
        keys << lang + u'@' + modifier;
    keys << lang;
    return keys;
}

// The keys of the [Desktop Entry] group, values unescaped.
std::optional<QHash<QString, QString>> readGroup(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QHash<QString, QString> values;
    bool inGroup = false;
    bool seenGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            if (inGroup)
                break;
            inGroup = line == kGroup;
            seenGroup = seenGroup || inGroup;
            continue;
        }
        if (!inGroup)
            continue;
        const auto equals = line.indexOf(u'=');
        if (equals <= 0)
            continue;
        const QString key = line.left(equals).trimmed();
        // The first occurrence of a key counts.
        if (!values.contains(key))
            values.insert(key, unescapeValue(line.mid(equals + 1).trimmed()));
    }
    if (!seenGroup)
        return std::nullopt;
    return values;
}

bool isTrue(const QString& value)
{
    return value == u"true";
}

struct Token {
    QString text;
    bool quoted = false;
};

// Splits Exec at unquoted blanks; inside double quotes a backslash escapes ", `, $ and \.
std::optional<std::vector<Token>> tokenize(const QString& command, QString* error)
{
    std::vector<Token> tokens;
    Token current;
    bool inToken = false;
    bool inQuotes = false;
    for (qsizetype i = 0; i < command.size(); ++i) {
        const QChar c = command.at(i);
        if (inQuotes) {
            if (c == u'"') {
                inQuotes = false;
            } else if (c == u'\\' && i + 1 < command.size() && QStringView(u"\"`$\\").contains(command.at(i + 1))) {
                current.text += command.at(++i);
            } else {
                current.text += c;
            }
        } else if (c == u' ' || c == u'\t' || c == u'\n') {
            if (inToken)
                tokens.push_back(std::exchange(current, Token{}));
            inToken = false;
        } else if (c == u'"') {
            inQuotes = true;
            inToken = true;
            current.quoted = true;
        } else {
            current.text += c;
            inToken = true;
        }
    }
    if (inQuotes) {
        if (error)
            *error = QStringLiteral("unterminated quote");
        return std::nullopt;
    }
    if (inToken)
        tokens.push_back(current);
    return tokens;
}

} // namespace

std::optional<DesktopEntry> DesktopEntry::read(const QString& path, const QString& id, const QString& locale)
{
    const auto values = readGroup(path);
    if (!values || values->value(QStringLiteral("Type")) != u"Application" || isTrue(values->value(QStringLiteral("Hidden"))))
        return std::nullopt;

    DesktopEntry entry;
    entry.id = id;
    entry.path = path;
    entry.untranslatedName = values->value(QStringLiteral("Name"));
    entry.name = entry.untranslatedName;
    for (const QString& key : localeKeys(locale)) {
        const auto translated = values->constFind(QStringLiteral("Name[%1]").arg(key));
        if (translated != values->constEnd() && !translated->isEmpty()) {
            entry.name = *translated;
            break;
        }
    }
    entry.icon = values->value(QStringLiteral("Icon"));
    entry.exec = values->value(QStringLiteral("Exec"));
    entry.workingDirectory = values->value(QStringLiteral("Path"));
    entry.noDisplay = isTrue(values->value(QStringLiteral("NoDisplay")));
    return entry;
}

std::optional<QStringList> DesktopEntry::commandLine(QString* error) const
{
    const auto tokens = tokenize(exec, error);
    if (!tokens)
        return std::nullopt;
    if (tokens->empty()) {
        if (error)
            *error = QStringLiteral("no command");
        return std::nullopt;
    }

    QStringList arguments;
    for (const Token& token : *tokens) {
        // Codes that stand for files, URLs or nothing any more vanish with their argument when
        // they stand alone, so that no empty argument takes their place.
        static const QStringList kDropped = {QStringLiteral("%f"), QStringLiteral("%F"), QStringLiteral("%u"), QStringLiteral("%U"),
                                             QStringLiteral("%d"), QStringLiteral("%D"), QStringLiteral("%n"), QStringLiteral("%N"),
                                             QStringLiteral("%v"), QStringLiteral("%m")};
        if (!token.quoted && kDropped.contains(token.text))
            continue;
        if (!token.quoted && token.text == u"%i") {
            if (!icon.isEmpty())
                arguments << QStringLiteral("--icon") << icon;
            continue;
        }
        QString expanded;
        for (qsizetype i = 0; i < token.text.size(); ++i) {
            const QChar c = token.text.at(i);
            if (c != u'%') {
                expanded += c;
                continue;
            }
            const QChar code = i + 1 < token.text.size() ? token.text.at(++i) : QChar();
            switch (code.unicode()) {
            case '%': expanded += u'%'; break;
            case 'c': expanded += name; break;
            case 'k': expanded += path; break;
            case 'i': expanded += icon; break;
            case 'f':
            case 'F':
            case 'u':
            case 'U':
            case 'd':
            case 'D':
            case 'n':
            case 'N':
            case 'v':
            case 'm': break;
            default:
                if (error)
                    *error = code.isNull() ? QStringLiteral("a lone % at the end") : QStringLiteral("unknown field code %") + code;
                return std::nullopt;
            }
        }
        arguments << expanded;
    }
    if (arguments.isEmpty() || arguments.first().isEmpty()) {
        if (error)
            *error = QStringLiteral("no command");
        return std::nullopt;
    }
    return arguments;
}
