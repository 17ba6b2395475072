#include "state/RandomUuid.h"

#include <QRandomGenerator>

#include <array>

namespace {

// Identifiers need to be unique, not secret: a few words from the system generator seed a
// generator of this thread's own. Qt's global generator takes 624 of them on first use, each
// from the processor's RDRAND: in a virtual machine that alone was a tenth of a client
// process's start to its first answer.
QRandomGenerator& threadGenerator()
{
    thread_local QRandomGenerator generator = [] {
        std::array<quint32, 8> seed{};
        QRandomGenerator::system()->fillRange(seed.data(), seed.size());
        return QRandomGenerator(seed.data(), static_cast<qsizetype>(seed.size()));
    }();
    return generator;
}

} // namespace

QUuid RandomUuid::create()
{
    std::array<quint32, 4> words{};
    threadGenerator().fillRange(words.data(), words.size());
    QUuid uuid(words[0], static_cast<ushort>(words[1] >> 16), static_cast<ushort>(words[1]), static_cast<uchar>(words[2] >> 24),
               static_cast<uchar>(words[2] >> 16), static_cast<uchar>(words[2] >> 8), static_cast<uchar>(words[2]),
               static_cast<uchar>(words[3] >> 24), static_cast<uchar>(words[3] >> 16), static_cast<uchar>(words[3] >> 8),
               static_cast<uchar>(words[3]));
    uuid.data4[0] = (uuid.data4[0] & 0x3F) | 0x80; // the variant of RFC 4122
    uuid.data3 = (uuid.data3 & 0x0FFF) | 0x4000;   // version 4: random
    return uuid;
}
