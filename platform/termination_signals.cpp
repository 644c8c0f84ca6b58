#include "termination_signals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform
{

namespace
{

volatile std::sig_atomic_t caughtSignal = 0;
int signalPipe[2] = {-1, -1};

extern "C" void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    caughtSignal = signalNumber;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}

// The pipe lives as long as the process, so a signal never writes to a closed descriptor.
bool openPipe()
{
    return signalPipe[0] >= 0 || pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) == 0;
}

void drainPipe()
{
    unsigned char byte = 0;
    while (::read(signalPipe[0], &byte, 1) == 1) {
    }
}

} // namespace

SignalCatch::SignalCatch(std::initializer_list<int> signalNumbers)
{
    if (!openPipe())
        return;
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : signalNumbers) {
        struct sigaction former = {};
        if (sigaction(signalNumber, &action, &former) == 0)
            m_former.emplace_back(signalNumber, former);
    }
}

SignalCatch::~SignalCatch()
{
    for (const auto &[signalNumber, former] : m_former)
        sigaction(signalNumber, &former, nullptr);
}

int SignalCatch::caught()
{
    return caughtSignal;
}

void SignalCatch::throwIfCaught()
{
    if (caughtSignal != 0)
        throw Interrupted{caughtSignal};
}

void SignalCatch::endByCaughtSignal()
{
    const int signalNumber = caughtSignal;
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
    std::_Exit(128 + signalNumber);
}

TerminationSignals::TerminationSignals(std::initializer_list<int> signalNumbers, QObject *parent)
    : QObject(parent), m_catch(signalNumbers)
{
    caughtSignal = 0;
    if (signalPipe[0] < 0)
        return;
    drainPipe();
    m_notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readPipe);
}

TerminationSignals::~TerminationSignals() = default;

void TerminationSignals::readPipe()
{
    unsigned char byte = 0;
    while (::read(signalPipe[0], &byte, 1) == 1)
        Q_EMIT received(byte);
}

} // namespace platform
