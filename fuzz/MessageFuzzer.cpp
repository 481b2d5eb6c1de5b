// libFuzzer target for the single-instance socket: the messages a later start
// sends to the running program. Each input is a script of connections, sends and
// closes (see MessageScript.h) played against a SingleInstance that holds a data
// folder of its own, step by step against a model of the protocol; no descriptor
// may be left open once every client has gone.
//
// Build and run (see scripts/fuzz):
//   build-fuzz/fuzz_single_instance -max_total_time=600 -max_len=200000 <copy of fuzz/corpus/message>
// Every input that ever failed goes into tests/fuzz-regressions/message/, which
// MessageFuzzRegressionTest plays the same way.
#include <QCoreApplication>
#include <QDir>
#include <cstdio>

#include "FuzzEnvironment.h"
#include "MessageScript.h"
#include "system/LocalSocketChannel.h"
#include "system/SingleInstance.h"

namespace {

QList<QByteArray> messages;
MessageScript::Listener listener;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzEnvironment::start();
    const QString folder = FuzzEnvironment::scratchPath(QStringLiteral("data"));
    FUZZ_REQUIRE(QDir().mkpath(folder));
    auto* instance = new SingleInstance(folder);  // lives as long as the process
    FUZZ_REQUIRE(instance->start(QString()) == SingleInstance::Outcome::Primary);
    QObject::connect(instance, &SingleInstance::messageReceived,
                     [](const QString& message) { messages.append(message.toUtf8()); });
    listener.socketPath = LocalSocketChannel::socketPath(SingleInstance::serverName(folder));
    listener.maxMessageBytes = SingleInstance::kMaxMessageBytes;
    listener.maxConnections = LocalSocketChannel::kMaxConnections;
    listener.callerTimeoutMs = SingleInstance::kCallerTimeoutMs;
    listener.takeMessages = [] { return std::exchange(messages, {}); };
    listener.asHandedOn = [](const QByteArray& bytes) { return QString::fromUtf8(bytes).toUtf8(); };
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString fault = MessageScript::Player(listener).play(data, size);
    if (!fault.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(fault));
    FUZZ_REQUIRE(fault.isEmpty());
    return 0;
}
