#pragma once

#include "protocol/JSONRPCRequest.h"
#include "protocol/JSONRPCResponse.h"

#include <QString>
#include <QStringList>

#include <string>

class PromptManager;
struct RequestContext;

// Answers completion/complete: file paths for the prompts' path arguments and for the {path} of
// the file template, completed from the file system as a shell does (folders end with "/"),
// and the listed values of the prompts' enumerated arguments. At most kMaxValues values, with
// the total and whether more exist. An unknown prompt or resource reference is invalid params.
class CompletionProvider {
public:
    static constexpr int kMaxValues = 100;

    explicit CompletionProvider(const PromptManager& prompts)
        : m_prompts(prompts)
    {
    }

    JSONRPCResponse complete(const JSONRPCRequest& request, const RequestContext& context) const;

    // The entries of the folder named by `prefix` whose names continue its last part, as
    // `prefix` continued; "~/" stands for the home folder. Sorted; hidden entries only when the
    // last part starts with a dot.
    static QStringList completePath(const QString& prefix);

private:
    const PromptManager& m_prompts;
};
