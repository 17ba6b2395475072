#pragma once

// The control protocol: how any part of Zarnel talks to a running zarnel process.
//
// Every zarnel process listens on a local socket of its own, <control folder>/<pid>.sock (see
// ControlFolder), reachable by the same user only: the folder is 0700 and every connection from
// another user id is closed before anything is read from it.
//
// The traffic is JSON, one value per line (UTF-8, a line feed after each). A line longer than
// kMaxLineBytes is answered with a "tooLong" error and the connection is closed.
//
// Request (client to process):
//   {"v":1,"id":7,"command":"status","args":{},"token":"<64 hex digits>"}
//   "v" is kProtocolVersion; "id" an integer the answer repeats; "args" optional (an object);
//   "token" the content of the control folder's token file (ControlFolder::token). A request
//   without the right token is answered "notAllowed": a confined command can reach the socket,
//   but not read the token.
// Answer (exactly one per request, in the order the requests came):
//   {"v":1,"id":7,"ok":true,"result":{...}}
//   {"v":1,"id":7,"ok":false,"error":{"code":"unknownCommand","message":"..."}}
//   A line that is not a request object is answered with "id":null and code "badRequest".
// Event (process to client, only after "subscribe"):
//   {"v":1,"event":"logEntry","data":{...}}
//
// Error codes: "badRequest" (not JSON, not an object, missing or mistyped members),
// "version" (another protocol version), "notAllowed" (no token, or another one),
// "unknownCommand", "badArguments", "failed" (the action
// itself failed; the message is for people), "tooLong" (a request line, or the answer the
// request would get, is longer than kMaxLineBytes).
//
// Commands:
//   status          {"saveStatistics": true (optional)}
//                   -> {"pid","running","waiting","connections","clientName","clientVersion","desktop",
//                       "version","session"} (session as below; older processes leave out session
//                       and waiting)
//                      waiting: the server is stopped and the process's client has sent requests
//                      that wait for it to start (read, not answered); clientName/clientVersion
//                      are then those the client gave in its waiting initialize (or a stateless
//                      request's client information), if it did.
//                      With saveStatistics the process first saves what it recorded since its last
//                      save, so that the shared statistics store is current.
//                      clientName/clientVersion are "" before the process's client said who it is.
//   server          {"action":"start"|"stop"} -> {"running","changed"}: this process only; the
//                      person's choice for every process is kept in the control folder (ServerState)
//   log             {"offset": n (optional)} -> {"entries":[entry...],"total","next"} newest first;
//                      entry as below. With "offset" one page from that position, as many
//                      entries as fit kLogPageBytes (at least one); "next" is the offset of the
//                      next page, left out on the last. New entries shift the offsets: a reader
//                      tells repeated entries by their id. Without "offset", the whole log in
//                      one answer (older processes always answer so, without "total").
//   clear-log       -> {"count"}: the number of entries removed
//   reset-stats     -> {}: the process drops its statistics, including figures not yet saved, so
//                      that it never writes the old figures back into the shared store
//   set-setting     {"key","value"} -> {}: the setting is assigned (and stored) in that process
//   show-dashboard  -> {} when the desktop instance shows its window; "failed" elsewhere
//   subscribe       -> {}; then events on this connection until it closes
//   Further commands can be registered by the program (ControlServer::registerCommand). The
//   desktop instance registers these, for the display work of the client processes:
//   confirm, withdraw-confirmation   a question in a dialog (DesktopConfirmationAsker)
//   clipboard       {"action":"reason"|"text"|"image"|"paths"} or {"action":"set","text"|"file"}:
//                      the desktop instance's clipboard, which outlives the asking process
//   screenshot      -> {"status","error","file"}: the screen captured into a transfer file
//   display-environment -> {"variables"}: its DISPLAY, WAYLAND_DISPLAY, XAUTHORITY and session
//                      variables, for a process started without them
//   (DisplayCommands has the details.) Whatever does not fit a line travels as a transfer file
//   (TransferFile): a fresh private file in the control folder that the receiver reads and
//   removes; no command writes a file its caller names.
//
// Log entry: {"id":"<UUID>","timestamp":<ms since 1970 UTC>,"type":"info"|"request"|"toolCall"|
//             "success"|"error","message":"..."}
//
// Session: {"requests","toolCalls","startTime":<ms since 1970 UTC>,"recentCalls":[call...]}, the
//          process's session counters and its newest kSessionRecentCalls tool calls, newest first;
//          call: {"id":"<UUID>","toolName","timestamp":<ms since 1970 UTC>,"duration":<seconds>,"success"}
//
// Events:
//   logEntry        an entry (as above) was added
//   logCleared      {} the log was emptied
//   server          {"running","waiting"} the server started or stopped, or its client began to
//                   wait (older processes leave out waiting)
//   connections     {"connections","clientName","clientVersion"} the client or its count changed
//   setting         {"key","value"} a setting changed in that process
//   statistics      {session} the session figures changed (at most every kSessionEventIntervalMs)
//                   or the statistics were reset; older processes send {} after a reset only

#include "protocol/AnyCodable.h"
#include "state/ActivityLogEntry.h"
#include "state/ServerStatistics.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <string>

namespace ControlProtocol {

inline constexpr int kProtocolVersion = 1;
inline constexpr qsizetype kMaxLineBytes = 1024 * 1024;
// How much of the log one page carries: well below a line's limit.
inline constexpr qsizetype kLogPageBytes = 256 * 1024;
// A client that reads nothing while this much waits for it is dropped.
inline constexpr qint64 kMaxPendingWriteBytes = 8 * 1024 * 1024;
// How long a short-lived client waits for one process.
inline constexpr int kRequestTimeoutMs = 1000;
// The recent calls a session carries: as many as the dashboard lists.
inline constexpr qsizetype kSessionRecentCalls = 15;
// Changes to the session figures are sent together, at most this often.
inline constexpr int kSessionEventIntervalMs = 250;

namespace Code {
inline constexpr const char* BadRequest = "badRequest";
inline constexpr const char* Version = "version";
inline constexpr const char* NotAllowed = "notAllowed";
inline constexpr const char* UnknownCommand = "unknownCommand";
inline constexpr const char* BadArguments = "badArguments";
inline constexpr const char* Failed = "failed";
inline constexpr const char* TooLong = "tooLong";
inline constexpr const char* Timeout = "timeout"; // never sent: a client's own verdict
} // namespace Code

struct Request {
    qint64 id = 0;
    std::string command;
    Json args = Json::object();
    QByteArray token; // left out when empty
};

// What a handler answers: a result, or an error code with a message for people.
struct Reply {
    bool ok = true;
    Json result = Json::object();
    std::string code;
    std::string message;

    static Reply success(Json result = Json::object());
    static Reply failure(std::string code, std::string message);
};

// One received line as a request; the reply to send instead when it is not one.
struct DecodedRequest {
    std::optional<Request> request;
    Reply error;
    Json id; // the id to answer with (null when none could be read)
};
DecodedRequest decodeRequest(const QByteArray& line);

QByteArray encodeRequest(const Request& request);
QByteArray encodeReply(const Json& id, const Reply& reply);
QByteArray encodeEvent(const std::string& name, const Json& data);

// One line from a process: an answer (with its id) or an event. Nothing when it is neither.
struct Incoming {
    bool isEvent = false;
    qint64 id = 0;
    Reply reply;
    std::string event;
    Json data;
};
std::optional<Incoming> decodeIncoming(const QByteArray& line);

Json encodeEntry(const ActivityLogEntry& entry);
std::optional<ActivityLogEntry> decodeEntry(const Json& value);

Json encodeSession(const SessionFigures& session);
// What is missing or mistyped reads as zero or empty (an older process's {}: a reset).
SessionFigures decodeSession(const Json& value);

} // namespace ControlProtocol
