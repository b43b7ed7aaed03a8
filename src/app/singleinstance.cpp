#include "app/singleinstance.h"

#include <QLocalSocket>

namespace {
constexpr char kRaise[] = "raise\n";

// True when an instance answers on name; a socket left by one that crashed does not.
bool Answers(const QString& name, QLocalSocket& socket) {
    socket.connectToServer(name);
    return socket.waitForConnected(500);
}
}  // namespace

SingleInstance::SingleInstance(QString name, QObject* parent) : QObject(parent), name_(std::move(name)) {}

QString SingleInstance::socketName(int index) const {
    // The first name is the title itself, which instances of earlier versions listen on.
    return index == 0 ? name_ : QString("%1 #%2").arg(name_).arg(index + 1);
}

bool SingleInstance::claim(const std::function<bool()>& ask, std::function<void()> raise) {
    for (int i = 0; i < kNames; ++i) {
        QLocalSocket other;
        if (!Answers(socketName(i), other)) continue;
        if (ask()) break;  // a second, independent instance, which answers later starts too
        other.write(kRaise);
        other.waitForBytesWritten(1000);
        other.disconnectFromServer();
        return false;
    }
    raise_ = std::move(raise);
    listen();
    return true;
}

QString SingleInstance::listening() const { return server_.isListening() ? server_.serverName() : QString(); }

void SingleInstance::listen() {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    for (int i = 0; i < kNames && !server_.isListening(); ++i) {
        QLocalSocket probe;
        if (Answers(socketName(i), probe)) continue;  // a running instance's
        QLocalServer::removeServer(socketName(i));     // a socket left by an instance that crashed
        server_.listen(socketName(i));
    }
    if (!server_.isListening()) return;
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = server_.nextPendingConnection()) {
            connect(s, &QLocalSocket::readyRead, this, [this, s] {
                if (s->readAll().contains("raise") && raise_) raise_();
            });
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        }
    });
}
