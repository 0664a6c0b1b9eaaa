#include "imediaitemwidget.h"

IMediaItemWidget::IMediaItemWidget(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags) {}

IMediaItemWidget::~IMediaItemWidget() = default;
