// What the window tells of the plant store: a change of the lot count keeps
// the lots' labels and so publishes no copies; a server that cannot be
// reached is named with the cause in Japanese and the driver's words apart;
// quitting tells how many lots wait.
#include <gtest/gtest.h>

#include "app/plant_store_view.h"
#include "app_fixture.h"
#include "store/store_commands.h"
#include "store_test_support.h"

namespace trevolo::testing {
namespace {

TEST_F(MainFormTest, PlantStoreKeepsLabelsAndTellsWhy)
{
    const StoreLocation where = test::FreshDatabase();
    std::string error;
    ASSERT_TRUE(PlantStore::open(where, error)->init()) << error;
    auto setPort = [&](int port) {
        settings->setValue(QStringLiteral("PlantStore/Host"), QString::fromStdString(where.host));
        settings->setValue(QStringLiteral("PlantStore/Port"), port);
        settings->setValue(QStringLiteral("PlantStore/Database"), QString::fromStdString(where.database));
        settings->setValue(QStringLiteral("PlantStore/User"), QString::fromStdString(where.user));
    };
    setPort(where.port);
    open();
    auto* view = form->findChild<PlantStoreView*>(QStringLiteral("plantStore"));
    view->setOutboxPath(dir.filePath(QStringLiteral("outbox.sqlite")).toStdString());

    const Characteristic shaft{"シャフト", "旋削", "NC-3", "外径"};
    Struct_Sheet imported = form->workbook().sheets[0];
    imported.Product = shaft.product, imported.Process = shaft.process, imported.Mbc = shaft.machine;
    imported.Label = shaft.item, imported.Row = 25, imported.DataList.clear(), imported.CheckList.clear();
    for (int r = 1; r <= 25; ++r)
        imported.DataList.push_back("261104-" + std::to_string(r) + ",10.0" + std::to_string(r % 10));
    form->workbook().importSheet(0, imported, form->session());
    view->publish(false);
    Ctl<TSpinEdit>(form, "spinRow")->setText("26");
    auto* gridCtrl = Ctl<TplStringGrid>(form, "gridCtrl");
    EXPECT_EQ(cell(gridCtrl, 0, 25), "261104-25");
    EXPECT_EQ(cell(gridCtrl, 0, 26), "K0026");
    view->publish(false);
    LotHistory h;
    ASSERT_TRUE(PlantStore::open(where, error)->allLots(shaft, h)) << error;
    EXPECT_EQ(h.lots.size(), 25u);

    // No server answers; a new outbox (a ledger of its own) keeps the
    // station's forwarder from the server above, and all 25 lots wait.
    setPort(1);
    view->setOutboxPath(dir.filePath(QStringLiteral("outbox2.sqlite")).toStdString());
    form->session().paste({0, 1, 0, 1}, "9.99\n9.98\n");
    view->publish(false);
    const ScriptedPrompts::Shown box = prompts.shown.back();
    EXPECT_TRUE(box.text.startsWith(QStringLiteral("データベースサーバ %1:1 (データベース %2) に接続できません。接続を拒否されました。")
                                        .arg(QString::fromStdString(where.host), QString::fromStdString(where.database))))
        << box.text.toStdString();
    EXPECT_FALSE(box.text.contains(QLatin1String("refused"), Qt::CaseInsensitive)) << box.text.toStdString();
    EXPECT_TRUE(box.details.contains(QLatin1String("Connection refused"))) << box.details.toStdString();

    form->close();
    EXPECT_EQ(prompts.shown.back().text.toStdString(),
              "工場データベースへ未送信の 25 ロットがあります。\n次回の起動時に送信されます。");
}

}  // namespace
}  // namespace trevolo::testing
