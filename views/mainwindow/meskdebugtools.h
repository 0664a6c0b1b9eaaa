#pragma once

#include <QWidget>

class CMeskEngine;

// A small tool window for diagnostics: fetch updates at once, delete every stored item.
class CMeskDebugToolsWidget : public QWidget
{
    Q_OBJECT
public:
    CMeskDebugToolsWidget(CMeskEngine* engine, QWidget* parent);

private slots:
    void _onDoUpdates();
    void _onDeleteItems();

private:
    CMeskEngine* m_engine = nullptr;
};
