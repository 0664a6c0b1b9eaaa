#pragma once

#include "windows/quorsystemwindow.h"

#include <QList>
#include <QPointer>
#include <QWidget>

// Stands in for the window manager's interactive move and resize while it lives: records
// every call and answers with the chosen result (false: the caller moves or resizes the
// window itself). The window handle's own calls come back when it is destroyed.
// Header only, so that only tests linking the common UI library need it.
class FakeSystemWindow
{
public:
    struct SResizeCall
    {
        QPointer<QWidget> window;
        Qt::Edges edges;
    };

    explicit FakeSystemWindow(bool answer = false) : m_answer(answer)
    {
        QuorSystemWindow::setMoveFunction([this](QWidget* window) {
            m_moves.append(QPointer<QWidget>(window));
            return m_answer;
        });
        QuorSystemWindow::setResizeFunction([this](QWidget* window, Qt::Edges edges) {
            m_resizes.append({QPointer<QWidget>(window), edges});
            return m_answer;
        });
    }
    ~FakeSystemWindow()
    {
        QuorSystemWindow::setMoveFunction({});
        QuorSystemWindow::setResizeFunction({});
    }
    FakeSystemWindow(const FakeSystemWindow&) = delete;
    FakeSystemWindow& operator=(const FakeSystemWindow&) = delete;

    void setAnswer(bool answer) { m_answer = answer; }
    const QList<QPointer<QWidget>>& moves() const { return m_moves; }
    const QList<SResizeCall>& resizes() const { return m_resizes; }
    void clear()
    {
        m_moves.clear();
        m_resizes.clear();
    }

private:
    bool m_answer;
    QList<QPointer<QWidget>> m_moves;
    QList<SResizeCall> m_resizes;
};
