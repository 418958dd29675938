// The guard around the store's calls to the service: what reaches the caller's reaction, what
// is logged, and that a store gone meanwhile hears nothing.

#include "StoreTestSupport.h"
#include "store/StoreCall.h"

#include <QCoroTimer>
#include <QRegularExpression>
#include <QTest>

#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

enum class Ending { value, refusal, noAnswer, badBody, fault };

// How a call fails the way `ending` says; none for an answer.
std::exception_ptr errorOf(Ending ending)
{
    switch (ending) {
    case Ending::value:
        break;
    case Ending::refusal:
        return std::make_exception_ptr(ChatAPIError(409, u"taken"_s, u"이미 사용 중입니다."_s));
    case Ending::noAnswer:
        return std::make_exception_ptr(ChatTransportError(1, u"refused"_s));
    case Ending::badBody:
        return std::make_exception_ptr(ChatParseError(u"not JSON"_s));
    case Ending::fault:
        return std::make_exception_ptr(std::runtime_error("index out of range"));
    }
    return {};
}

// A call that answers after a short wait, or fails the way `ending` says.
QCoro::Task<int> call(Ending ending)
{
    co_await QCoro::sleepFor(10ms);
    if (const std::exception_ptr error = errorOf(ending))
        std::rethrow_exception(error);
    co_return 7;
}

// Counts the critical lines of zumo.store, and hands every message on to QtTest.
QtMessageHandler previousHandler = nullptr;
int criticalLines = 0;
void countingHandler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtCriticalMsg && context.category == QLatin1String("zumo.store"))
        ++criticalLines;
    previousHandler(type, context, text);
}

struct Seen
{
    bool finished = false;
    std::optional<int> result;
    int failures = 0;
    bool alive = false;
};

// The caller's side: one attempt with its own reaction, one with the store's usual one, and a
// settle; `seen` is filled when all three are done.
QCoro::Task<> run(LocalStore *store, Ending ending, Seen *seen)
{
    const auto failed = [seen](const std::exception_ptr &) { ++seen->failures; };
    const std::optional<int> own = co_await StoreCall::attempt(store, call(ending), failed);
    const std::optional<int> usual = co_await StoreCall::attempt(store, call(ending));
    const bool alive = co_await StoreCall::settle(store, call(ending), failed);
    seen->result = own == usual ? own : std::optional<int>(-1);
    seen->alive = alive;
    seen->finished = true;
}

} // namespace

class TestStoreCall : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        privateFolders();
        previousHandler = qInstallMessageHandler(countingHandler);
    }
    void init() { criticalLines = 0; }
    void outcomes_data();
    void outcomes();
    void storeGoneMeanwhile();
};

void TestStoreCall::outcomes_data()
{
    QTest::addColumn<Ending>("ending");
    QTest::addColumn<QString>("notice");
    QTest::newRow("answer") << Ending::value << QString();
    QTest::newRow("service refusal") << Ending::refusal << u"이미 사용 중입니다."_s;
    QTest::newRow("no answer") << Ending::noAnswer << kTemporaryErrorText;
    QTest::newRow("body not JSON") << Ending::badBody << kTemporaryErrorText;
    QTest::newRow("fault of the program") << Ending::fault << kTemporaryErrorText;
}

// The service's errors and a fault alike reach the reaction and end the call; only the fault is
// logged, as critical, and it reads as the temporary error. A failure the store catches itself
// (sign-in, sign-up, the password operations) reads the same, and is logged only as a fault.
void TestStoreCall::outcomes()
{
    QFETCH(Ending, ending);
    QFETCH(QString, notice);
    auto store = memoryStore();
    const bool fault = ending == Ending::fault;
    if (fault) {
        const QRegularExpression line(u"failed unexpectedly: index out of range"_s);
        for (int i = 0; i < 4; ++i)
            QTest::ignoreMessage(QtCriticalMsg, line);
    }
    Seen seen;
    run(store.get(), ending, &seen);
    QTRY_VERIFY(seen.finished);
    const bool answered = ending == Ending::value;
    QCOMPARE(seen.result, answered ? std::optional<int>(7) : std::nullopt);
    QCOMPARE(seen.failures, answered ? 0 : 2);
    QVERIFY(seen.alive);
    QCOMPARE(store->notice().value_or(QString()), notice);
    QCOMPARE(criticalLines, fault ? 3 : 0);
    if (const std::exception_ptr error = errorOf(ending)) {
        QCOMPARE(StoreCall::caughtText(error), notice);
        QCOMPARE(criticalLines, fault ? 4 : 0);
    }
}

// QCoro tasks cannot be cancelled: the answer comes after the store is gone and must touch
// nothing of it.
void TestStoreCall::storeGoneMeanwhile()
{
    for (const Ending ending : {Ending::value, Ending::refusal, Ending::fault}) {
        auto store = memoryStore();
        if (ending == Ending::fault) {
            for (int i = 0; i < 2; ++i) // the attempt and the settle
                QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(u"failed unexpectedly"_s));
        }
        Seen seen;
        bool settled = true;
        const auto failed = [&seen](const std::exception_ptr &) { ++seen.failures; };
        [](LocalStore *s, Ending e, Seen *out, auto reaction) -> QCoro::Task<> {
            const std::optional<int> result = co_await StoreCall::attempt(s, call(e), reaction);
            out->result = result;
            out->finished = true;
        }(store.get(), ending, &seen, failed);
        [](LocalStore *s, Ending e, bool *out, auto reaction) -> QCoro::Task<> {
            const bool alive = co_await StoreCall::settle(s, call(e), reaction);
            *out = alive;
        }(store.get(), ending, &settled, failed);
        store.reset();
        QTRY_VERIFY(seen.finished);
        QTRY_VERIFY(!settled);
        QCOMPARE(seen.result, std::nullopt);
        QCOMPARE(seen.failures, 0);
    }
}

QTEST_GUILESS_MAIN(TestStoreCall)
#include "tst_store_call.moc"
