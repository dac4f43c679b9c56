#ifndef VENTROLLA_APP_MODULETABLEDELEGATE_H
#define VENTROLLA_APP_MODULETABLEDELEGATE_H

#include <QStyledItemDelegate>

// Paints the cells of the table of modules.
//
// The style paints a cell's text after laying it out five times over (three times to place
// the cell's parts, once to see whether it must be cut short, once to draw it); fifty modules'
// reports have it lay out hundreds of cells a second. Where the style is Fusion and the cell
// is plain text that fits (no check box, icon, background, selection, focus or editor, one
// line, left to right), this delegate lays the text out once and draws it where Fusion does,
// with the same pen: the same pixels. Any other cell is painted by the style.
class ModuleTableDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

private:
    bool paintPlainText(QPainter *painter, const QStyleOptionViewItem &option) const;
};

#endif
