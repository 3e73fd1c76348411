#ifndef TERMINATIONWATCHER_H
#define TERMINATIONWATCHER_H

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a Qt signal through a signalfd, so the
// process ends through its event loop and closes the database properly.
class TerminationWatcher : public QObject
{
    Q_OBJECT
public:
    // Blocks the two signals for the calling thread and the threads it starts
    // later: call before any thread exists.
    static void blockSignals();

    explicit TerminationWatcher(QObject *parent = nullptr);
    ~TerminationWatcher() override;

    bool isValid() const { return m_fd >= 0; }

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    void readSignal();

    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
};

#endif
