#include "server/CompletionProvider.h"

#include "catalog/PromptManager.h"
#include "server/RequestContext.h"

#include <QDir>

#include <algorithm>
#include <map>
#include <set>
#include <utility>

namespace {

const std::string kFileTemplate = "file:///{path}";

// The prompts' arguments that name a file or folder.
const std::set<std::pair<std::string, std::string>> kPathArguments = {
    {"analyze_file", "file_path"}, {"review_code", "file_path"}, {"security_audit", "target"}};

// The values the prompts' descriptions offer for their enumerated arguments.
const std::map<std::pair<std::string, std::string>, std::vector<std::string>> kChoices = {
    {{"analyze_file", "analysis_type"}, {"summary", "structure", "dependencies", "security"}},
    {{"review_code", "focus_area"}, {"security", "performance", "readability", "all"}},
    {{"optimize_system", "focus_area"}, {"memory", "cpu", "disk", "network", "all"}},
    {{"optimize_system", "detailed"}, {"true", "false"}},
    {{"security_audit", "severity"}, {"low", "medium", "high", "critical"}},
    {{"remote_access_security", "connection_type"}, {"ssh", "vpn", "direct"}},
    {{"backup_strategy", "data_type"}, {"documents", "code", "media", "system", "all"}},
    {{"backup_strategy", "frequency"}, {"hourly", "daily", "weekly", "monthly"}},
    {{"backup_strategy", "retention"}, {"days", "weeks", "months"}},
};

Json completionResult(const QStringList& matches)
{
    Json values = Json::array();
    for (qsizetype i = 0; i < matches.size() && i < CompletionProvider::kMaxValues; ++i)
        values.push_back(matches[i].toStdString());
    return Json{{"completion",
                 {{"values", std::move(values)}, {"total", matches.size()}, {"hasMore", matches.size() > CompletionProvider::kMaxValues}}}};
}

} // namespace

QStringList CompletionProvider::completePath(const QString& prefix)
{
    QString expanded = prefix;
    if (prefix == QStringLiteral("~") || prefix.startsWith(QStringLiteral("~/")))
        expanded = QDir::homePath() + prefix.mid(1);
    const qsizetype slash = expanded.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash < 0 ? QStringLiteral(".") : (slash == 0 ? QStringLiteral("/") : expanded.left(slash));
    const QString start = expanded.mid(slash + 1);
    const QString shown = prefix.left(prefix.size() - start.size());

    QDir::Filters filters = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System;
    if (start.startsWith(QLatin1Char('.')))
        filters |= QDir::Hidden;
    const QFileInfoList entries = QDir(folder).entryInfoList(filters, QDir::Name);
    QStringList matches;
    for (const QFileInfo& entry : entries) {
        if (!entry.fileName().startsWith(start))
            continue;
        matches.append(shown + entry.fileName() + (entry.isDir() ? QStringLiteral("/") : QString()));
    }
    return matches;
}

JSONRPCResponse CompletionProvider::complete(const JSONRPCRequest& request, const RequestContext&) const
{
    const Json* params = request.params && request.params->is_object() ? &*request.params : nullptr;
    const Json ref = params ? params->value("ref", Json()) : Json();
    const Json argument = params ? params->value("argument", Json()) : Json();
    if (!ref.is_object() || !argument.is_object() || !argument.value("name", Json()).is_string()
        || !argument.value("value", Json()).is_string())
        return JSONRPCResponse::failure(request.id, JSONRPCError::invalidParams);
    const std::string name = argument["name"].get<std::string>();
    const QString value = QString::fromStdString(argument["value"].get<std::string>());
    const Json type = ref.value("type", Json());

    if (type == "ref/resource") {
        if (ref.value("uri", Json()) != kFileTemplate)
            return JSONRPCResponse::failure(request.id, JSONRPCError{-32602, "Unknown resource template", std::nullopt});
        if (name != "path")
            return JSONRPCResponse::success(request.id, completionResult({}));
        // The template's {path} follows "file:///": it is an absolute path without its slash.
        QStringList matches = completePath(QLatin1Char('/') + value);
        for (QString& match : matches)
            match.remove(0, 1);
        return JSONRPCResponse::success(request.id, completionResult(matches));
    }
    if (type == "ref/prompt") {
        const Json prompt = ref.value("name", Json());
        const auto& prompts = m_prompts.prompts();
        if (!prompt.is_string() || std::none_of(prompts.begin(), prompts.end(), [&](const MCPPrompt& known) {
                return known.name == prompt.get<std::string>();
            }))
            return JSONRPCResponse::failure(request.id, JSONRPCError{-32602, "Unknown prompt", std::nullopt});
        const auto key = std::make_pair(prompt.get<std::string>(), name);
        if (kPathArguments.contains(key))
            return JSONRPCResponse::success(request.id, completionResult(completePath(value)));
        QStringList matches;
        if (const auto choices = kChoices.find(key); choices != kChoices.end()) {
            for (const std::string& choice : choices->second) {
                if (QString::fromStdString(choice).startsWith(value))
                    matches.append(QString::fromStdString(choice));
            }
        }
        return JSONRPCResponse::success(request.id, completionResult(matches));
    }
    return JSONRPCResponse::failure(request.id, JSONRPCError{-32602, "Unknown reference type", std::nullopt});
}
