#pragma once
#include <memory>

#include <QObject>

class SignalPipe;

// SIGINT and SIGTERM as a Qt signal on the GUI thread, so that the program can end the
// way File > Exit ends it. One instance at a time.
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
    std::unique_ptr<SignalPipe> m_pipe; // none on Windows, where the close box serves
};
