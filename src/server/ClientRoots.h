#pragma once

#include "protocol/AnyCodable.h"

#include <QStringList>

#include <functional>
#include <optional>
#include <string>

// The folders a client says it works in (its "roots"): asked for with roots/list once it has
// initialized and again whenever it says they changed, and handed on as local folders. Only the
// answer to the latest question counts.
class ClientRoots {
public:
    using LineSender = std::function<bool(const std::string& line)>;
    // The client's folders; nothing when it gave none (or the session started over). A list
    // without a single folder (the roots were no local folders) gives access nowhere.
    using RootsChanged = std::function<void(std::optional<QStringList> folders)>;

    explicit ClientRoots(LineSender send);

    void onChange(RootsChanged changed) { m_changed = std::move(changed); }

    // Asks the client for its roots.
    void ask();
    // A response line from the client: true when it answered our question.
    bool takeResponse(const Json& message);
    // A new conversation: the last client's roots no longer count.
    void forget();

private:
    LineSender m_send;
    RootsChanged m_changed;
    std::string m_asked; // the id of the question still open
    long m_nextId = 1;
};
