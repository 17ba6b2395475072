#pragma once

#include "protocol/AnyCodable.h"
#include "protocol/MCPPrompt.h"

#include <QCoroTask>
#include <QObject>
#include <QString>

#include <variant>
#include <vector>

// A failed prompt rendering, with the text the client sees.
struct MCPPromptError {
    QString description;
};

using PromptGetResult = std::variant<std::vector<MCPPromptMessage>, MCPPromptError>;

// The catalogue of prompt templates and their renderer.
class PromptManager : public QObject {
    Q_OBJECT
public:
    explicit PromptManager(QObject* parent = nullptr);

    const std::vector<MCPPrompt>& prompts() const { return m_prompts; }

    // Never throws; failures come back as MCPPromptError.
    QCoro::Task<PromptGetResult> getPrompt(QString name, Json::object_t arguments);

Q_SIGNALS:
    void promptsChanged();

private:
    std::vector<MCPPrompt> m_prompts;
};
