// Graph axes: the settings text of an axis, the axis model's stored ranges, the one grid the
// dependent axes share, and the module axis following the table's rows.

#include "TestSupport.h"
#include "core/Model.h"
#include "graph/GraphAxisModel.h"
#include "link/FlightModule.h"

#include <QSettings>
#include <QtTest>

class TestGraphAxes : public SettingsTestCase
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
            QCOMPARE(read.intervalSize(), intervalSize);
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
            QCOMPARE(axes.axis(-1).intervalSize(), 500.0);
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
};

VENTROLLA_TEST_MAIN(TestGraphAxes)
#include "tst_GraphAxes.moc"
