#include "platform/TerminationSignals.h"

#include <QList>
#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>

#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::array<int, 2> kSignals{SIGINT, SIGTERM};

// The socket pair: the handler writes to [1], the main thread reads [0].
int s_fds[2] = {-1, -1};
volatile std::sig_atomic_t s_writeFd = -1;
std::array<struct sigaction, kSignals.size()> s_previous{};
bool s_installed = false;

extern "C" void onTerminationSignal(int number)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    // Nothing to do about a full or closed pair: the signal is then simply lost.
    [[maybe_unused]] const ssize_t written = ::write(s_writeFd, &byte, 1);
    errno = savedErrno;
}

void restoreHandlers()
{
    if (!s_installed)
        return;
    for (size_t i = 0; i < kSignals.size(); ++i)
        ::sigaction(kSignals[i], &s_previous[i], nullptr);
    s_installed = false;
}

void closePair()
{
    for (int &fd : s_fds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    s_writeFd = -1;
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent)
    : QObject(parent)
{
    if (s_fds[0] >= 0) {
        qWarning("TerminationSignals: another instance already watches the signals");
        return;
    }
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, s_fds) != 0) {
        s_fds[0] = s_fds[1] = -1;
        return;
    }
    s_writeFd = s_fds[1];

    struct sigaction action
    {
    };
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < kSignals.size(); ++i) {
        if (::sigaction(kSignals[i], &action, &s_previous[i]) != 0) {
            for (size_t j = 0; j < i; ++j)
                ::sigaction(kSignals[j], &s_previous[j], nullptr);
            closePair();
            return;
        }
    }
    s_installed = true;
    m_notifier = new QSocketNotifier(s_fds[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readPending);
}

TerminationSignals::~TerminationSignals()
{
    if (!m_notifier)
        return;
    delete m_notifier;
    m_notifier = nullptr;
    restoreHandlers();
    closePair();
}

void TerminationSignals::readPending()
{
    unsigned char bytes[16];
    ssize_t count = 0;
    QList<int> numbers;
    while ((count = ::read(s_fds[0], bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < count; ++i)
            numbers.append(bytes[i]);
    }
    if (numbers.isEmpty())
        return;
    // One request to end is enough: a second signal, should the way out hang, ends the program
    // the way it would have without us.
    restoreHandlers();
    for (int number : std::as_const(numbers))
        emit received(number);
}
