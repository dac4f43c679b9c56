#ifndef VENTROLLA_GRAPH_DATAGRAPHVIEW_H
#define VENTROLLA_GRAPH_DATAGRAPHVIEW_H

#include <QGraphicsView>

// Shows a profile graph scene whole: on every resize the scene's plot takes the view's aspect
// ratio, and the scene is fitted into the view.
class DataGraphView : public QGraphicsView
{
    Q_OBJECT

public:
    explicit DataGraphView(QWidget *parent = nullptr);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void fitScene();
};

#endif
