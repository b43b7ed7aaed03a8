#include "ui/uishell.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <atomic>

#include "platform/text.h"

namespace {

std::function<void(int)> pageHandler;
std::function<int()> currentPageHandler;
std::function<void(const QString&)> messageHandler;
std::function<bool(const QString&)> confirmHandler;
std::function<void(int)> onTopHandler;
std::function<void(const std::string&)> openFolderHandler;
std::atomic<bool> quitConfirmed{false};

}  // namespace

QString Ui_Text(std::string_view latin1) { return QString::fromLatin1(latin1.data(), static_cast<qsizetype>(latin1.size())); }

std::string Ui_Latin1(const QString& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (QChar c : text) out += c.unicode() < 256 ? static_cast<char>(c.unicode()) : '?';
    return out;
}

QString Ui_PathText(const std::string& bytes) {
    return Text_IsUtf8(bytes) ? QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())) : Ui_Text(bytes);
}

std::string Ui_PathBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

void Ui_Post(std::function<void()> fn) {
    QMetaObject::invokeMethod(qApp, std::move(fn), Qt::QueuedConnection);
}

void Ui_Flush() { QCoreApplication::sendPostedEvents(qApp, QEvent::MetaCall); }

void Ui_ShowPage(int page) {
    if (pageHandler) pageHandler(page);
}

int Ui_CurrentPage() { return currentPageHandler ? currentPageHandler() : -1; }

void Ui_SetPageHandler(std::function<void(int)> showPage, std::function<int()> currentPage) {
    pageHandler = std::move(showPage);
    currentPageHandler = std::move(currentPage);
}

bool Ui_QuitConfirmed() { return quitConfirmed; }

void Ui_SetQuitConfirmed(bool confirmed) { quitConfirmed = confirmed; }

void Ui_SetOnTop(int onTop) {
    if (onTopHandler) onTopHandler(onTop);
}

void Ui_SetOnTopHandler(std::function<void(int)> handler) { onTopHandler = std::move(handler); }

void Ui_Message(const QString& text) {
    if (Ui_QuitConfirmed()) return;
    if (messageHandler) {
        messageHandler(text);
        return;
    }
    QMessageBox::information(QApplication::activeWindow(), kUiTitle, text);
}

bool Ui_Confirm(const QString& text) {
    if (Ui_QuitConfirmed()) return false;
    if (confirmHandler) return confirmHandler(text);
    return QMessageBox::question(QApplication::activeWindow(), kUiTitle, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

bool Ui_Offer(const QString& text, const QString& action) {
    if (Ui_QuitConfirmed()) return false;
    if (confirmHandler) return confirmHandler(text);
    QMessageBox box(QMessageBox::Information, kUiTitle, text, QMessageBox::Close, QApplication::activeWindow());
    QPushButton* act = box.addButton(action, QMessageBox::AcceptRole);
    box.setDefaultButton(QMessageBox::Close);
    box.exec();
    return box.clickedButton() == act;
}

void Ui_OpenFolder(const std::string& folder) {
    if (openFolderHandler) {
        openFolderHandler(folder);
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(folder))));
}

QTableWidgetItem* Ui_TableCell(const QString& text, bool editable) {
    auto* item = new QTableWidgetItem(text);
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (editable) flags |= Qt::ItemIsEditable;
    item->setFlags(flags);
    return item;
}

void Ui_SetOpenFolderHandler(std::function<void(const std::string&)> handler) { openFolderHandler = std::move(handler); }

void Ui_SetDialogHandlers(std::function<void(const QString&)> message, std::function<bool(const QString&)> confirm) {
    messageHandler = std::move(message);
    confirmHandler = std::move(confirm);
}

void Ui_AutoEdit(QAbstractItemView* view) {
    QPointer<QAbstractItemView> target(view);
    QTimer::singleShot(500, view, [target] {
        if (!target) return;
        const QModelIndex index = target->currentIndex();
        // edit() does nothing for a cell that is already being edited.
        if (index.isValid() && (index.flags() & Qt::ItemIsEditable))
            target->edit(index);
    });
}

void Ui_Name(QWidget* widget, const QString& name) { widget->setAccessibleName(name); }
