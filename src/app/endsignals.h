#pragma once
// SIGTERM (a shutdown, a kill), SIGHUP (a closed terminal or remote session)
// and SIGINT end the desktop program the way a confirmed quit does, without
// the question nobody may be there to answer: the signal only writes a byte
// to a pipe, and the event loop calls end with the signal's number.
#include <QObject>
#include <functional>

class QSocketNotifier;

class EndSignals : public QObject {
    Q_OBJECT
public:
    explicit EndSignals(std::function<void(int signal)> end, QObject* parent = nullptr);
    // Restores the default actions.
    ~EndSignals() override;
    EndSignals(const EndSignals&) = delete;
    EndSignals& operator=(const EndSignals&) = delete;

private:
    std::function<void(int)> end_;
    QSocketNotifier* notifier_ = nullptr;
};
