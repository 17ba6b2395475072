#pragma once

#include <QtGlobal>

// What the catalogue shows of the server it serves: read-only, so the catalogue needs nothing
// else of it.
class ServerStatus {
public:
    virtual ~ServerStatus() = default;

    virtual bool isRunning() const = 0;
    virtual qint64 connectionCount() const = 0;
};
