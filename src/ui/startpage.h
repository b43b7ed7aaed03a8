#pragma once
// The start page: four tasks (record a drive test, convert to KMZ, convert
// to CSV, coverage analysis), exactly one highlighted while the mouse is over
// a task, and the antenna editor among the settings.
#include <QAbstractButton>
#include <QWidget>
#include <array>
#include <functional>

class StartTask;

class StartPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTasks = 4;
    // task(n) runs when task n (1..4) is clicked; antennas when the antenna editor is asked for.
    StartPage(std::function<void(int)> task, std::function<void()> antennas, QWidget* parent = nullptr);
    int highlighted() const { return highlight_; }
    StartTask* task(int n) const { return tasks_[static_cast<std::size_t>(n - 1)]; }
    // onStartHl1..4 and onStartHlb: the mouse over task n, or over the background (0).
    void highlight(int n);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    std::array<StartTask*, kTasks> tasks_{};
    int highlight_ = 0;
};

// One task area: a coloured button with a title and a line of explanation
// (a button, so that keyboards and screen readers can press it).
class StartTask : public QAbstractButton {
    Q_OBJECT
public:
    StartTask(int number, const QString& title, const QString& text, QColor normal, StartPage* page);
    void setHighlighted(bool on);
    QColor colour() const { return current_; }

protected:
    void enterEvent(QEnterEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int number_;
    QColor normal_, current_;
    StartPage* page_;
};
