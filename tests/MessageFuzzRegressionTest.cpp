// Every script of connections that ever upset the single-instance socket, and the
// message fuzzer's seeds, played against a running SingleInstance step by step
// (see fuzz/MessageScript.h): each client sees the answer and the end of its
// connection exactly when the protocol says, the program is handed exactly the
// completed messages, and no descriptor stays open.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "../fuzz/MessageScript.h"
#include "system/LocalSocketChannel.h"
#include "system/SingleInstance.h"

#include "support/FuzzInputs.h"

namespace {

QFileInfoList inputs()
{
    return fuzzInputs("tests/fuzz-regressions/message", "fuzz/corpus/message");
}

}  // namespace

TEST(MessageFuzzRegression, EveryScriptGoesAsTheProtocolSays)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    SingleInstance instance(folder.path());
    ASSERT_EQ(instance.start(QString()), SingleInstance::Outcome::Primary);
    QList<QByteArray> pending;
    QStringList handedOn;  // every message of every script, in order
    QObject::connect(&instance, &SingleInstance::messageReceived, [&](const QString& message) {
        pending.append(message.toUtf8());
        handedOn.append(message);
    });
    MessageScript::Listener listener;
    listener.socketPath = LocalSocketChannel::socketPath(SingleInstance::serverName(folder.path()));
    listener.maxMessageBytes = SingleInstance::kMaxMessageBytes;
    listener.maxConnections = LocalSocketChannel::kMaxConnections;
    listener.callerTimeoutMs = SingleInstance::kCallerTimeoutMs;
    listener.takeMessages = [&] { return std::exchange(pending, {}); };
    listener.asHandedOn = [](const QByteArray& bytes) { return QString::fromUtf8(bytes).toUtf8(); };

    QStringList seeds;
    for (const QFileInfo& info : inputs()) {
        SCOPED_TRACE(info.fileName().toStdString());
        QFile file(info.filePath());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray script = file.readAll();
        const qsizetype before = handedOn.size();
        const QString fault = MessageScript::Player(listener).play(
            reinterpret_cast<const std::uint8_t*>(script.constData()), std::size_t(script.size()));
        EXPECT_EQ(fault.toStdString(), "");
        if (info.filePath().contains(QStringLiteral("/corpus/")))
            seeds << QStringLiteral("%1 %2: %3")
                         .arg(info.fileName())
                         .arg(handedOn.size() - before)
                         .arg(handedOn.mid(before).join(QLatin1Char('|')).left(40));
    }
    // What the seeds hand on: the model and the program agreeing is not enough.
    const QStringList expected = {
        QStringLiteral("bytes-after-the-zero 0: "),
        QStringLiteral("empty-message 1: "),
        QStringLiteral("gave-up-before-answering-back 0: "),
        QStringLiteral("invalid-utf8 1: ") + QString::fromUtf8("\xff\xfe/\xc3("),
        QStringLiteral("longest 1: ") + QString(40, QLatin1Char('b')),
        QStringLiteral("message-in-pieces 1: /tmp/ab.png"),
        QStringLiteral("photo-handed-over 1: /home/someone/Pictures/photo.jpg"),
        QStringLiteral("queued-behind-four 1: queued"),
        QStringLiteral("shut-before-zero 0: "),
        QStringLiteral("split-at-the-zero 0: "),
        QStringLiteral("three-at-once 2: one|two"),
        QStringLiteral("too-long 0: "),
    };
    EXPECT_EQ(seeds.join(QLatin1Char('\n')).toStdString(), expected.join(QLatin1Char('\n')).toStdString());
}
