// tarsion-script's waiting line: a call that runs long says so on the terminal and clears the line
// when it returns; a quick call writes nothing.

#include "script/WaitingLine.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace tarsion {
namespace {

// Answers Answer(delayMs) after that many milliseconds, from the event loop.
class SlowService final : public QObject {
    Q_OBJECT
public Q_SLOTS:
    int Answer(int delayMs, const QDBusMessage& call) {
        call.setDelayedReply(true);
        QTimer::singleShot(delayMs, this,
                           [call] { QDBusConnection::sessionBus().send(call.createReply(42)); });
        return 0;
    }
};

// What a wait for Answer(delayMs) writes to the terminal, and the reply.
std::pair<std::string, int> WaitForAnswer(int delayMs) {
    static QDBusConnection client =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("waiting-client"));
    QDBusMessage call =
        QDBusMessage::createMethodCall(QDBusConnection::sessionBus().baseService(), QStringLiteral("/slow"),
                                       QString(), QStringLiteral("Answer"));
    call << delayMs;
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* terminal = open_memstream(&buffer, &size);
    const QDBusMessage reply = CWaitingLine(terminal).Wait(client.asyncCall(call), QStringLiteral("Answer"));
    std::fclose(terminal);
    std::string written(buffer, size);
    std::free(buffer);
    return {written, reply.arguments().value(0).toInt()};
}

TEST(WaitingLine, ALongCallCountsTheSecondsInPlaceAndClearsTheLine) {
    SlowService service;
    ASSERT_TRUE(QDBusConnection::sessionBus().registerObject(QStringLiteral("/slow"), &service,
                                                             QDBusConnection::ExportAllSlots));

    const auto [quick, quickAnswer] = WaitForAnswer(0);
    EXPECT_EQ(quick, "");
    EXPECT_EQ(quickAnswer, 42);

    const auto [slow, slowAnswer] = WaitForAnswer(2300);
    EXPECT_EQ(slow, "\rwaiting for Answer... 1 s\x1b[K"
                    "\rwaiting for Answer... 2 s\x1b[K"
                    "\r\x1b[K");
    EXPECT_EQ(slowAnswer, 42);
}

} // namespace
} // namespace tarsion

#include "test_waiting_line.moc"
