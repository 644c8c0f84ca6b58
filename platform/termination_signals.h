#pragma once

#include <QObject>

#include <csignal>
#include <initializer_list>
#include <vector>

class QSocketNotifier;

namespace platform
{

// Thrown by a long file operation once a termination signal has been caught, so that the
// operation unwinds and cleans up like any other failure.
struct Interrupted {
    int signalNumber;
};

// While it lives, these signals are caught: the handler only records the signal and writes a
// byte to a pipe. Its end gives them back the handling they had before, so catches nest.
class SignalCatch
{
public:
    explicit SignalCatch(std::initializer_list<int> signalNumbers);
    ~SignalCatch();
    SignalCatch(const SignalCatch &) = delete;
    SignalCatch &operator=(const SignalCatch &) = delete;

    // The last signal caught, 0 when none since the last TerminationSignals began.
    static int caught();
    // Throws Interrupted when a signal has been caught.
    static void throwIfCaught();
    // Ends the process by the caught signal's default action (status 128 + its number).
    [[noreturn]] static void endByCaughtSignal();

private:
    std::vector<std::pair<int, struct sigaction>> m_former;
};

// Turns termination signals (SIGTERM, SIGHUP...) into ordinary events: in the event loop, a
// QSocketNotifier on the catch's pipe emits received(), so that a window can close as it
// always does. One object at a time.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(std::initializer_list<int> signalNumbers,
                                QObject *parent = nullptr);
    ~TerminationSignals() override;

Q_SIGNALS:
    void received(int signalNumber);

private:
    void readPipe();

    SignalCatch m_catch;
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace platform
