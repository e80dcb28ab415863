// The charts page of the main window: drawn from the session after a
// judgment, lines switched off and renamed, the rule marks, the link
// between points and table rows both ways, and saving the charts.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QChart>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QChartView>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QImage>
#include <QLineSeries>
#include <QRegularExpression>
#include <QScatterSeries>
#include <QTabWidget>

#include "app_fixture.h"
#include "app/chart_page.h"
#include "model/commatext.h"
#include "model/number.h"
#include "model/sheetio.h"
#include "support/find_control.h"

using trevolo::testing::Ctl;
using trevolo::testing::Ctls;

namespace trevolo::testing {
namespace {

class ChartPageTest : public MainFormTest {
protected:
    // Ten lots: a high first lot, then nine lots below the centre line, so
    // rule ② marks the tenth lot on the X chart.
    TMainForm& judged()
    {
        TMainForm& f = open();
        auto* gridEdit = Ctl<StringGrid>(f, "gridEdit");
        for (int r = 1; r <= 10; ++r) {
            setCell(gridEdit, 0, r, r == 1 ? "14.000" : "9.000");
            setCell(gridEdit, 1, r, r == 1 ? "14.000" : "10.000");
        }
        Ctl<TEdit>(f, "editLabel")->setText("外径");
        Ctl<TEdit>(f, "editUnit")->setText("MM");
        Ctl<TEdit>(f, "editKupper")->setText("20.000");
        Ctl<TEdit>(f, "editKlower")->setText("0.000");
        prompts.answers = {true};
        Ctl<QPushButton>(f, "btn3Stdev")->click();
        Ctl<QPushButton>(f, "btnSpcJudg")->click();
        EXPECT_EQ(Ctl<QLabel>(f, "pnlSpcJudg")->text(), "不合格") << prompts.texts().join(" / ").toStdString();
        // Each verdict as a screen reader reads it.
        for (QLabel* p : Ctls<QLabel>(f, {"pnlSpecJudg", "pnlCpkJudg", "pnlSpcJudg"}))
            EXPECT_EQ(QAccessible::queryAccessibleInterface(p)->text(QAccessible::Description), p->text());
        prompts.shown.clear();
        return f;
    }

    ChartPage& showPage(TMainForm& f)
    {
        Ctl<QTabWidget>(f, "pageInput")->setCurrentWidget(f.findChild<ChartPage*>());
        QApplication::processEvents();
        return *f.findChild<ChartPage*>();
    }

    static QLineSeries* line(ChartPage& p, ChartPage::Which w, const QString& name)
    {
        for (QAbstractSeries* s : p.view(w)->chart()->series())
            if (s->name() == name)
                return qobject_cast<QLineSeries*>(s);
        return nullptr;
    }
};

TEST_F(ChartPageTest, DrawsTheJudgedSheetAndFollowsItsChanges)
{
    TMainForm& f = judged();
    auto* pageInput = Ctl<QTabWidget>(f, "pageInput");
    ASSERT_EQ(pageInput->count(), 4);
    EXPECT_EQ(pageInput->tabText(3), "管理図表示");
    EXPECT_EQ(f.findChild<ChartPage*>()->accessibleName(), "管理図表示");
    // Hidden, the page only remembers that something changed.
    EXPECT_TRUE(f.findChild<ChartPage*>()->dirty());

    ChartPage& p = showPage(f);
    EXPECT_FALSE(p.dirty());
    ASSERT_EQ(p.data().x.points.size(), 10u);
    EXPECT_EQ(p.data().x.points[9].marks, std::vector<std::string>{"X②"});
    EXPECT_EQ(p.view(ChartPage::XChart)->accessibleName(), "X管理図");
    EXPECT_EQ(p.view(ChartPage::SpreadChart)->accessibleName(), "R管理図");
    EXPECT_EQ(p.view(ChartPage::HistogramChart)->accessibleName(), "ヒストグラム");
    EXPECT_TRUE(p.view(ChartPage::XChart)->accessibleDescription().contains("9.5000\tX②"));
    EXPECT_EQ(p.pointToolTip(ChartPage::XChart, 10), "ロット K0010  9.5000  X②");
    // The marked point is drawn by the red series, the others by the plain one.
    int marked = -1;
    for (QAbstractSeries* s : p.view(ChartPage::XChart)->chart()->series())
        if (auto* sc = qobject_cast<QScatterSeries*>(s); sc && sc->color() == QColor(230, 0, 0))
            marked = static_cast<int>(sc->count());
    EXPECT_EQ(marked, 1);

    // A line switched off disappears, a renamed line carries its new name.
    ASSERT_NE(line(p, ChartPage::XChart, "＋２σ"), nullptr);
    EXPECT_TRUE(line(p, ChartPage::XChart, "＋２σ")->isVisible());
    Ctl<QCheckBox>(f, "cbUcl2")->setChecked(false);
    Ctl<TEdit>(f, "itemXcl")->setText("中心線");
    QApplication::processEvents();
    // The line went to the manual state and took its manual name.
    EXPECT_EQ(line(p, ChartPage::XChart, "＋２σ"), nullptr);
    ASSERT_NE(line(p, ChartPage::XChart, "上限管理値"), nullptr);
    EXPECT_FALSE(line(p, ChartPage::XChart, "上限管理値")->isVisible());
    ASSERT_NE(line(p, ChartPage::XChart, "中心線"), nullptr);
    EXPECT_TRUE(line(p, ChartPage::XChart, "中心線")->isVisible());
    EXPECT_TRUE(line(p, ChartPage::XChart, "上限規格")->isVisible());
    EXPECT_EQ(line(p, ChartPage::XChart, "上限規格")->pen().style(), Qt::DashLine);

    // The class count and the chart kind follow their fields.
    Ctl<TSpinEdit>(f, "spinBetWeen")->setText("7");
    QApplication::processEvents();
    EXPECT_EQ(p.data().histogram.classCount, 7);
    Ctl<QComboBox>(f, "cmbChart")->setCurrentIndex(ChartXbarS);
    emit Ctl<QComboBox>(f, "cmbChart")->activated(Ctl<QComboBox>(f, "cmbChart")->currentIndex());
    QApplication::processEvents();
    EXPECT_EQ(p.view(ChartPage::SpreadChart)->accessibleName(), "S管理図");
    EXPECT_TRUE(p.data().x.points.empty());  // the tables were emptied
}

TEST_F(ChartPageTest, PointsAndTableRowsSelectEachOther)
{
    TMainForm& f = judged();
    auto* gridSpc = Ctl<StringGrid>(f, "gridSpc");
    auto* gridEdit = Ctl<StringGrid>(f, "gridEdit");
    auto* gridCtrl = Ctl<TplStringGrid>(f, "gridCtrl");
    ChartPage& p = showPage(f);

    // A click on a point of either chart makes its lot current everywhere.
    QScatterSeries* plain = nullptr;
    for (QAbstractSeries* s : p.view(ChartPage::SpreadChart)->chart()->series())
        if (auto* sc = qobject_cast<QScatterSeries*>(s); sc && sc->count() > 1)
            plain = sc;
    ASSERT_NE(plain, nullptr);
    emit plain->clicked(QPointF(5, 1.0));
    EXPECT_EQ(p.highlighted(), 5);
    EXPECT_EQ(Ctl<StringGrid>(f, "gridCalc")->current().row, 5);
    EXPECT_EQ(gridSpc->current().row, 5);
    EXPECT_EQ(gridEdit->current().row, 5);
    EXPECT_EQ(gridCtrl->current().row, 5);

    // A row made current in a table highlights its point.
    gridSpc->setCurrent({0, 3});
    EXPECT_EQ(p.highlighted(), 3);
    gridEdit->setCurrent({0, 8});
    EXPECT_EQ(p.highlighted(), 8);
    // A lot that took no part has no point.
    gridCtrl->setFlag(2, false);
    Ctl<QPushButton>(f, "btnSpcJudg")->click();
    QApplication::processEvents();
    gridEdit->setCurrent({0, 2});
    EXPECT_EQ(p.highlighted(), -1);
}

TEST_F(ChartPageTest, SavesEachFormatUnderTheReportNames)
{
    TMainForm& f = judged();
    ChartPage& p = *f.findChild<ChartPage*>();  // saved without ever being shown
    ASSERT_TRUE(QDir(dir.path()).mkpath("save"));
    f.setSaveFilesDir(dir.filePath("save"));

    const QRegularExpression name(R"(^\d{8}_\d{6}_(XChart|RChart|HistogramChart)(\(\d+\))?\.(png|svg|pdf)$)");
    struct Case {
        ChartPage::Which which;
        const char* format;
        QByteArray head;
    };
    const Case cases[] = {
        {ChartPage::XChart, "png", "\x89PNG"},
        {ChartPage::SpreadChart, "svg", "<?xml"},
        {ChartPage::HistogramChart, "pdf", "%PDF"},
    };
    for (const Case& c : cases) {
        const QString file = p.save(c.which, c.format);
        SCOPED_TRACE(c.format);
        ASSERT_FALSE(file.isEmpty()) << prompts.texts().join(" / ").toStdString();
        EXPECT_TRUE(name.match(QFileInfo(file).fileName()).hasMatch()) << file.toStdString();
        EXPECT_EQ(QFileInfo(file).absolutePath(), dir.filePath("save"));
        QFile in(file);
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        EXPECT_TRUE(in.read(c.head.size()) == c.head);
    }
    EXPECT_FALSE(QImage(p.save(ChartPage::XChart, "png")).isNull());
    // A second picture in the same second gets a counter, never replaces.
    const QString a = p.save(ChartPage::XChart, "svg");
    const QString b = p.save(ChartPage::XChart, "svg");
    EXPECT_NE(a, b);
    EXPECT_TRUE(QFileInfo::exists(a) && QFileInfo::exists(b));
    EXPECT_TRUE(prompts.shown.empty()) << prompts.texts().join(" / ").toStdString();

    p.copyToClipboard(ChartPage::XChart);
    EXPECT_FALSE(QApplication::clipboard()->image().isNull());

    // A folder that cannot be written: a warning, no file.
    f.setSaveFilesDir(dir.filePath("missing"));
    EXPECT_TRUE(p.save(ChartPage::HistogramChart, "png").isEmpty());
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].caption, "警告メッセージ");
}

// The page at the window's default size and at full HD, with 10, 100 and
// 1000 lots of lot numbers as long as a date: the lines' labels stand clear
// of each other, of the titles and axis labels and of the plot, inside the
// chart, and no axis label is cut; every text of the capability panel has
// the room it needs and is seen whole.
TEST_F(ChartPageTest, LabelsStayApartAndWholeAtEverySizeAndLotCount)
{
    TMainForm& f = open();
    for (int lots : {10, 100, 1000}) {
        SheetRecord s;
        InitSheet(s, 1, InitialValues::Defaults(), lots, 5);
        s.upperSpec = "10.050";
        s.lowerSpec = "9.950";
        std::vector<std::string> cells(5);
        for (int r = 1; r <= lots; ++r) {
            for (int c = 0; c < 5; ++c)
                cells[size_t(c)] = FormatFixed(10.0 + 0.004 * std::sin(r * 0.7 + c) + 0.0001 * r / lots, 3);
            const std::string label = r % 3 ? DefaultLotLabel(r) : "2026-12-" + DefaultLotLabel(r);
            s.dataList.push_back(DataLineJoin(label, cells.data(), cells.size()));
            s.checkList.push_back("1");
        }
        f.workbook().sheets[0] = s;
        f.showSheet(0);
        prompts.answers = {true};
        Ctl<QPushButton>(f, "btn3Stdev")->click();
        Ctl<QPushButton>(f, "btnSpcJudg")->click();
        ChartPage& p = showPage(f);
        for (QSize size : {QSize(1070, 602), QSize(1920, 1080)}) {
            f.resize(size);
            QApplication::processEvents();
            auto* panel = Ctl<QGroupBox>(f, "grpCapability");
            for (const char* verdict : {"lblCapWithin5", "lblCapOverall5"})
                EXPECT_EQ(Ctl<QLabel>(f, verdict)->text(), "工程能力あり（95%信頼）") << lots << " lots, " << size.width();
            EXPECT_GE(panel->width(), panel->minimumSizeHint().width());  // the title
            for (QLabel* l : panel->findChildren<QLabel*>()) {
                const QSize need = l->wordWrap() ? QSize(0, l->heightForWidth(l->width())) : l->sizeHint();
                const std::string where = l->text().toStdString() + ", " + std::to_string(size.width()) + " wide";
                EXPECT_TRUE(l->width() >= need.width() && l->height() >= need.height()) << where;
                EXPECT_EQ(l->visibleRegion().boundingRect(), l->rect()) << where;
            }
            for (auto w : {ChartPage::XChart, ChartPage::SpreadChart, ChartPage::HistogramChart}) {
                SCOPED_TRACE(::testing::Message() << lots << " lots, " << size.width() << " wide, chart " << w);
                QChart* chart = p.view(w)->chart();
                std::vector<QRectF> labels, texts;
                for (QGraphicsItem* i : chart->childItems())
                    if (auto* t = dynamic_cast<QGraphicsSimpleTextItem*>(i); t && t->isVisible())
                        labels.push_back(t->mapRectToParent(t->boundingRect()));
                for (QGraphicsItem* i : chart->scene()->items())
                    if (auto* t = dynamic_cast<QGraphicsTextItem*>(i);
                        t && t->isVisible() && !t->toPlainText().isEmpty()) {
                        EXPECT_FALSE(t->toPlainText().endsWith("...") || t->toPlainText().endsWith(QChar(0x2026)))
                            << t->toPlainText().toStdString();
                        texts.push_back(chart->mapRectFromScene(t->sceneBoundingRect()));
                    }
                ASSERT_GE(labels.size(), 3u);
                for (size_t a = 0; a < labels.size(); ++a) {
                    EXPECT_TRUE(chart->rect().contains(labels[a]));
                    EXPECT_FALSE(labels[a].intersects(chart->plotArea()));
                    for (size_t b = a + 1; b < labels.size(); ++b)
                        EXPECT_FALSE(labels[a].intersects(labels[b])) << a << " " << b;
                    for (const QRectF& t : texts)
                        EXPECT_FALSE(labels[a].intersects(t)) << a;
                }
            }
        }
    }
}

}  // namespace
}  // namespace trevolo::testing
