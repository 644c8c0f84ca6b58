#include "termination_signals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
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
    if (signalPipe[0] >= 0)
        return true;
    return pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) == 0;
}

void setHandler(int signalNumber, void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signalNumber, &action, nullptr);
}

} // namespace

TerminationSignals::TerminationSignals(std::initializer_list<int> signalNumbers, QObject *parent)
    : QObject(parent), m_signals(signalNumbers)
{
    caughtSignal = 0;
    if (!openPipe())
        return;
    unsigned char stale = 0;
    while (::read(signalPipe[0], &stale, 1) == 1) {
    }
    m_notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readPipe);
    for (int signalNumber : m_signals)
        setHandler(signalNumber, onSignal);
}

TerminationSignals::~TerminationSignals()
{
    for (int signalNumber : m_signals)
        setHandler(signalNumber, SIG_DFL);
}

int TerminationSignals::caught()
{
    return caughtSignal;
}

void TerminationSignals::throwIfCaught()
{
    if (caughtSignal != 0)
        throw Interrupted{caughtSignal};
}

void TerminationSignals::endByCaughtSignal()
{
    const int signalNumber = caughtSignal;
    setHandler(signalNumber, SIG_DFL);
    std::raise(signalNumber);
    std::_Exit(128 + signalNumber);
}

void TerminationSignals::readPipe()
{
    unsigned char byte = 0;
    while (::read(signalPipe[0], &byte, 1) == 1)
        Q_EMIT received(byte);
}

} // namespace platform
