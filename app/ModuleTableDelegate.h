#ifndef VENTROLLA_APP_MODULETABLEDELEGATE_H
#define VENTROLLA_APP_MODULETABLEDELEGATE_H

#include <QCache>
#include <QFont>
#include <QStaticText>
#include <QStyledItemDelegate>

// Paints the cells of the table of modules.
//
// The style paints a cell's text after laying it out five times over (three times to place
// the cell's parts, once to see whether it must be cut short, once to draw it); fifty modules'
// reports have it lay out hundreds of cells a second. Where the style is Fusion and the cell
// is plain text that fits (no check box, icon, background, selection, focus or editor, one
// line, left to right, on the left), this delegate draws it where Fusion does, with the same
// pen: the same pixels. It keeps the texts it laid out, as many repeat from one report to the
// next (a module's supply, a humidity, a wind direction). Any other cell is painted by the style.
class ModuleTableDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

private:
    // A text laid out as the style lays out a single line.
    struct Prepared
    {
        QStaticText text;
        qreal naturalWidth = 0;
        int height = 0;
    };

    bool paintPlainText(QPainter *painter, const QStyleOptionViewItem &option) const;
    // Null when the text does not stay on one line.
    const Prepared *prepare(const QString &text, const QFont &font, bool wrap) const;

    mutable QCache<QString, Prepared> prepared{4096};
    mutable QFont preparedFont;
    mutable bool preparedWrap = false;
};

#endif
