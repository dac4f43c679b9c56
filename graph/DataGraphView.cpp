#include "graph/DataGraphView.h"

#include "graph/DataGraphScene.h"

#include <QResizeEvent>

DataGraphView::DataGraphView(QWidget *parent) : QGraphicsView(parent)
{
    setRenderHint(QPainter::Antialiasing);
    // The whole scene is always in view; scroll bars would only take room from it.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void DataGraphView::resizeEvent(QResizeEvent *event)
{
    QGraphicsView::resizeEvent(event);
    auto *graph = qobject_cast<DataGraphScene *>(scene());
    if (!graph)
        return;
    graph->setAspectRatio(double(event->size().width()) / event->size().height());
    fitScene();
    // New axes can widen the labels: the scene stays whole in view.
    connect(graph, &QGraphicsScene::sceneRectChanged, this, &DataGraphView::fitScene,
            Qt::UniqueConnection);
}

void DataGraphView::fitScene()
{
    if (QGraphicsScene *graph = scene())
        fitInView(graph->sceneRect(), Qt::KeepAspectRatio);
}
