#pragma once
// One instance per window title: the first instance listens on a local socket
// named after the title; a later one finds it, asks the user, and on "No"
// asks the first to raise its window and ends.
#include <QLocalServer>
#include <QObject>
#include <functional>

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QString name, QObject* parent = nullptr);
    // True when this instance may run: no other instance runs, or ask() said
    // yes. On no, the other instance is asked to raise its window. raise is
    // what this instance does when a later one asks it.
    bool claim(const std::function<bool()>& ask, std::function<void()> raise);

private:
    QString name_;
    QLocalServer server_;
    std::function<void()> raise_;
};
