// The profile graphs on the offscreen platform: their axes (settings text, stored ranges, one grid
// for the dependent axes, the module axis); where markers, lines and wind barbs land, what stays
// hidden, grids and labels, the layout for the view's aspect, the barb's symbol, dialog and view.

#include "ModuleBytes.h"
#include "TestSupport.h"
#include "core/Model.h"
#include "graph/AltitudeGraphScene.h"
#include "graph/AxisDialog.h"
#include "graph/AxisFitter.h"
#include "graph/DataGraphView.h"
#include "graph/DataLine.h"
#include "graph/DataMarker.h"
#include "graph/GraphAxisModel.h"
#include "graph/ModuleGraphScene.h"
#include "graph/PressureGraphScene.h"
#include "graph/WindBarb.h"
#include "link/FlightModule.h"

#include <QtTest>
#include <QtWidgets>

#include <cmath>
#include <memory>

namespace {

enum Graph { ModuleGraph, PressureGraph, AltitudeGraph };

qint64 nextAddress = 0x0013A20040C00000LL;

// "ID;Alt;P;T;RH;Wind dir;Wind speed" of a reporting module without GPS; "blank" for a module
// that has not reported yet.
void addModule(Model &model, const QString &columns)
{
    const qint64 address = nextAddress++;
    const QString record = columns + QStringLiteral(";3.30;12:00:00;;;;;;%1;0;156;80;0").arg(address);
    model.appendModule(columns == QLatin1String("blank") ? new FlightModule(address, model.windUnits(), 0)
                                                         : new FlightModule(record, model.windUnits()));
}

// The default axes: altitude 0..500, pressure 800..900, temperature -20..40, humidity 0..100,
// wind speed 0..30; the plot 400 x 400.
struct Rig
{
    explicit Rig(Graph graph, const QStringList &modules = {}, int windUnits = 0)
        : model(windUnits, 0, false, false, false, false), axes(&model)
    {
        for (const QString &module : modules)
            addModule(model, module);
        scene.reset(graph == ModuleGraph     ? static_cast<DataGraphScene *>(new ModuleGraphScene(&model, &axes))
                    : graph == PressureGraph ? static_cast<DataGraphScene *>(new PressureGraphScene(&model, &axes))
                                             : new AltitudeGraphScene(&model, &axes));
    }

    template<typename T> QList<T *> items(std::function<bool(T *)> keep = nullptr) const
    {
        QList<T *> found;
        for (QGraphicsItem *item : scene->items(Qt::AscendingOrder)) {
            if (item->type() == T::Type && (!keep || keep(static_cast<T *>(item))))
                found.append(static_cast<T *>(item));
        }
        return found;
    }
    QGraphicsSimpleTextItem *text(const QString &text) const
    {
        return items<QGraphicsSimpleTextItem>([&](auto *item) { return item->text() == text; }).value(0);
    }
    // Unrotated texts of the colour, from left to right.
    QStringList labels(const QColor &colour) const
    {
        auto texts = items<QGraphicsSimpleTextItem>(
            [&](auto *item) { return item->brush().color() == colour && item->rotation() == 0; });
        std::sort(texts.begin(), texts.end(), [](auto *a, auto *b) { return a->x() < b->x(); });
        QStringList found;
        for (QGraphicsSimpleTextItem *item : texts)
            found.append(item->text());
        return found;
    }
    QList<QLineF> gridLines(bool horizontal) const
    {
        QList<QLineF> found;
        for (QGraphicsLineItem *line : items<QGraphicsLineItem>()) {
            if ((line->line().dy() == 0) == horizontal)
                found.append(line->line());
        }
        return found;
    }

    Model model;
    GraphAxisModel axes;
    std::unique_ptr<DataGraphScene> scene;
};

double pressureY(double p) { return std::log(p / 800) / std::log(900.0 / 800) * 400; }

const QStringList twoModules = {"A1;100;875;10;25;90;6", "B2;400;850;-5;75;180;24"};

// The rows each drawn line of the column joins, as "lower-upper" pairs in row order.
QString joinedRows(const DataGraphScene &scene, int column)
{
    const QList<DataMarker *> &markers = scene.markers(column);
    const auto rowAt = [&](const QPointF &p) {
        for (int row = 0; row < markers.size(); ++row) {
            if (markers[row]->pos() == p)
                return row;
        }
        return -1;
    };
    QStringList pairs;
    for (const DataLine *line : scene.lines(column)) {
        if (line->isVisible() && line->line().length() > 0) {
            const int a = rowAt(line->line().p1());
            const int b = rowAt(line->line().p2());
            pairs.append(QStringLiteral("%1-%2").arg(std::min(a, b)).arg(std::max(a, b)));
        }
    }
    pairs.sort();
    return pairs.join(QLatin1Char(' '));
}

} // namespace

class TestGraphs : public SettingsTestCase
{
    Q_OBJECT

private slots:
    // The settings text of an axis; a text refused leaves the axis as it was, 0,10,0,10,10. A count
    // of intervals below 1 stays in the text, and the grid steps by one interval.
    void textForm()
    {
        const std::tuple<const char *, const char *, double> examples[] = {
            {"-20,40,-100,100,5", "-20,40,-100,100,5", 12.0}, {"0,500,0,10000", "0,10,0,10,10", 1.0},
            {"0,,0,10000,5", "0,10,0,10,10", 1.0}, {"0,500,x,10000,5", "0,10,0,10,10", 1.0},
            {"0,500,0,10000,2.5", "0,10,0,10,10", 1.0}, {"0,inf,0,10000,5", "0,10,0,10,10", 1.0},
            {"40,-20,-100,100,4", "0,10,-100,100,4", 2.5}, // a reversed range keeps the range
            {"1,9,100,-100,4", "1,9,0,10,4", 2.0},         // reversed limits keep the limits
            {"0,500,0,10000,0", "0,500,0,10000,0", 500.0}, {"0,500,0,1000,-3", "0,500,0,1000,-3", 500.0},
            {"0.1234567,1234567,-1e-07,1e+09,7", "0.123457,1.23457e+06,-1e-07,1e+09,7", 1234566.8765433 / 7}};
        for (const auto &[text, axis, intervalSize] : examples) {
            GraphAxis read;
            QCOMPARE(read.fromString(text), qstrcmp(axis, "0,10,0,10,10") != 0);
            QCOMPARE(read.toString(), QString(axis));
            QCOMPARE(read.gridIntervalSize(), intervalSize);
        }
    }

    // Stored axes are read (a malformed one keeps its default, a reversed range is mended) and
    // written back; the dependent axes share one grid, the independent ones have their own.
    void storedAxesAndTheirGrids()
    {
        QSettings settings;
        settings.beginGroup(QStringLiteral("Axes"));
        const std::pair<const char *, const char *> stored[] = {{"temperature", "-40,20,-100,100,6"},
            {"humidity", "0,100,0,100"}, {"windSpeed", "30,0,0,60,3"}, {"independentAltitude", "0,500,0,10000,0"}};
        for (const auto &[key, text] : stored)
            settings.setValue(key, text);
        {
            Model model(0, 0, false, false, false, false);
            GraphAxisModel axes(&model);
            QCOMPARE(axes.axis(3).toString() + ' ' + axes.axis(5).toString(), "-40,20,-100,100,6 0,10,0,10,10");
            QCOMPARE(axes.axis(-1).gridIntervalSize(), 500.0);
            QSignalSpy changed(&axes, &GraphAxisModel::changed);
            GraphAxis temperature = axes.axis(3);
            temperature.setIntervals(4);
            axes.setAxis(3, temperature);
            GraphAxis altitude = axes.axis(-1);
            altitude.setIntervals(7);
            axes.setAxis(-1, altitude);
            QCOMPARE(changed.count(), 2);
            for (const int id : {1, 2, 3, 4, 5, 6, 7})
                QCOMPARE(axes.axis(id).intervals(), 4);
            QCOMPARE(QList<int>({axes.axis(-1).intervals(), axes.axis(-2).intervals()}), QList<int>({7, 5}));
        }
        QStringList written;
        for (const QString &key : settings.childKeys())
            written.append(key + QLatin1Char('=') + settings.value(key).toString());
        QCOMPARE(written, QStringList({"altitude=0,500,0,10000,4", "humidity=0,10,0,10,4",
                                       "independentAltitude=0,500,0,10000,7", "independentPressure=800,900,10,1500,5",
                                       "pressure=800,900,0,1500,4", "temperature=-40,20,-100,100,4",
                                       "windSpeed=0,10,0,60,4"}));
    }

    // Titles are the table's headers; the module axis spans the rows.
    void moduleAxisFollowsTheRows()
    {
        Model model(1, 0, false, false, false, false);
        GraphAxisModel axes(&model);
        QStringList titles;
        for (const int id : {-3, -2, -1, 1, 2, 3, 4, 5, 6, 7, 42})
            titles.append(axes.axis(id).title());
        QCOMPARE(titles, QStringList({"Module ID", "P (mbar)", "Alt (m)", "Alt (m)", "P (mbar)", "T (deg C)", "%RH",
                                      "Wind (degrees)", "Wind (m/s)", "Supply (V)", ""}));
        QSignalSpy changed(&axes, &GraphAxisModel::changed);
        QCOMPARE(axes.axis(-3).toString(), QStringLiteral("0,0,0,0,0"));

        const QStringList expected = {"0,0,0,0,0", "0,1,0,1,1", "0,2,0,2,2"};
        for (int row = 0; row < 3; ++row) {
            model.appendModule(new FlightModule(0x0013A20040000010LL + row, 0, 0));
            QCOMPARE(axes.axis(-3).toString(), expected[row]);
        }
        model.removeModule(0);
        QCOMPARE(axes.axis(-3).toString(), expected[1]);
        model.clearModules();
        QCOMPARE(axes.axis(-3).toString(), expected[0]);
        QCOMPARE(changed.count(), 5);
    }

    // Markers, lines and wind barbs of two modules in one column of a graph: the line runs from the
    // first module's marker to the second's.
    void markersLinesAndBarbs()
    {
        const std::tuple<Graph, int, QLineF> examples[] = {{AltitudeGraph, 2, {300, 320, 200, 80}}, // P
            {AltitudeGraph, 3, {200, 320, 100, 80}}, {AltitudeGraph, 6, {80, 320, 320, 80}}, // T, wind
            {PressureGraph, 3, {200, pressureY(875), 100, pressureY(850)}}, {ModuleGraph, 2, {300, 100, 200, 300}}};
        for (const auto &[graph, column, markers] : examples) {
            Rig rig(graph, twoModules);
            const DataGraphScene &scene = *rig.scene;
            for (int c = 0; c < DataGraphScene::columnCount; ++c)
                QCOMPARE(scene.markers(c).size(), scene.isPlotted(c) ? 2 : 0);
            QCOMPARE(scene.isPlotted(2), graph != PressureGraph);
            const QList<DataMarker *> &marker = scene.markers(column);
            const QList<DataLine *> &lines = scene.lines(column);
            QCOMPARE(QLineF(marker[0]->pos(), marker[1]->pos()), markers);
            QCOMPARE(lines[0]->line(), QLineF(markers.p1(), markers.p1()));
            QCOMPARE(lines[1]->line(), markers);
            const QColor colour = QList<QColor>{Qt::darkGreen, Qt::red, Qt::blue, Qt::gray, Qt::black}[column - 2];
            QCOMPARE(marker[1]->brush().color(), colour);
            QCOMPARE(marker[1]->rect(), QRectF(-7, -7, 14, 14));
            QCOMPARE(lines[1]->pen(), QPen(colour, 3.0));
            QCOMPARE(marker[1]->zValue(), 4.0);
            QCOMPARE(lines[1]->zValue(), 1.0);
            const QList<WindBarb *> &barbs = scene.windBarbs();
            QCOMPARE(barbs[1]->pos(), QPointF(450, markers.y2()));
            QCOMPARE(barbs[1]->speed(), 24.0);
            QCOMPARE(barbs[1]->rotation(), -180.0);
            QCOMPARE(barbs[1]->zValue(), 4.0);
        }
    }

    // Row 1 of three with one cell or another: are its marker (m), its lines to and from (l) and its
    // wind barb (b) drawn? Markers within the plot (and rounding), barbs beside it; lines run on, cut
    // by the masks; nothing for a cell without a value. Pressure 0 is a measurement, far below.
    void whatIsDrawn()
    {
        const std::tuple<Graph, const char *, int, const char *> examples[] = {
            {AltitudeGraph, "B;500;900;40;100;0;30", 3, "mlb"},    // on the frame
            {AltitudeGraph, "B;0;800;40.0003;0;0;0", 3, "mlb"},    // within rounding
            {AltitudeGraph, "B;250;850;40.002;50;0;15", 3, "-lb"}, // beyond the frame
            {AltitudeGraph, "B;501;850;10;50;0;15", 4, "-l-"},     // above the plot
            {AltitudeGraph, "B;-1;850;10;50;0;15", 2, "-l-"},      // below it
            {AltitudeGraph, "blank", 3, "---"}, {ModuleGraph, "blank", 2, "---"}, // not reported yet
            {AltitudeGraph, "B2;200;860;;50;180;12", 3, "--b"}, {AltitudeGraph, "B2;200;860;0;50;180;12", 3, "mlb"},
            {AltitudeGraph, "B2;;860;5;50;180;12", 4, "---"}, {ModuleGraph, "B2;200;860;5;50;180;", 6, "---"},
            {ModuleGraph, "B2;200;860;5;50;;12", 6, "ml-"}, {PressureGraph, "B2;200;0;5;50;180;12", 3, "-l-"},
            {PressureGraph, "B2;200;;5;50;180;12", 3, "---"}};
        for (const auto &[graph, module, column, drawn] : examples) {
            Rig rig(graph, {twoModules[0], module, "C3;300;860;5;50;200;12"});
            const DataGraphScene &scene = *rig.scene;
            const QString shown = QString(scene.markers(column)[1]->isVisible() ? 'm' : '-')
                                  + (scene.lines(column)[1]->isVisible() ? 'l' : '-')
                                  + (scene.windBarbs()[1]->isVisible() ? 'b' : '-');
            QCOMPARE(module + (' ' + shown), module + (' ' + QString(drawn)));
            // A row with no place on the vertical axis is left out of the profile lines.
            if (std::isfinite(scene.markers(column)[1]->dataPoint().y()))
                QCOMPARE(scene.lines(column)[2]->isVisible(), scene.lines(column)[1]->isVisible());
        }
    }

    // A line partly outside the plot is drawn, and bounded, only as far as the frame widened by its
    // pen: the masks hide the rest. Bounds are the part kept plus the pen's reach (3).
    void lineCutAtTheFrame()
    {
        const std::pair<QLineF, QRectF> examples[] = {
            {{200, 100, 800, 400}, QRectF(QPointF(197, 97), QPointF(406, 204.5))},   // out to the right
            {{-100, -50, 500, 250}, QRectF(QPointF(-6, -4.5), QPointF(406, 204.5))}, // across the plot
            {{100, 500, 100, 200}, QRectF(QPointF(97, 197), QPointF(103, 406))},     // up from below
            {{100, 50, 300, 350}, QRectF(QPointF(97, 47), QPointF(303, 353))},       // inside
            {{-50, 450, 450, 950}, QRectF()}};                                       // below the corner
        for (const auto &[line, bounds] : examples) {
            DataLine item(Qt::red);
            item.setLine(line);
            item.setVisibleArea(QRectF(0, 0, 400, 400));
            QCOMPARE(item.boundingRect(), bounds);
        }
    }

    // An axis changed while data is drawn moves markers, lines and barbs at once; a module added to
    // the module graph moves the others into narrower bands.
    void itemsFollowAxesAndRows()
    {
        Rig rig(AltitudeGraph, twoModules);
        const DataGraphScene &scene = *rig.scene;
        GraphAxis altitude = rig.axes.axis(-1);
        altitude.setRange(0, 1000);
        rig.axes.setAxis(-1, altitude);
        GraphAxis temperature = rig.axes.axis(3);
        temperature.setRange(-40, 40);
        rig.axes.setAxis(3, temperature);
        const QPointF lower(50.0 / 80 * 400, 360); // 10 deg C at 100 m
        const QPointF upper(35.0 / 80 * 400, 240); // -5 deg C at 400 m
        QCOMPARE(scene.markers(3)[1]->pos(), upper);
        QCOMPARE(scene.lines(3)[1]->line(), QLineF(lower, upper));
        QCOMPARE(scene.windBarbs()[1]->pos(), QPointF(450, 240));

        Rig modules(ModuleGraph, twoModules);
        addModule(modules.model, QStringLiteral("C3;300;860;5;50;200;12"));
        const QList<DataMarker *> &markers = modules.scene->markers(3);
        QCOMPARE(markers[0]->pos().y(), 0.5 / 3 * 400);
        QCOMPARE(modules.scene->lines(3)[1]->line(), QLineF(markers[0]->pos(), markers[1]->pos()));
        QCOMPARE(modules.scene->windBarbs()[1]->pos(), QPointF(450, 200));
    }

    // A profile runs from the bottom to the top whatever the order the modules were acquired in;
    // the module graph keeps module order. A module that climbs past another is joined anew.
    void linesInVerticalOrder()
    {
        const QStringList modules = {"A;300;840;10;50;0;5", "B;100;860;12;50;0;5", "C;200;870;11;50;0;5",
                                     "D;;850;11;50;0;5"};
        const std::tuple<Graph, const char *, const char *> examples[] = {
            {AltitudeGraph, "0-2 1-2", "0-1 0-2"}, // B, C, A; B climbs to the top: C, A, B
            {PressureGraph, "0-3 1-2 1-3", "0-1 0-3 2-3"}, // C, B, D, A; then C, D, A, B
            {ModuleGraph, "0-1 1-2 2-3", "0-1 1-2 2-3"}};
        for (const auto &[graph, joined, afterClimb] : examples) {
            Rig rig(graph, modules);
            QCOMPARE(joinedRows(*rig.scene, 3), QString(joined));
            ModuleBytes::DataFields d;
            d.flags = 0xE4;
            d.altitude = 400;
            d.pressure = 8300;
            rig.model.moduleList().module(1)->processPayload(ModuleBytes::data(d));
            rig.model.moduleList().refreshRecords();
            rig.model.refreshTable();
            QCOMPARE(joinedRows(*rig.scene, 3), QString(afterClimb));
        }
    }

    // Round limits (1, 2 or 5 times a power of ten per step, the intervals kept) around the
    // values with a margin, within the axis's limits; without narrowing, around the axis too.
    void fittedAxis_data()
    {
        QTest::addColumn<QString>("axis");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::addColumn<bool>("mayNarrow");
        QTest::addColumn<QString>("fitted");
        const double none = qQNaN();
        QTest::newRow("higher modules") << "0,500,0,10000,5" << 90.0 << 1900.0 << true << "0,2500,0,10000,5";
        QTest::newRow("near sea level") << "800,900,10,1500,5" << 1006.0 << 1013.0 << true << "1004,1014,10,1500,5";
        QTest::newRow("one value") << "-20,40,-100,100,5" << 15.0 << 15.0 << true << "14,16.5,-100,100,5";
        QTest::newRow("below zero") << "-20,40,-100,100,4" << -23.4 << -5.0 << true << "-30,10,-100,100,4";
        QTest::newRow("narrows") << "0,500,0,10000,5" << 100.0 << 200.0 << true << "50,300,0,10000,5";
        QTest::newRow("kept") << "0,500,0,10000,5" << 100.0 << 200.0 << false << "0,500,0,10000,5";
        QTest::newRow("grows") << "0,500,0,10000,5" << 100.0 << 650.0 << false << "0,1000,0,10000,5";
        QTest::newRow("upper limit") << "0,100,0,100,5" << 50.0 << 100.0 << true << "0,100,0,100,5";
        QTest::newRow("beyond limit") << "0,500,0,10000,5" << 9000.0 << 12000.0 << true << "7500,10000,0,10000,5";
        QTest::newRow("calm") << "0,30,0,100,5" << 0.0 << 12.3 << true << "0,25,0,100,5";
        QTest::newRow("no values") << "-20,40,-100,100,5" << none << none << true << "-20,40,-100,100,5";
    }

    void fittedAxis()
    {
        QFETCH(QString, axis);
        QFETCH(double, low);
        QFETCH(double, high);
        QFETCH(bool, mayNarrow);
        QFETCH(QString, fitted);
        GraphAxis given;
        QVERIFY(given.fromString(axis));
        QCOMPARE(AxisFitter::fitted(given, low, high, mayNarrow).toString(), fitted);
    }

    // The axes of the graph in view fitted to the values it draws: every marker is then inside the
    // plot. A value counts only where its module has a place on the vertical axis; an axis with no
    // value keeps its range, and the other graph's vertical axis is not touched.
    void fitsTheGraphInView()
    {
        Rig rig(AltitudeGraph, {"A;120;1004;14.6;;0;3", "B;1900;990;2.5;;0;18", "C;;1013;35;;0;2", "D;700;1001;9;;0;11"});
        AxisFitter fitter(&rig.model, &rig.axes);
        QCOMPARE(fitter.graph(), int(GraphAxisModel::ModuleAxis));
        fitter.setGraph(GraphAxisModel::IndependentAltitude);
        QVERIFY(fitter.hasValueOutsideAxes(GraphAxisModel::IndependentAltitude));
        QSignalSpy changed(&rig.axes, &GraphAxisModel::changed);
        fitter.fit();
        QStringList axes;
        for (const int id : {-1, -2, 2, 3, 4, 6})
            axes.append(rig.axes.axis(id).toString());
        QCOMPARE(axes, QStringList({"0,2500,0,10000,5", "800,900,10,1500,5", "985,1010,0,1500,5", "0,25,-100,100,5",
                                    "0,100,0,100,5", "0,25,0,100,5"}));
        QCOMPARE(changed.count(), 4);
        for (const int column : {2, 3, 6}) {
            for (int row : {0, 1, 3})
                QVERIFY2(rig.scene->markers(column)[row]->isVisible(), qPrintable(QString::number(column)));
        }
        QVERIFY(!fitter.hasValueOutsideAxes(GraphAxisModel::IndependentAltitude));
        fitter.fit(); // fitted already: nothing changes
        QCOMPARE(changed.count(), 4);

        fitter.setGraph(GraphAxisModel::IndependentPressure);
        fitter.fit();
        QCOMPARE(rig.axes.axis(-2).toString(), QStringLiteral("980,1030,10,1500,5"));
        QCOMPARE(rig.axes.axis(3).toString(), QStringLiteral("0,50,-100,100,5"));
    }

    void rowsRedrawnAsTheyChangeComeAndGo()
    {
        Rig rig(AltitudeGraph, twoModules, 1);
        ModuleGraphScene modules(&rig.model, &rig.axes);
        addModule(rig.model, QStringLiteral("C3;300;860;5;50;200;12"));
        const QList<DataMarker *> &markers = rig.scene->markers(3);
        const QPointF first = markers[0]->pos();
        const QPointF last = markers[2]->pos();

        // A Data message from the module of row 1 reaches the table as the running state shows it.
        ModuleBytes::DataFields d;
        d.flags = 0xE4;
        d.altitude = 250;
        d.temperature = 2933; // 20.250 deg C
        d.windSpeed = 50;     // 5.0 m/s: a full barb (9.7 knots)
        rig.model.moduleList().module(1)->processPayload(ModuleBytes::data(d));
        rig.model.moduleList().refreshRecords();
        rig.model.refreshTable();

        const QPointF moved((20.25 + 20) / 60 * 400, 200);
        QCOMPARE(markers[1]->pos(), moved);
        QCOMPARE(rig.scene->lines(3)[1]->line(), QLineF(first, moved));
        QCOMPARE(rig.scene->lines(3)[2]->line(), QLineF(moved, last));
        QCOMPARE(markers[0]->pos(), first);
        QCOMPARE(markers[2]->pos(), last);
        QCOMPARE(rig.scene->windBarbs()[1]->windUnits(), 1);
        QCOMPARE(rig.scene->windBarbs()[1]->pos(), QPointF(450, 200));

        // A new identifier relabels the module graph, also when its slot is called directly.
        rig.model.moduleList().module(2)->processPayload(ModuleBytes::hello('P', "TX9"));
        rig.model.moduleList().refreshRecords();
        modules.dataChanged(QModelIndex(), QModelIndex());
        const QList<QGraphicsItem *> atLabel = modules.items(QPointF(-20, 2.5 / 3 * 400)); // row 2
        QVERIFY(std::any_of(atLabel.begin(), atLabel.end(), [](QGraphicsItem *item) {
            const auto *text = qgraphicsitem_cast<QGraphicsSimpleTextItem *>(item);
            return text && text->text() == QLatin1String("TX9");
        }));

        rig.model.removeModule(1);
        QCOMPARE(rig.scene->markers(3).size(), 2);
        QCOMPARE(rig.scene->windBarbs().size(), 2);
        QCOMPARE(rig.scene->lines(3)[1]->line(), QLineF(first, last));
        rig.model.clearModules();
        QVERIFY(rig.items<DataMarker>().isEmpty() && rig.items<WindBarb>().isEmpty());
    }

    // The horizontal grid and its labels (at unit heights), the vertical grid of the dependent axes
    // (the humidity's count of intervals, 0: as stored) with the temperature's labels.
    void gridAndTickLabels()
    {
        QList<double> pressureRows;
        for (const double p : {800, 820, 840, 860, 880, 900})
            pressureRows.append(pressureY(p) / 400);
        struct Case { Graph graph; int dependentIntervals; QList<double> rows; QStringList vertical, temperature; };
        const Case cases[] = {
            {AltitudeGraph, 4, {1, 0.8, 0.6, 0.4, 0.2, 0}, {"0", "100", "200", "300", "400", "500"},
             {"-20", "-5", "10", "25", "40"}},
            {PressureGraph, 0, pressureRows, {"800", "820", "840", "860", "880", "900"},
             {"-20", "-8", "4", "16", "28", "40"}},
            {ModuleGraph, 3, {0.25, 0.75}, {"A1", "B2"}, {"-20", "0", "20", "40"}}};
        for (const auto &c : cases) {
            TestSupport::clearSettings(); // the axes are stored as they change
            Rig rig(c.graph, twoModules);
            if (c.dependentIntervals) {
                GraphAxis humidity = rig.axes.axis(4);
                humidity.setIntervals(c.dependentIntervals);
                rig.axes.setAxis(4, humidity);
            }
            const QList<QLineF> horizontal = rig.gridLines(true);
            QCOMPARE(horizontal.size(), c.rows.size());
            for (int i = 0; i < c.rows.size(); ++i) {
                QCOMPARE(horizontal[i], QLineF(0, c.rows[i] * 400, 400, c.rows[i] * 400));
                QGraphicsSimpleTextItem *label = rig.text(c.vertical[i]);
                QVERIFY2(label, qPrintable(c.vertical[i]));
                QCOMPARE(label->sceneBoundingRect().right(), -15.0);
                QCOMPARE(label->sceneBoundingRect().center().y(), c.rows[i] * 400);
            }
            const int n = c.temperature.size() - 1;
            const QList<QLineF> vertical = rig.gridLines(false);
            QCOMPARE(vertical.size(), n + 1);
            QCOMPARE(vertical[1], QLineF(400.0 / n, 0, 400.0 / n, 400));
            QCOMPARE(rig.labels(Qt::red), QStringList{"T (deg C)"} + c.temperature);
            QCOMPARE(rig.labels(Qt::blue).size(), n + 2); // each dependent axis on the one grid
        }
    }

    // Stored axes, hand-edited or corrupt, never break the grid: the key, its text and the count of
    // horizontal grid lines (a pressure axis from 0 has none; the count of intervals is capped).
    void storedAxesNeverBreakTheGrid()
    {
        const std::tuple<const char *, const char *, int> stored[] = {{"independentAltitude", "0,500,0,10000,0", 2},
            {"independentPressure", "800,900,10,1500,-2", 2}, {"independentPressure", "0,900,0,1500,5", 0},
            {"independentPressure", "800,900,10,1500,99999999", 1001}, {"temperature", "-20,40,-100,100,0", 6}};
        for (const auto &[key, text, rows] : stored) {
            TestSupport::clearSettings();
            QSettings().setValue(QStringLiteral("Axes/") + key, text);
            Rig rig(qstrcmp(key, "independentPressure") ? AltitudeGraph : PressureGraph, twoModules);
            QCOMPARE(rig.gridLines(true).size(), rows);
            QVERIFY(rig.gridLines(false).size() >= 2);
            const QRectF bounds = rig.scene->itemsBoundingRect();
            QVERIFY(std::isfinite(bounds.width()) && std::isfinite(bounds.height()));
            QCOMPARE(rig.labels(Qt::blue).last(), QStringLiteral("100")); // each axis to its maximum
        }
    }

    // The plot for the view's aspect ratio (a ratio that is no number, infinite or 0 leaves a square
    // plot), with the markers, barbs, frame, masks, grid and titles placed to suit it.
    void layoutFollowsTheAspectRatio()
    {
        const std::pair<double, QSizeF> ratios[] = {{1.0, {400, 400}}, {2.5, {1000, 400}}, {0.5, {400, 800}},
            {std::nan(""), {400, 400}}, {double(INFINITY), {400, 400}}, {0.0, {400, 400}}};
        for (const auto &[ratio, plot] : ratios) {
            Rig rig(AltitudeGraph, twoModules);
            rig.scene->setAspectRatio(3);
            rig.scene->setAspectRatio(ratio);
            const double w = plot.width();
            const double h = plot.height();
            QCOMPARE(QSizeF(rig.scene->plotWidth(), rig.scene->plotHeight()), plot);
            QCOMPARE(rig.scene->markers(2)[1]->pos(), QPointF(0.5 * w, 0.2 * h));
            QCOMPARE(rig.scene->windBarbs()[1]->pos(), QPointF(w + 50, 0.2 * h));
            QMultiMap<double, QRectF> rects; // by z: frame 3, masks 2 (a group of two, right, bottom)
            for (QGraphicsRectItem *item : rig.items<QGraphicsRectItem>())
                rects.insert(item->topLevelItem()->zValue(), item->mapRectToScene(item->rect()));
            QCOMPARE(rects.values(3), QList<QRectF>{QRectF(0, 0, w, h)});
            QVERIFY(rects.values(2).contains(QRectF(w, -10000, 10000, 20000)));
            QVERIFY(rects.values(2).contains(QRectF(-10000, h, 20000, 20000)));
            QCOMPARE(rects.values(2).size(), 4);
            QCOMPARE(rig.gridLines(true).first(), QLineF(0, h, w, h));

            // Titles: the vertical one centred and 15 left of its labels ("500" is the widest), the
            // dependent ones in their rows 18 apart, 15 left of their labels ("800" the widest first).
            const QRectF altitude = rig.text(QStringLiteral("Alt (m)"))->sceneBoundingRect();
            QCOMPARE(altitude.center().y(), h / 2);
            QCOMPARE(altitude.right(), rig.text(QStringLiteral("500"))->sceneBoundingRect().left() - 15);
            const double labelsLeft = -rig.text(QStringLiteral("800"))->boundingRect().width() / 2;
            const QList<std::pair<QString, double>> titles = {
                {"Wind (knots)", -33}, {"P (mbar)", h + 15}, {"T (deg C)", h + 33}, {"%RH", h + 51}};
            QRectF content(0, 0, w + 100, h);
            for (const auto &title : titles) {
                const QRectF bounds = rig.text(title.first)->sceneBoundingRect();
                QCOMPARE(bounds.top(), title.second);
                QCOMPARE(bounds.right(), labelsLeft - 15);
                content |= bounds;
            }
            QVERIFY(rig.scene->sceneRect().contains(content | altitude));
        }
    }

    // The symbol as its subpaths: staff (0,6)-(0,90), full barb Fy (0,y)-(30,y+5), half barb Hy
    // (0,y)-(15,y+2.5), pennant Py (0,y),(30,y-5),(0,y-10) closed; anything else in full. Drawn at
    // half size, y up, turned clockwise by the direction; calm is not turned.
    void windBarbSymbol()
    {
        const std::tuple<double, int, const char *> examples[] = { // in knots (0) or m/s (1)
            {0.4, 0, "circle"}, {0.5, 0, "circle staff"}, {2.5, 0, "circle staff H80"}, // a half barb alone: lower
            {7.5, 0, "circle staff F90"}, {47.5, 0, "circle staff P90"}, {65.0, 0, "circle staff P90 F70 H60"},
            {200.0, 0, "circle staff P90 P75 P60"}, {5.0, 1, "circle staff F90"}, // 9.7 knots
            {26.0, 1, "circle staff P90"}, {0.3, 1, "circle staff"}, // 50.5 and 0.58 knots
            {12.0, 1, "circle staff F90 F80 H70"}, {11.3, 1, "circle staff F90 F80"}}; // 23.3, 22.0 knots
        for (const auto &[speed, windUnits, symbol] : examples) {
            WindBarb barb(Qt::black);
            barb.setDirection(90);
            barb.setWindUnits(windUnits);
            barb.setSpeed(speed);
            QCOMPARE(barb.transform(), QTransform::fromScale(0.5, -0.5));
            QCOMPARE(barb.rotation(), symbol == QLatin1String("circle") ? 0.0 : -90.0);
            const QPainterPath path = barb.path();
            QStringList parts;
            for (int i = 0; i < path.elementCount();) {
                QVector<QPointF> points{path.elementAt(i)};
                for (++i; i < path.elementCount() && !path.elementAt(i).isMoveTo(); ++i)
                    points.append(path.elementAt(i));
                const double y = points[0].y();
                const auto is = [&](const QVector<QPointF> &end) { return points[0].x() == 0 && points.mid(1) == end; };
                if (points.size() == 13 && QPolygonF(points).boundingRect() == QRectF(-6, -6, 12, 12))
                    parts.append(QStringLiteral("circle"));
                else if (points == QVector<QPointF>{{0, 6}, {0, 90}})
                    parts.append(QStringLiteral("staff"));
                else if (is({{30, y + 5}}))
                    parts.append(QStringLiteral("F%1").arg(y));
                else if (is({{15, y + 2.5}}))
                    parts.append(QStringLiteral("H%1").arg(y));
                else if (is({{30, y - 5}, {0, y - 10}, {0, y}}))
                    parts.append(QStringLiteral("P%1").arg(y));
                else if (points.size() > 1)
                    parts.append(QStringLiteral("?"));
            }
            QCOMPARE(parts.join(QLatin1Char(' ')), QString(symbol));
            QCOMPARE(barb.speed(), speed);
            QCOMPARE(barb.boundingRect(), QRectF(-105, -105, 210, 210));
            // A new direction alone turns the barb, its symbol the same.
            barb.setDirection(200);
            QCOMPARE(barb.rotation(), symbol == QLatin1String("circle") ? 0.0 : -200.0);
            QCOMPARE(barb.path(), path);
        }
    }

    void axisDialogEditsOneAxis()
    {
        Model model(0, 0, false, false, false, false);
        GraphAxisModel axes(&model);
        AxisDialog dialog(&axes);
        auto *minimum = dialog.findChild<QSpinBox *>(QStringLiteral("Minimum"));
        auto *maximum = dialog.findChild<QSpinBox *>(QStringLiteral("Maximum"));
        auto *intervals = dialog.findChild<QSpinBox *>(QStringLiteral("Intervals"));
        QPushButton *ok = dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok);
        QCOMPARE(dialog.size(), QSize(174, 121));

        dialog.setAxisId(3);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("T (deg C)"));
        QCOMPARE(QList<int>({minimum->minimum(), maximum->maximum(), minimum->value(), maximum->value(),
                             intervals->minimum(), intervals->maximum(), intervals->value()}),
                 QList<int>({-100, 100, -20, 40, 1, 50, 5}));
        maximum->setValue(-20);
        QVERIFY(!ok->isEnabled());
        maximum->setValue(30);
        QVERIFY(ok->isEnabled());
        intervals->setValue(8);
        minimum->setValue(-10);
        dialog.accept();
        QCOMPARE(axes.axis(3).toString(), QStringLiteral("-10,30,-100,100,8"));
        QCOMPARE(axes.axis(4).intervals(), 8);

        dialog.setAxisId(-1);
        maximum->setValue(123);
        dialog.reject();
        QCOMPARE(maximum->value(), 500);
    }

    void viewFitsTheScene()
    {
        Rig rig(PressureGraph, twoModules);
        DataGraphView view;
        view.setScene(rig.scene.get());
        view.resize(800, 400);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QSize viewport = view.viewport()->size();
        QCOMPARE(rig.scene->plotWidth(), 400.0 * viewport.width() / viewport.height());
        const QRect shown = view.mapFromScene(rig.scene->sceneRect()).boundingRect();
        QVERIFY(view.viewport()->rect().adjusted(-1, -1, 1, 1).contains(shown));
    }
};

VENTROLLA_GUI_TEST_MAIN(TestGraphs)
#include "tst_Graphs.moc"
