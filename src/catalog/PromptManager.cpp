#include "catalog/PromptManager.h"

PromptManager::PromptManager(QObject* parent)
    : QObject(parent)
{
}

QCoro::Task<PromptGetResult> PromptManager::getPrompt(QString name, Json::object_t arguments)
{
    (void)arguments;
    co_return MCPPromptError{QStringLiteral("Prompt not found: ") + name};
}
