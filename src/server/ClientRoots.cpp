#include "server/ClientRoots.h"

#include "platform/processes/Log.h"
#include "protocol/JsonWriter.h"

#include <QUrl>

ZARNEL_LOGGING_CATEGORY(lcRoots, "ClientRoots")

ClientRoots::ClientRoots(LineSender send)
    : m_send(std::move(send))
{
}

void ClientRoots::ask()
{
    const std::string id = "zarnel-roots-" + std::to_string(m_nextId++);
    if (m_send(JsonWriter::compact(Json{{"jsonrpc", "2.0"}, {"id", id}, {"method", "roots/list"}})))
        m_asked = id;
}

bool ClientRoots::takeResponse(const Json& message)
{
    if (!message.is_object())
        return false;
    const Json id = message.value("id", Json());
    if (!id.is_string() || !id.get_ref<const std::string&>().starts_with("zarnel-roots-"))
        return false;
    if (id.get_ref<const std::string&>() != m_asked)
        return true; // an answer overtaken by a later question
    m_asked.clear();
    const Json* roots = nullptr;
    if (message.contains("result") && message["result"].is_object() && message["result"].contains("roots"))
        roots = &message["result"]["roots"];
    if (!roots || !roots->is_array()) {
        qCWarning(lcRoots, "The client answered roots/list without roots");
        return true;
    }
    QStringList folders;
    for (const Json& root : *roots) {
        const std::string uri = root.is_object() ? root.value("uri", std::string()) : std::string();
        const QUrl url(QString::fromStdString(uri));
        // Roots are file URIs; anything else names no folder here and gives no access.
        if (url.isLocalFile() && url.toLocalFile().startsWith(QLatin1Char('/')))
            folders.append(url.toLocalFile());
    }
    qCInfo(lcRoots, "The client works in: %s", qUtf8Printable(folders.join(QStringLiteral(", "))));
    if (m_changed)
        m_changed(roots->empty() ? std::nullopt : std::optional<QStringList>(folders));
    return true;
}

void ClientRoots::forget()
{
    m_asked.clear();
    if (m_changed)
        m_changed(std::nullopt);
}
