#pragma once

#include <QWidget>

class CMeskEngine;

// The program's main window. For now an empty top-level window that starts
// the periodic updates once it is built; the feed views take its place.
class CMeskMainWindow : public QWidget
{
    Q_OBJECT
public:
    explicit CMeskMainWindow(CMeskEngine* engine, QWidget* parent = nullptr);
    ~CMeskMainWindow() override;

    CMeskEngine* engine() const { return m_engine; }

private:
    CMeskEngine* m_engine;
};
