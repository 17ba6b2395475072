#include "state/RandomUuid.h"

#include <QRandomGenerator>

#include <array>

QUuid RandomUuid::create()
{
    std::array<quint32, 4> words{};
    QRandomGenerator::global()->fillRange(words.data(), words.size());
    QUuid uuid(words[0], static_cast<ushort>(words[1] >> 16), static_cast<ushort>(words[1]), static_cast<uchar>(words[2] >> 24),
               static_cast<uchar>(words[2] >> 16), static_cast<uchar>(words[2] >> 8), static_cast<uchar>(words[2]),
               static_cast<uchar>(words[3] >> 24), static_cast<uchar>(words[3] >> 16), static_cast<uchar>(words[3] >> 8),
               static_cast<uchar>(words[3]));
    uuid.data4[0] = (uuid.data4[0] & 0x3F) | 0x80; // the variant of RFC 4122
    uuid.data3 = (uuid.data3 & 0x0FFF) | 0x4000;   // version 4: random
    return uuid;
}
