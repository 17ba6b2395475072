#pragma once

// What the process's standard input is connected to, which tells who started it: MCP clients
// give their servers a pipe or a socket pair; a user's launch has a terminal, the null device or
// a file.
enum class StandardInputKind { Terminal, NullDevice, File, Pipe, Socket, Closed, Other };

namespace StandardInput {

StandardInputKind kind(int fd = 0);

// A pipe or a socket: what a client that speaks to us over it gives.
inline bool isFromClient(StandardInputKind kind)
{
    return kind == StandardInputKind::Pipe || kind == StandardInputKind::Socket;
}

} // namespace StandardInput
