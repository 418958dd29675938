#include "api/ChatErrors.h"
#include "ui/common/StoreTask.h"

#include <QCoroTimer>
#include <QRegularExpression>
#include <QTest>

#include <chrono>
#include <memory>
#include <stdexcept>

using namespace std::chrono_literals;

namespace {

enum class Ending { value, refusal, noAnswer, badBody, fault };

// A store operation that answers after a short wait, or fails with one of the client's errors.
QCoro::Task<std::optional<QString>> operation(Ending ending)
{
    co_await QCoro::sleepFor(20ms);
    switch (ending) {
    case Ending::value:
        co_return QStringLiteral("answer");
    case Ending::refusal:
        throw ChatAPIError(409, QStringLiteral("taken"), QStringLiteral("이미 사용 중입니다."));
    case Ending::noAnswer:
        throw ChatTransportError(1, QStringLiteral("refused"));
    case Ending::badBody:
        throw ChatParseError(QStringLiteral("not JSON"));
    case Ending::fault:
        throw std::runtime_error("index out of range");
    }
    co_return std::nullopt;
}

QCoro::Task<> work(Ending ending)
{
    co_await operation(ending);
}

} // namespace

class TestStoreTask : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void outcomes_data();
    void outcomes();
    void contextGone();
    void taskWithoutResult();
};

int faultNotices = 0;

void TestStoreTask::init()
{
    faultNotices = 0;
    StoreTask::setFaultNotice([] { ++faultNotices; });
}

void TestStoreTask::outcomes_data()
{
    QTest::addColumn<Ending>("ending");
    QTest::addColumn<bool>("answered");
    QTest::newRow("value") << Ending::value << true;
    QTest::newRow("service refusal") << Ending::refusal << false;
    QTest::newRow("no answer") << Ending::noAnswer << false;
    QTest::newRow("body not JSON") << Ending::badBody << false;
    QTest::newRow("fault of the program") << Ending::fault << false;
}

void TestStoreTask::outcomes()
{
    QFETCH(Ending, ending);
    QFETCH(bool, answered);
    // Any other exception would stay in a task nobody awaits: the page would wait for ever.
    const bool fault = ending == Ending::fault;
    if (fault) {
        const QRegularExpression line(QStringLiteral("failed unexpectedly: index out of range"));
        QTest::ignoreMessage(QtCriticalMsg, line);
        QTest::ignoreMessage(QtCriticalMsg, line);
    }
    QObject context;
    std::optional<std::optional<std::optional<QString>>> plain;
    std::optional<std::optional<QString>> withFallback;
    StoreTask::whenDone(operation(ending), &context, [&](auto result) { plain = result; });
    StoreTask::whenDone(operation(ending), &context, kTemporaryErrorText,
                        [&](std::optional<QString> result) { withFallback = result; });
    QTRY_VERIFY(plain && withFallback);
    QCOMPARE(plain->has_value(), answered);
    QCOMPARE(*withFallback, answered ? u"answer"_qs : kTemporaryErrorText);
    QCOMPARE(faultNotices, fault ? 2 : 0);
}

void TestStoreTask::contextGone()
{
    auto context = std::make_unique<QObject>();
    int calls = 0;
    StoreTask::whenDone(operation(Ending::value), context.get(), [&](auto) { ++calls; });
    StoreTask::whenDone(operation(Ending::refusal), context.get(), [&](auto) { ++calls; });
    StoreTask::whenDone(operation(Ending::fault), context.get(), [&](auto) { ++calls; });
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("failed unexpectedly")));
    context.reset();
    QTest::qWait(100);
    QCOMPARE(calls, 0);
}

void TestStoreTask::taskWithoutResult()
{
    QObject context;
    int calls = 0;
    StoreTask::whenDone(work(Ending::value), &context, [&] { ++calls; });
    StoreTask::whenDone(work(Ending::noAnswer), &context, [&] { ++calls; });
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("failed unexpectedly")));
    StoreTask::whenDone(work(Ending::fault), &context, [&] { ++calls; });
    QTRY_COMPARE(calls, 3);
}

QTEST_GUILESS_MAIN(TestStoreTask)
#include "tst_storetask.moc"
