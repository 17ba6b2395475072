#pragma once

#include "platform/files/FileManager.h"
#include "tools/BaseTool.h"

#include <functional>
#include <optional>

// Every tool starts its worker in a statement of its own and then awaits the task: g++ 12
// destroys the captures of a lambda twice when the lambda is a temporary inside a co_await
// expression.
//
// What the file tools share: the file manager, path resolution and the failure report.
class FileSystemTool : public BaseTool {
public:
    FileSystemTool(const QLoggingCategory& logger, FileManager& files)
        : BaseTool(logger)
        , m_files(files)
    {
    }

protected:
    FileManager& files() const { return m_files; }

    // A path not starting with "/" is joined to the current directory with one "/"; nothing
    // else changes ("~" stays, so do "." and ".." and repeated slashes).
    FilePath resolvePath(const QString& text) const;

    // A name as shown in a listing: control characters (a line feed would fake another entry)
    // are written as escapes ("\n", "\t", "\x1b", "\u2028").
    static QString displayName(const QString& name);

    // Runs `work` on the thread pool. Its result is handed over, not copied as awaiting a
    // QFuture would: a file's contents can be tens of megabytes.
    static QCoro::Task<MCPToolCallResponse> inBackground(std::function<MCPToolCallResponse()> work);

    // "Refusing to <verb> '.' or '..': name the <what> itself" when the path's last component is
    // "." or "..": they name another folder than the one written, and removing "dir/." empties
    // dir and only then fails. Asked before anything is touched.
    static std::optional<MCPToolCallResponse> refuseDotName(const FilePath& path, const char* verb, const char* what);

    // Logs "<action>: <description>" at error level and answers it as an error result.
    MCPToolCallResponse failure(const char* action, const FileError& error) const;

    // move_file and copy_file: the same arguments, checks and texts around one operation.
    struct Transfer {
        const char* verb;         // "move"
        const char* doneVerb;     // "moved"
        const char* failedAction; // "Failed to move"
        bool changesSource;       // whether the source is gone afterwards
        FileResult<void> (FileManager::*operation)(const FilePath&, const FilePath&);
    };
    QCoro::Task<MCPToolCallResponse> transferItem(Arguments arguments, Transfer transfer);

private:
    FileManager& m_files;
};
