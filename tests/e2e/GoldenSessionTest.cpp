// A whole 2024-11-05 session replayed against the file of the answers the server wrote before it
// learnt the later revisions: a client of that revision must keep getting exactly these bytes.
// Lines starting "> " are written to zarnel, the "< " lines after one are its answers, in order.
// ZARNEL_UPDATE_GOLDEN=1 rewrites the file from what the server answers now (for a deliberate
// change to a descriptor or a message; review the difference before committing it).

#include "support/TemporaryHome.h"
#include "support/ZarnelProcess.h"

#include <gtest/gtest.h>

#include <QFile>

namespace {

struct Exchange {
    QByteArray sent;
    std::vector<QByteArray> answers;
};

std::vector<Exchange> readGolden(const QString& path)
{
    std::vector<Exchange> exchanges;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return exchanges;
    for (QByteArray line : file.readAll().split('\n')) {
        if (line.startsWith("> "))
            exchanges.push_back({line.mid(2), {}});
        else if (line.startsWith("< ") && !exchanges.empty())
            exchanges.back().answers.push_back(line.mid(2));
    }
    return exchanges;
}

void writeGolden(const QString& path, const std::vector<Exchange>& exchanges)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    for (const Exchange& exchange : exchanges) {
        file.write("> " + exchange.sent + '\n');
        for (const QByteArray& answer : exchange.answers)
            file.write("< " + answer + '\n');
    }
}

TEST(GoldenSession, AnswersA20241105ClientWithTheRecordedBytes)
{
    const QString path = QStringLiteral(ZARNEL_GOLDEN_DIR "/session-2024-11-05.txt");
    std::vector<Exchange> exchanges = readGolden(path);
    ASSERT_FALSE(exchanges.empty()) << path.toStdString();

    TemporaryHome home;
    ZarnelProcess zarnel(home);
    ASSERT_TRUE(zarnel.start());

    if (qEnvironmentVariableIsSet("ZARNEL_UPDATE_GOLDEN")) {
        for (Exchange& exchange : exchanges) {
            zarnel.sendLine(exchange.sent);
            exchange.answers.clear();
            while (!zarnel.staysSilent(500)) {
                if (auto line = zarnel.readLine())
                    exchange.answers.push_back(*line);
            }
        }
        writeGolden(path, exchanges);
        return;
    }

    for (const Exchange& exchange : exchanges) {
        zarnel.sendLine(exchange.sent);
        for (const QByteArray& expected : exchange.answers) {
            const auto answer = zarnel.readLine();
            ASSERT_TRUE(answer) << "no answer to " << exchange.sent.toStdString();
            EXPECT_EQ(*answer, expected) << "answering " << exchange.sent.toStdString();
        }
    }
    EXPECT_TRUE(zarnel.staysSilent(300));
}

} // namespace
