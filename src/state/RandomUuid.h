#pragma once

#include <QUuid>

// Random (version 4) identifiers for log entries, call and connection records and control
// requests. QUuid::createUuid draws on the system generator, which uses the processor's RDRAND:
// in a virtual machine that costs microseconds per identifier, a quarter of what a request
// takes. These come from a generator of each thread's own, seeded once from the system one.
class RandomUuid {
public:
    static QUuid create();
};
