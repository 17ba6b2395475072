#pragma once

#include "protocol/AnyCodable.h"
#include "protocol/MCPTool.h"
#include "tools/CancellationToken.h"

#include <QCoroTask>

// What a tool is: a descriptor and one awaitable call. execute never throws; every failure is
// a response whose isError is true. It takes its arguments by value: the coroutine outlives
// the caller's frame.
class MCPToolProtocol {
public:
    virtual ~MCPToolProtocol() = default;

    virtual MCPTool definition() const = 0;
    virtual QCoro::Task<MCPToolCallResponse> execute(Arguments arguments, CancellationToken cancellation) = 0;
};
