#include "app/ModuleTableDelegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QTextLayout>

#include <limits>

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
    if (!(QStyle::visualAlignment(opt.direction, opt.displayAlignment) & Qt::AlignLeft))
        return false;
    const Prepared *text =
        prepare(opt.text, opt.font, opt.features & QStyleOptionViewItem::WrapText);
    // Text cut short with an ellipsis is the style's to draw.
    if (!text || text->naturalWidth > textRect.width())
        return false;

    const QRect layoutRect = QStyle::alignedRect(
        Qt::LayoutDirectionAuto, opt.displayAlignment, QSize(textRect.width(), text->height), textRect);
    QPalette::ColorGroup group =
        opt.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    if (group == QPalette::Normal && !(opt.state & QStyle::State_Active))
        group = QPalette::Inactive;
    // Clipped to the cell, as the style clips it. The clip also spares the glyphs a clip by
    // spans: a repaint of scattered rows has a region of many rectangles for its clip, through
    // which every glyph would be blended span by span; inside one rectangle it is copied whole.
    const bool clipped = painter->hasClipping();
    if (!clipped)
        painter->setClipRect(opt.rect);
    const QPen pen = painter->pen();
    painter->setPen(opt.palette.color(group, QPalette::Text));
    painter->drawStaticText(QPointF(textRect.x(), layoutRect.top()), text->text);
    painter->setPen(pen);
    if (!clipped)
        painter->setClipping(false);
    return true;
}

const ModuleTableDelegate::Prepared *ModuleTableDelegate::prepare(const QString &text,
                                                                  const QFont &font, bool wrap) const
{
    if (font != preparedFont || wrap != preparedWrap) {
        prepared.clear();
        preparedFont = font;
        preparedWrap = wrap;
    }
    if (const Prepared *known = prepared.object(text))
        return known;

    // As the style measures: a line as wide as need be, its height rounded up.
    QTextOption textOption;
    textOption.setWrapMode(wrap ? QTextOption::WordWrap : QTextOption::ManualWrap);
    textOption.setAlignment(Qt::AlignLeft);
    QTextLayout layout(text, font);
    layout.setTextOption(textOption);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid())
        line.setLineWidth(std::numeric_limits<int>::max() / 256);
    const bool oneLine = line.isValid() && !layout.createLine().isValid();
    layout.endLayout();
    if (!oneLine)
        return nullptr;
    auto *entry = new Prepared;
    entry->naturalWidth = line.naturalTextWidth();
    entry->height = qRound(layout.boundingRect().height());
    entry->text.setText(text);
    entry->text.setTextFormat(Qt::PlainText);
    entry->text.setTextOption(textOption);
    entry->text.setPerformanceHint(QStaticText::AggressiveCaching);
    entry->text.prepare(QTransform(), font);
    prepared.insert(text, entry);
    return entry;
}
