#include "app/ModuleTableDelegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QTextLayout>

void ModuleTableDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    if (!paintPlainText(painter, opt)) {
        const QWidget *widget = opt.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    }
}

bool ModuleTableDelegate::paintPlainText(QPainter *painter, const QStyleOptionViewItem &opt) const
{
    const QWidget *widget = opt.widget;
    const QStyle *style = widget ? widget->style() : QApplication::style();
    const QStyle::State unusual =
        QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_Editing;
    if (qstrcmp(style->metaObject()->className(), "QFusionStyle") != 0
        || (opt.features & ~QStyleOptionViewItem::WrapText) != QStyleOptionViewItem::HasDisplay
        || (opt.state & unusual)
        || opt.backgroundBrush.style() != Qt::NoBrush || opt.direction != Qt::LeftToRight
        || opt.decorationPosition != QStyleOptionViewItem::Left || opt.text.isEmpty()
        || !opt.showDecorationSelected)
        return false;
    // Spaces end a line otherwise in the measure than in the drawing: the style's way then.
    for (const QChar c : opt.text) {
        if (c.isSpace() || c.category() == QChar::Separator_Line
            || c.category() == QChar::Separator_Paragraph)
            return false;
    }

    // Fusion shows the selection behind the whole cell, so the text has all of it, less a
    // margin on either side.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect textRect = opt.rect.adjusted(margin, 0, -margin, 0);
    QTextOption textOption;
    textOption.setWrapMode(opt.features & QStyleOptionViewItem::WrapText ? QTextOption::WordWrap
                                                                      : QTextOption::ManualWrap);
    textOption.setTextDirection(opt.direction);
    textOption.setAlignment(QStyle::visualAlignment(opt.direction, opt.displayAlignment));
    QTextLayout layout(opt.text, opt.font);
    layout.setTextOption(textOption);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (!line.isValid()) {
        layout.endLayout();
        return false;
    }
    line.setLineWidth(textRect.width());
    line.setPosition(QPointF(0, 0));
    const bool oneLine = !layout.createLine().isValid();
    layout.endLayout();
    // Text cut short with an ellipsis is the style's to draw.
    if (!oneLine || line.naturalTextWidth() > textRect.width())
        return false;

    const QRect layoutRect =
        QStyle::alignedRect(Qt::LayoutDirectionAuto, opt.displayAlignment,
                            layout.boundingRect().size().toSize(), textRect);
    QPalette::ColorGroup group =
        opt.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    if (group == QPalette::Normal && !(opt.state & QStyle::State_Active))
        group = QPalette::Inactive;
    // The text fits inside the cell's margins: no clip is needed.
    const QPen pen = painter->pen();
    painter->setPen(opt.palette.color(group, QPalette::Text));
    layout.draw(painter, QPointF(textRect.x(), layoutRect.top()));
    painter->setPen(pen);
    return true;
}
