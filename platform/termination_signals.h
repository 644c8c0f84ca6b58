#pragma once

#include <QObject>

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

// Turns termination signals (SIGTERM, SIGINT, SIGHUP...) into ordinary events. The handler only
// records the signal and writes a byte to a pipe; in the event loop a QSocketNotifier turns that
// byte into received(). Code that runs without the event loop asks caught() instead. One object
// at a time; its destruction gives the signals back their former handling.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(std::initializer_list<int> signalNumbers,
                                QObject *parent = nullptr);
    ~TerminationSignals() override;

    // The last signal caught while an object was in place, 0 when none.
    static int caught();
    // Throws Interrupted when a signal has been caught.
    static void throwIfCaught();
    // Ends the process by the caught signal's default action (status 128 + its number).
    [[noreturn]] static void endByCaughtSignal();

Q_SIGNALS:
    void received(int signalNumber);

private:
    void readPipe();

    std::vector<int> m_signals;
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace platform
