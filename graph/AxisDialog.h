#ifndef VENTROLLA_GRAPH_AXISDIALOG_H
#define VENTROLLA_GRAPH_AXISDIALOG_H

#include "graph/GraphAxis.h"

#include <QDialog>

class GraphAxisModel;

namespace Ui {
class AxisDialog;
}

// Edits one graph axis at a time: minimum, maximum and the number of grid intervals. OK stores
// the axis in the axis model; Cancel shows the stored axis again.
class AxisDialog : public QDialog
{
    Q_OBJECT

public:
    AxisDialog(GraphAxisModel *axes, QWidget *parent = nullptr);
    ~AxisDialog() override;

    void setAxisId(int id);

public slots:
    // Shows the stored axis: its title as window title, its limits as the spin boxes' ranges.
    void update();

protected:
    void changeEvent(QEvent *event) override;

private slots:
    void acceptResults();
    void on_Minimum_valueChanged(int value);
    void on_Maximum_valueChanged(int value);

private:
    void enableOk();

    Ui::AxisDialog *ui;
    GraphAxisModel *axes;
    int axisId = -1;
    GraphAxis axis;
};

#endif
