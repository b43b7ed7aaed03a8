#include "app/singleinstance.h"

#include <QLocalSocket>

namespace {
constexpr char kRaise[] = "raise\n";
}

SingleInstance::SingleInstance(QString name, QObject* parent) : QObject(parent), name_(std::move(name)) {}

bool SingleInstance::claim(const std::function<bool()>& ask, std::function<void()> raise) {
    QLocalSocket other;
    other.connectToServer(name_);
    if (other.waitForConnected(500)) {
        if (ask()) return true;  // a second, independent instance
        other.write(kRaise);
        other.waitForBytesWritten(1000);
        other.disconnectFromServer();
        return false;
    }
    raise_ = std::move(raise);
    QLocalServer::removeServer(name_);  // a socket left by an instance that crashed
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (server_.listen(name_)) {
        connect(&server_, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket* s = server_.nextPendingConnection()) {
                connect(s, &QLocalSocket::readyRead, this, [this, s] {
                    if (s->readAll().contains("raise") && raise_) raise_();
                });
                connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    return true;
}
