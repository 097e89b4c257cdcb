#pragma once
#include <QObject>

class QSocketNotifier;

// SIGINT and SIGTERM as a Qt signal on the GUI thread, so that the program can end the
// way File > Exit ends it. The handler only writes a byte into a socket pair; a notifier
// reads it in the event loop. One instance at a time.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

signals:
    void Requested();

private:
    void OnReadable();

    int m_pair[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
};
