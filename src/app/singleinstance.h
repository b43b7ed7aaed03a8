#pragma once
// One instance per window title, and every running instance answers a later
// start: each listens on the first free one of a few numbered local sockets
// ("<title>", "<title> #2", ...). A later start asks the first that answers
// whether to start another instance; on "No" that one raises its window.
#include <QLocalServer>
#include <QObject>
#include <functional>

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // More instances than this run without being found by later starts.
    static constexpr int kNames = 16;

    explicit SingleInstance(QString name, QObject* parent = nullptr);
    // True when this instance may run: no other instance answers, or ask()
    // said yes. On no, the other instance is asked to raise its window. raise
    // is what this instance does when a later one asks it.
    bool claim(const std::function<bool()>& ask, std::function<void()> raise);
    // The socket name this instance answers on; empty when it does not listen.
    QString listening() const;

private:
    QString socketName(int index) const;
    void listen();
    QString name_;
    QLocalServer server_;
    std::function<void()> raise_;
};
