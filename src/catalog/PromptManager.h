#pragma once

#include "protocol/AnyCodable.h"
#include "protocol/MCPPrompt.h"

#include <QCoroTask>
#include <QObject>
#include <QString>

#include <map>
#include <memory>
#include <variant>
#include <vector>

class FileManager;
class SystemInformation;

// A failed prompt rendering, with the text the client sees.
struct MCPPromptError {
    QString description;
    // The client asked for something wrong (an unknown prompt, a missing argument), as opposed
    // to a failure of ours.
    bool badRequest = false;

    static MCPPromptError promptNotFound(const QString& name) { return {QStringLiteral("Prompt not found: ") + name, true}; }
    static MCPPromptError promptTemplateNotFound(const QString& name) { return {QStringLiteral("Prompt template not found: ") + name}; }
    static MCPPromptError missingArgument(const QString& name) { return {QStringLiteral("Missing required argument: ") + name, true}; }
    static MCPPromptError invalidPrompt(const QString& message) { return {QStringLiteral("Invalid prompt: ") + message}; }
    static MCPPromptError invalidPath() { return {QStringLiteral("Invalid path: contains a NUL character")}; }
};

using PromptGetResult = std::variant<std::vector<MCPPromptMessage>, MCPPromptError>;

// The catalogue of prompt templates. A prompt is rendered from the client's arguments plus the
// context it gathers itself: a named file's text, and for optimize_system the system report.
class PromptManager : public QObject {
    Q_OBJECT
public:
    PromptManager(std::shared_ptr<const SystemInformation> systemInformation, FileManager& files, QObject* parent = nullptr);
    ~PromptManager() override;

    const std::vector<MCPPrompt>& prompts() const { return m_prompts; }

    // The first registration of a name wins; a template replaces any earlier one.
    void registerPrompt(MCPPrompt prompt);
    void registerTemplate(const std::string& name, std::string templateText);

    // Never throws; failures come back as MCPPromptError.
    QCoro::Task<PromptGetResult> getPrompt(QString name, Json::object_t arguments);

Q_SIGNALS:
    void promptsChanged();

private:
    void registerDefaultPrompts();
    // The text of the file at `path`, when something readable is there; a failed read is logged
    // behind `failurePrefix` and gives nothing.
    QCoro::Task<std::optional<std::string>> readContextFile(QString path, const char* failurePrefix);

    std::shared_ptr<const SystemInformation> m_systemInformation;
    FileManager& m_files;
    std::vector<MCPPrompt> m_prompts;
    std::map<std::string, std::string> m_templates;
};
