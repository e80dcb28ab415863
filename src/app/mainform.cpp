// The main window: construction, menus, layout and the field behaviour.
#include "app/mainform.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/chart_page.h"
#include "app/fonts.h"
#include "app/paths.h"
#include "app/prompts.h"
#include "app/sheets_form.h"
#include "app/splash.h"
#include "app/setting_form.h"
#include "app/lot_edit_form.h"
#include "exchange/messages.h"
#include "app/about_form.h"
#include "model/number.h"

namespace trevolo {

namespace {

const QColor kLime(0, 255, 0);
const QColor kRed(255, 0, 0);

QLabel* LabelPanel(const QString& text, QWidget* buddy, QWidget* parent, bool blue = false)
{
    auto* l = new QLabel(text, parent);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Raised);
    l->setAlignment(Qt::AlignCenter);
    l->setMinimumWidth(80);
    if (blue) {
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, QColor(0, 0, 255));
        l->setPalette(p);
    }
    if (buddy) {
        l->setBuddy(buddy);
        buddy->setAccessibleName(text);
    }
    return l;
}

QLabel* VerdictPanel(const char* name, QWidget* parent)
{
    auto* p = new QLabel(parent);
    p->setObjectName(QLatin1String(name));
    // A sunken border inside a frame line around the black panel.
    p->setFrameStyle(QFrame::Box | QFrame::Sunken);
    p->setLineWidth(1);
    p->setMidLineWidth(1);
    p->setAutoFillBackground(true);
    p->setAlignment(Qt::AlignCenter);
    p->setMinimumSize(120, 26);
    QFont f = GothicFont(18);
    f.setBold(true);
    p->setFont(f);
    QPalette pal = p->palette();
    pal.setColor(QPalette::Window, Qt::black);
    pal.setColor(QPalette::WindowText, kLime);
    p->setPalette(pal);
    p->setAccessibleName(QStringLiteral("総合判定結果"));
    return p;
}

QPushButton* Button(const char* name, const QString& caption, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

}  // namespace

TMainForm::TMainForm(QSettings* store, QWidget* parent) : QMainWindow(parent), store_(store)
{
    setObjectName(QStringLiteral("TMainForm"));
    setFont(PGothicFont(12));
    if (!store_) {
        ownStore_ = OpenSettingsStore();
        store_ = ownStore_.get();
    }

    createMenus();
    auto* central = new QWidget(this);
    auto* v = new QVBoxLayout(central);
    v->setContentsMargins(2, 2, 2, 2);
    v->setSpacing(0);
    tabCtrl = new QTabBar(central);
    tabCtrl->setObjectName(QStringLiteral("tabCtrl"));
    tabCtrl->setExpanding(false);
    tabCtrl->setDrawBase(true);
    tabCtrl->setAccessibleName(QStringLiteral("シート"));
    tabCtrl->addTab(QStringLiteral("Sheet1"));
    v->addWidget(tabCtrl);
    auto* body = new QFrame(central);
    body->setFrameShape(QFrame::StyledPanel);
    auto* bv = new QVBoxLayout(body);
    bv->setContentsMargins(4, 4, 4, 4);
    v->addWidget(body, 1);
    setCentralWidget(central);

    createHeaderBlock();
    bv->addWidget(pnlHedCtrl);
    createPages();
    bv->addWidget(pageInput, 1);

    SplashForm = new TSplashForm(this);
    SheetsForm = new TSheetsForm(this);
    SettingForm = new TSettingForm(this);
    AboutForm = new TAboutForm(this);
    LotEditForm = new TLotEditForm(this);

    // Creation step: zero-filled records, then the settings store.
    Options = Struct_Options();
    Settings = Struct_Settings();
    WindowGeometry g;
    ReadSettings(*store_, g, Options, Settings);
    move(g.Left, g.Top);
    resize(g.Width, g.Height);
    applyFieldAlignment();
    saveFilesDir_ = EnsureSaveFilesDir();
    pageInput->setCurrentIndex(0);
    setupTableDrawing();
    wireFields();
    bindSession();
    setupEntry();
    setupClipboard();
    gridCtrl->setFocus();
    setMinimumSize(1070, 602);
    resize(std::max(width(), 1070), std::max(height(), 602));

    connect(tabCtrl, &QTabBar::currentChanged, this, [this](int index) {
        if (index < 0)
            return;
        JournalBatch batch(journal_.get());
        CommitPendingInput();
        tabCtrlChanging();
        selectedTab_ = index;
        tabCtrlChange();
    });
    connect(tabCtrl, &QTabBar::tabBarClicked, this, [this](int index) {
        // After the shown sheet's tab was removed no tab is selected, yet the
        // tab strip highlights one; choosing that one shows its sheet.
        if (selectedTab_ < 0 && index >= 0 && index == tabCtrl->currentIndex()) {
            JournalBatch batch(journal_.get());
            CommitPendingInput();
            selectedTab_ = index;
            tabCtrlChange();
        }
    });
}

TMainForm::~TMainForm()
{
    // Hidden here, an open editor commits and the focus leaves while the
    // handlers can still run; the tables are destroyed after this body, and
    // no event or edit of theirs may reach the handlers of a window gone.
    hide();
    delete entryEvents_;
    // The chart page listens to the session, which goes before the pages.
    delete chartPage;
    chartPage = nullptr;
    gridEdit->gridModel()->onSetEditText = nullptr;
}

void TMainForm::createMenus()
{
    QMenuBar* mainMenu = menuBar();
    mainMenu->setObjectName(QStringLiteral("mainMenu"));
    auto add = [this](QMenu* menu, const char* name, const QString& caption, void (TMainForm::*handler)()) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, [this, handler] {
            CommitPendingInput();
            RunCommand([&] { (this->*handler)(); });
        });
        return a;
    };
    menuFile = mainMenu->addMenu(QStringLiteral("ファイル(&F)"));
    mainMenuXlsImport = add(menuFile, "mainMenuXlsImport", QStringLiteral("Excelデータの取り込み(&V)"),
                            &TMainForm::mainMenuXlsImportClick);
    mainMenuCsvImport = add(menuFile, "mainMenuCsvImport", QStringLiteral("CSVデータの取り込み(&W)"),
                            &TMainForm::mainMenuCsvImportClick);
    menuFile->addSeparator();
    mainMenuXlsSave = add(menuFile, "mainMenuXlsSave", QStringLiteral("全てのシートをExcelで保存(&E)"),
                          &TMainForm::mainMenuXlsSaveClick);
    mainMenuCsvSave = add(menuFile, "mainMenuCsvSave", QStringLiteral("全てのシートをCSVで保存(&C)"),
                          &TMainForm::mainMenuCsvSaveClick);
    menuFile->addSeparator();
    menuFileExit = menuFile->addAction(QStringLiteral("終了(&X)"));
    menuFileExit->setObjectName(QStringLiteral("menuFileExit"));
    connect(menuFileExit, &QAction::triggered, this, &QWidget::close);

    menuSetting = mainMenu->addMenu(QStringLiteral("設定(&S)"));
    menuSettingSheets = add(menuSetting, "menuSettingSheets", QStringLiteral("シート数設定(&S)"),
                            &TMainForm::menuSettingSheetsClick);
    menuSettingInit = add(menuSetting, "menuSettingInit", QStringLiteral("各種初期値設定(&I)"),
                          &TMainForm::menuSettingInitClick);
    menuSetting->addSeparator();
    menuSettingOption = add(menuSetting, "menuSettingOption", QStringLiteral("異常判定ルール設定(&R)"),
                            &TMainForm::menuSettingOptionClick);

    menuExec = mainMenu->addMenu(QStringLiteral("実行(&E)"));
    menuExecSpec = add(menuExec, "menuExecSpec", QStringLiteral("規格判定(&K)"), &TMainForm::menuExecSpecClick);
    menuExecOperation = add(menuExec, "menuExecOperation", QStringLiteral("CP-CPK不良率判定(&O)"),
                            &TMainForm::menuExecOperationClick);
    menuExecSpc = add(menuExec, "menuExecSpc", QStringLiteral("SPC異常判定(&S)"), &TMainForm::menuExecSpcClick);
    menuExec->addSeparator();
    menuExecChart = add(menuExec, "menuExecChart", QStringLiteral("管理図作成(&C)"),
                        &TMainForm::btnControlChartClick);
    menuExecHist = add(menuExec, "menuExecHist", QStringLiteral("ヒストグラム作成(&H)"),
                       &TMainForm::btnHistogramClick);

    menuHelp = mainMenu->addMenu(QStringLiteral("ヘルプ(&H)"));
    menuHelpManual = add(menuHelp, "menuHelpManual", QStringLiteral("操作手順書(&M)"), &TMainForm::menuHelpManualClick);
    menuHelpHome = add(menuHelp, "menuHelpHome", QStringLiteral("著作権者ホームページ(&H)"),
                       &TMainForm::menuHelpHomeClick);
    menuHelp->addSeparator();
    menuHelpAbout = add(menuHelp, "menuHelpAbout", QStringLiteral("バージョン情報(&A)"), &TMainForm::menuHelpAboutClick);
}

void TMainForm::createHeaderBlock()
{
    pnlHedCtrl = new QWidget(this);
    pnlHedCtrl->setObjectName(QStringLiteral("pnlHedCtrl"));
    pnlHedCtrl->setFixedHeight(215);
    auto* outer = new QVBoxLayout(pnlHedCtrl);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(2);
    auto* groups = new QHBoxLayout;
    outer->addLayout(groups, 1);

    // The sheet's header fields.
    grpSheetInfo = new QGroupBox(QStringLiteral("項目間情報設定"), pnlHedCtrl);
    auto* g = new QGridLayout(grpSheetInfo);
    g->setContentsMargins(4, 2, 4, 2);
    g->setVerticalSpacing(2);
    auto edit = [this](const char* name, int maxLen, const QString& hint) {
        auto* e = new TEdit(grpSheetInfo);
        e->setObjectName(QLatin1String(name));
        e->setMaxLength(maxLen);
        e->setToolTip(hint);
        e->setFont(GothicFont(15));
        return e;
    };
    editProduct = edit("editProduct", 50, QStringLiteral("「品種名称」を入力してください。"));
    editProcess = edit("editProcess", 20, QStringLiteral("「工程名称」を入力してください。"));
    editMbc = edit("editMbc", 20, QStringLiteral("「装置名称」を入力してください。"));
    editLabel = edit("editLabel", 20, QStringLiteral("「項目名称」を入力してください。"));
    editUnit = edit("editUnit", 10, QStringLiteral("「測定単位」を入力してください。"));
    cmbSpecKind = new QComboBox(grpSheetInfo);
    cmbSpecKind->setObjectName(QStringLiteral("cmbSpecKind"));
    for (const char* t : kSpecKindTexts)
        cmbSpecKind->addItem(QString::fromUtf8(t));
    cmbSpecKind->setToolTip(QStringLiteral("「規格種別」を選択してください。"));
    spinKeta = new TSpinEdit(0, 5, grpSheetInfo);
    spinKeta->setObjectName(QStringLiteral("spinKeta"));
    spinKeta->setMaxLength(1);
    spinKeta->setText(QStringLiteral("3"));
    spinKeta->setFont(GothicFont(15));
    spinKeta->setToolTip(QStringLiteral("「小数点以下桁数」を０～５の範囲で設定してください。"));
    editKupper = edit("editKupper", 15, QStringLiteral("「規格上限値」を入力してください。"));
    editKlower = edit("editKlower", 15, QStringLiteral("「規格下限値」を入力してください。"));
    btnSpecClear = Button("btnSpecClear", QStringLiteral("クリア"), grpSheetInfo);

    g->addWidget(LabelPanel(QStringLiteral("品種名称"), editProduct, grpSheetInfo), 0, 0);
    g->addWidget(editProduct, 0, 1, 1, 3);
    g->addWidget(LabelPanel(QStringLiteral("工程名称"), editProcess, grpSheetInfo), 1, 0);
    g->addWidget(editProcess, 1, 1);
    g->addWidget(LabelPanel(QStringLiteral("装置名称"), editMbc, grpSheetInfo), 1, 2);
    g->addWidget(editMbc, 1, 3);
    g->addWidget(LabelPanel(QStringLiteral("項目名称"), editLabel, grpSheetInfo, true), 2, 0);
    g->addWidget(editLabel, 2, 1);
    g->addWidget(LabelPanel(QStringLiteral("測定単位"), editUnit, grpSheetInfo, true), 2, 2);
    g->addWidget(editUnit, 2, 3);
    g->addWidget(LabelPanel(QStringLiteral("規格種別"), cmbSpecKind, grpSheetInfo, true), 3, 0);
    g->addWidget(cmbSpecKind, 3, 1);
    g->addWidget(LabelPanel(QStringLiteral("小数桁数"), spinKeta, grpSheetInfo, true), 3, 2);
    g->addWidget(spinKeta, 3, 3);
    g->addWidget(LabelPanel(QStringLiteral("規格上限"), editKupper, grpSheetInfo, true), 4, 0);
    g->addWidget(editKupper, 4, 1);
    g->addWidget(LabelPanel(QStringLiteral("規格下限"), editKlower, grpSheetInfo, true), 4, 2);
    g->addWidget(editKlower, 4, 3);
    g->addWidget(btnSpecClear, 5, 3);
    groups->addWidget(grpSheetInfo, 4);

    // Chart kind, limit method, histogram classes and the control-limit panel.
    grpLimit = new QGroupBox(QStringLiteral("管理限界値設定（±３σ任意設定・項目名編集可能）＆ﾋｽﾄｸﾞﾗﾑ設定"), pnlHedCtrl);
    auto* lg = new QGridLayout(grpLimit);
    lg->setContentsMargins(4, 2, 4, 2);
    lg->setVerticalSpacing(2);
    lg->setHorizontalSpacing(3);
    cmbChart = new QComboBox(grpLimit);
    cmbChart->setObjectName(QStringLiteral("cmbChart"));
    for (const char* t : kChartTexts)
        cmbChart->addItem(QString::fromUtf8(t));
    cmbChart->setToolTip(QStringLiteral("使用する「管理図」を指定してください。"));
    cmbLimit = new QComboBox(grpLimit);
    cmbLimit->setObjectName(QStringLiteral("cmbLimit"));
    for (const char* t : kLimitTexts)
        cmbLimit->addItem(QString::fromUtf8(t));
    cmbLimit->setToolTip(QStringLiteral("「管理限界線」を指定してください。"));
    btn3Stdev = Button("btn3Stdev", QStringLiteral("管理限界値設定"), grpLimit);
    btn3Stdev->setToolTip(QStringLiteral("±３σを自動計算しそれぞれ設定します。"));
    btn3Stdev->setFocusPolicy(Qt::ClickFocus);
    spinBetWeen = new TSpinEdit(5, 10, grpLimit);
    spinBetWeen->setObjectName(QStringLiteral("spinBetWeen"));
    spinBetWeen->setMaxLength(2);
    spinBetWeen->setText(QStringLiteral("10"));
    spinBetWeen->setFont(GothicFont(15));
    spinBetWeen->setToolTip(QStringLiteral("ヒストグラムのデータ区間数を５～１０の範囲で設定してください。"));

    auto* chartLabel = new QLabel(QStringLiteral("▼管理図指定"), grpLimit);
    chartLabel->setBuddy(cmbChart);
    cmbChart->setAccessibleName(QStringLiteral("管理図指定"));
    auto* limitLabel = new QLabel(QStringLiteral("▼限界線指定"), grpLimit);
    limitLabel->setBuddy(cmbLimit);
    cmbLimit->setAccessibleName(QStringLiteral("限界線指定"));
    lg->addWidget(chartLabel, 0, 0);
    lg->addWidget(cmbChart, 1, 0);
    lg->addWidget(limitLabel, 2, 0);
    lg->addWidget(cmbLimit, 3, 0);
    lg->addWidget(btn3Stdev, 4, 0);
    auto* betweenRow = new QHBoxLayout;
    betweenRow->addWidget(LabelPanel(QStringLiteral("ﾃﾞｰﾀ区間数"), spinBetWeen, grpLimit));
    betweenRow->addWidget(spinBetWeen);
    lg->addLayout(betweenRow, 5, 0);
    createLimitPanel(lg);
    groups->addWidget(grpLimit, 6);

    // The command strip along the bottom of the block.
    pnlCommand = new QWidget(pnlHedCtrl);
    pnlCommand->setObjectName(QStringLiteral("pnlCommand"));
    auto* c = new QHBoxLayout(pnlCommand);
    c->setContentsMargins(0, 0, 0, 0);
    spinRow = new TSpinEdit(10, 1000, pnlCommand);
    spinRow->setObjectName(QStringLiteral("spinRow"));
    spinRow->setMaxLength(4);
    spinRow->setFont(GothicFont(15));
    spinRow->setText(QStringLiteral("100"));
    spinRow->setToolTip(QStringLiteral("「ロット数（行数）」を１０～１０００の範囲で設定してください。"));
    spinCol = new TSpinEdit(1, 100, pnlCommand);
    spinCol->setObjectName(QStringLiteral("spinCol"));
    spinCol->setMaxLength(3);
    spinCol->setFont(GothicFont(15));
    spinCol->setText(QStringLiteral("10"));
    spinCol->setToolTip(QStringLiteral("「検査ｎ数（列数）」を１～１００の範囲で設定してください。"));
    btnReset = Button("btnReset", QStringLiteral("全てリセット"), pnlCommand);
    btnExcel = Button("btnExcel", QStringLiteral("判定結果出力"), pnlCommand);
    btnControlChart = Button("btnControlChart", QStringLiteral("管理図作成"), pnlCommand);
    btnHistogram = Button("btnHistogram", QStringLiteral("ﾋｽﾄｸﾞﾗﾑ作成"), pnlCommand);
    c->addWidget(LabelPanel(QStringLiteral("ﾛｯﾄ数(行)"), spinRow, pnlCommand));
    c->addWidget(spinRow);
    c->addWidget(LabelPanel(QStringLiteral("検査ｎ数(列)"), spinCol, pnlCommand));
    c->addWidget(spinCol);
    c->addStretch();
    c->addWidget(btnReset);
    c->addWidget(btnExcel);
    c->addWidget(btnControlChart);
    c->addWidget(btnHistogram);
    outer->addWidget(pnlCommand);
}

void TMainForm::createLimitPanel(QGridLayout* lg)
{
    auto limit = [this](const char* name, int maxLen, const QString& hint) {
        auto* e = new TEdit(grpLimit);
        e->setObjectName(QLatin1String(name));
        e->setMaxLength(maxLen);
        e->setToolTip(hint);
        e->setFont(GothicFont(15));
        e->setMinimumWidth(70);
        return e;
    };
    auto item = [this](const char* name, const QString& text, const QString& hint) {
        auto* e = new TEdit(grpLimit);
        e->setObjectName(QLatin1String(name));
        e->setMaxLength(20);
        e->setText(text);
        e->setToolTip(hint);
        e->setFont(GothicFont(15));
        e->setAccessibleName(hint);
        return e;
    };
    auto box = [this](const char* name) {
        auto* b = new QCheckBox(grpLimit);
        b->setObjectName(QLatin1String(name));
        b->setChecked(true);
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    editUcl3 = limit("editUcl3", 10, QStringLiteral("「X-管理限界上限値３」を入力してください。"));
    editUcl2 = limit("editUcl2", 10, QStringLiteral("「X-管理限界上限値２」を入力してください。"));
    editUcl1 = limit("editUcl1", 10, QStringLiteral("「X-管理限界上限値１」を入力してください。"));
    editLcl3 = limit("editLcl3", 15, QStringLiteral("「X-管理限界下限値３」を入力してください。"));
    editLcl2 = limit("editLcl2", 15, QStringLiteral("「X-管理限界下限値２」を入力してください。"));
    editLcl1 = limit("editLcl1", 15, QStringLiteral("「X-管理限界下限値１」を入力してください。"));
    editXcl = limit("editXcl", 10, QStringLiteral("「X-平均値」を入力してください。"));
    editRcl = limit("editRcl", 10, QStringLiteral("「R-平均値」を入力してください。"));
    editRsUcl3 = limit("editRsUcl3", 10, QStringLiteral("「R-管理限界上限値」を入力してください。"));
    editRsUcl2 = limit("editRsUcl2", 10, QString());
    editRsUcl1 = limit("editRsUcl1", 10, QString());
    itemUcl3 = item("itemUcl3", QStringLiteral("＋３σ"), QStringLiteral("＋３σの名称が直接変更できます。"));
    itemUcl2 = item("itemUcl2", QStringLiteral("＋２σ"), QStringLiteral("＋２σの名称が直接変更できます。"));
    itemUcl1 = item("itemUcl1", QStringLiteral("＋１σ"), QStringLiteral("＋１σの名称が直接変更できます。"));
    itemLcl3 = item("itemLcl3", QStringLiteral("－３σ"), QStringLiteral("－３σの名称が直接変更できます。"));
    itemLcl2 = item("itemLcl2", QStringLiteral("－２σ"), QStringLiteral("－２σの名称が直接変更できます。"));
    itemLcl1 = item("itemLcl1", QStringLiteral("－１σ"), QStringLiteral("－１σの名称が直接変更できます。"));
    itemXcl = item("itemXcl", QStringLiteral("平均値"), QStringLiteral("X側平均値の名称が直接変更できます。"));
    itemRcl = item("itemRcl", QStringLiteral("平均値"), QStringLiteral("R/S側-平均値が直接変更できます。"));
    itemRsUcl3 = item("itemRsUcl3", QStringLiteral("＋３σ"), QStringLiteral("R/S＋３σが直接変更できます。"));
    cbUcl3 = box("cbUcl3");
    cbUcl2 = box("cbUcl2");
    cbUcl1 = box("cbUcl1");
    cbLcl3 = box("cbLcl3");
    cbLcl2 = box("cbLcl2");
    cbLcl1 = box("cbLcl1");
    cbXcl = box("cbXcl");
    cbRcl = box("cbRcl");
    cbRsUcl3 = box("cbRsUcl3");
    editRsUcl2->hide();
    editRsUcl1->hide();

    // Each limit field is named by the text of its line name field.
    struct Line {
        QCheckBox* box;
        TEdit* name;
        TEdit* value;
    };
    const Line xSide[] = {{cbUcl3, itemUcl3, editUcl3}, {cbUcl2, itemUcl2, editUcl2}, {cbUcl1, itemUcl1, editUcl1},
                          {cbXcl, itemXcl, editXcl},    {cbLcl1, itemLcl1, editLcl1}, {cbLcl2, itemLcl2, editLcl2},
                          {cbLcl3, itemLcl3, editLcl3}};
    const Line rSide[] = {{cbRsUcl3, itemRsUcl3, editRsUcl3}, {cbRcl, itemRcl, editRcl}};
    lg->addWidget(new QLabel(QStringLiteral("▲Xbar側"), grpLimit), 0, 1, 1, 3);
    int row = 1;
    for (const Line& l : xSide) {
        l.value->setAccessibleName(l.value->toolTip());
        l.box->setAccessibleName(l.name->text());
        lg->addWidget(l.box, row, 1);
        lg->addWidget(l.name, row, 2);
        lg->addWidget(l.value, row, 3);
        ++row;
    }
    lg->addWidget(new QLabel(QStringLiteral("▼R/S側"), grpLimit), 0, 4, 1, 3);
    row = 1;
    for (const Line& l : rSide) {
        l.box->setAccessibleName(l.name->text());
        lg->addWidget(l.box, row, 4);
        lg->addWidget(l.name, row, 5);
        lg->addWidget(l.value, row, 6);
        ++row;
    }
    lg->addWidget(editRsUcl2, row, 6);
    lg->addWidget(editRsUcl1, row + 1, 6);
    int i = 0;
    for (QCheckBox* b : {cbUcl3, cbUcl2, cbUcl1, cbLcl3, cbLcl2, cbLcl1, cbXcl, cbRcl, cbRsUcl3}) {
        connect(b, &QCheckBox::toggled, this, [this, i] { RunCommand([&] { limitCheckClick(i); }); });
        ++i;
    }
}

void TMainForm::createPages()
{
    pageInput = new QTabWidget(this);
    pageInput->setObjectName(QStringLiteral("pageInput"));

    auto toolbar = [](QWidget* page) {
        auto* v = new QVBoxLayout(page);
        v->setContentsMargins(2, 2, 2, 2);
        v->setSpacing(2);
        auto* h = new QHBoxLayout;
        v->addLayout(h);
        return std::make_pair(v, h);
    };
    auto verdictLabel = [](QWidget* parent) { return new QLabel(QStringLiteral("総合判定結果"), parent); };

    // Page 0: entry and the specification judgment.
    TabSheet1 = new QWidget(pageInput);
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    auto [v1, h1] = toolbar(TabSheet1);
    btnAllOn = Button("btnAllOn", QStringLiteral("全て有効"), TabSheet1);
    btnLotEdit = Button("btnLotEdit", QStringLiteral("ﾛｯﾄ№編集"), TabSheet1);
    btnSpecJudg = Button("btnSpecJudg", QStringLiteral("規格判定"), TabSheet1);
    pnlSpecJudg = VerdictPanel("pnlSpecJudg", TabSheet1);
    btnRandam = Button("btnRandam", QStringLiteral("ランダム"), TabSheet1);
    btnRandam->hide();
    spinTab = new TSpinEdit(1, 1000, TabSheet1);
    spinTab->setObjectName(QStringLiteral("spinTab"));
    spinTab->setMaxLength(3);
    spinTab->hide();
    h1->addWidget(btnAllOn);
    h1->addWidget(btnLotEdit);
    h1->addWidget(btnSpecJudg);
    h1->addWidget(verdictLabel(TabSheet1));
    h1->addWidget(pnlSpecJudg);
    h1->addStretch();
    auto* split = new QHBoxLayout;
    split->setSpacing(3);
    gridCtrl = new TplStringGrid(session_.lotCells(), TabSheet1);
    gridCtrl->setObjectName(QStringLiteral("gridCtrl"));
    gridCtrl->setFixedWidth(151);
    gridCtrl->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    gridCtrl->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    gridCtrl->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridCtrl->setAccessibleName(QStringLiteral("ﾛｯﾄ№"));
    gridEdit = new StringGrid(session_.valueCells(), 0, TabSheet1);
    gridEdit->setObjectName(QStringLiteral("gridEdit"));
    gridEdit->gridModel()->editable = true;
    gridEdit->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed);
    gridEdit->setAccessibleName(QStringLiteral("測定値"));
    split->addWidget(gridCtrl);
    split->addWidget(gridEdit, 1);
    v1->addLayout(split, 1);
    // The lot numbers and checks always stand beside their values.
    connect(gridEdit->verticalScrollBar(), &QScrollBar::valueChanged, gridCtrl->verticalScrollBar(),
            &QScrollBar::setValue);
    connect(gridCtrl->verticalScrollBar(), &QScrollBar::valueChanged, gridEdit->verticalScrollBar(),
            &QScrollBar::setValue);
    pageInput->addTab(TabSheet1, QStringLiteral("測定値入力＆規格判定"));

    // Page 1: statistics and Cp/Cpk.
    TabSheet2 = new QWidget(pageInput);
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    auto [v2, h2] = toolbar(TabSheet2);
    btnCpkCalc = Button("btnCpkCalc", QStringLiteral("不良率判定"), TabSheet2);
    pnlCpkJudg = VerdictPanel("pnlCpkJudg", TabSheet2);
    chkCpCpk = new QCheckBox(TabSheet2);
    chkCpCpk->setObjectName(QStringLiteral("chkCpCpk"));
    chkCpCpk->setChecked(true);
    chkCpCpk->setAccessibleName(QStringLiteral("赤色表示(異常)"));
    cmbCpCpk = new QComboBox(TabSheet2);
    cmbCpCpk->setObjectName(QStringLiteral("cmbCpCpk"));
    for (const char* t : kCpCpkTexts)
        cmbCpCpk->addItem(QString::fromUtf8(t));
    cmbCpCpk->setCurrentIndex(1);
    cmbCpCpk->setToolTip(QStringLiteral("「演算判定種別」を選択してください。"));
    cmbCpCpk->setAccessibleName(QStringLiteral("演算判定種別"));
    editCpCpk = new TEdit(TabSheet2);
    editCpCpk->setObjectName(QStringLiteral("editCpCpk"));
    editCpCpk->setMaxLength(4);
    editCpCpk->setText(QStringLiteral("1.33"));
    editCpCpk->setFont(GothicFont(15));
    editCpCpk->setFixedWidth(60);
    editCpCpk->setToolTip(QStringLiteral("「演算判定種別」の不良率を入力してください。"));
    editCpCpk->setAccessibleName(QStringLiteral("不良率"));
    pnlCpCpk = new QLabel(QStringLiteral("が　　　未満を「赤色表示(異常)」とする"), TabSheet2);
    pnlCpCpk->setObjectName(QStringLiteral("pnlCpCpk"));
    h2->addWidget(btnCpkCalc);
    h2->addWidget(verdictLabel(TabSheet2));
    h2->addWidget(pnlCpkJudg);
    h2->addSpacing(20);
    h2->addWidget(chkCpCpk);
    h2->addWidget(cmbCpCpk);
    // The threshold field sits in the blanks of the sentence.
    auto* sentence = new QWidget(TabSheet2);
    auto* sl = new QHBoxLayout(sentence);
    sl->setContentsMargins(0, 0, 0, 0);
    sl->setSpacing(2);
    sl->addWidget(new QLabel(QStringLiteral("が"), sentence));
    sl->addWidget(editCpCpk);
    sl->addWidget(new QLabel(QStringLiteral("未満を「赤色表示(異常)」とする"), sentence));
    pnlCpCpk->hide();
    h2->addWidget(sentence);
    h2->addStretch();
    // The total row follows the last lot row: with 1000 lots it is row 1001.
    gridCalc = new StringGrid(session_.calcCells(), 1, TabSheet2);
    gridCalc->setObjectName(QStringLiteral("gridCalc"));
    gridCalc->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridCalc->setSelectionMode(QAbstractItemView::SingleSelection);
    gridCalc->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridCalc->setAccessibleName(QStringLiteral("CP-CPK不良率判定"));
    v2->addWidget(gridCalc, 1);
    pageInput->addTab(TabSheet2, QStringLiteral("CP-CPK不良率判定"));

    // Page 2: the SPC judgment.
    TabSheet3 = new QWidget(pageInput);
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    auto [v3, h3] = toolbar(TabSheet3);
    btnSpcJudg = Button("btnSpcJudg", QStringLiteral("SPC異常判定"), TabSheet3);
    pnlSpcJudg = VerdictPanel("pnlSpcJudg", TabSheet3);
    h3->addWidget(btnSpcJudg);
    h3->addWidget(verdictLabel(TabSheet3));
    h3->addWidget(pnlSpcJudg);
    h3->addStretch();
    gridSpc = new StringGrid(session_.spcCells(), 1, TabSheet3);
    gridSpc->setObjectName(QStringLiteral("gridSpc"));
    gridSpc->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridSpc->setSelectionMode(QAbstractItemView::SingleSelection);
    gridSpc->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridSpc->setAccessibleName(QStringLiteral("SPC異常判定"));
    v3->addWidget(gridSpc, 1);
    pageInput->addTab(TabSheet3, QStringLiteral("SPC異常判定(X側-R側)"));

    // Page 3: the control charts and the histogram.
    chartPage = new ChartPage(*this, pageInput);
    pageInput->addTab(chartPage, QStringLiteral("管理図表示"));

    auto click = [this](QPushButton* b, void (TMainForm::*handler)()) {
        connect(b, &QPushButton::clicked, this, [this, handler] {
            CommitPendingInput();
            RunCommand([&] { (this->*handler)(); });
        });
    };
    click(btnSpecClear, &TMainForm::btnSpecClearClick);
    click(btn3Stdev, &TMainForm::btn3StdevClick);
    click(btnReset, &TMainForm::btnResetClick);
    click(btnExcel, &TMainForm::btnExcelClick);
    click(btnControlChart, &TMainForm::btnControlChartClick);
    click(btnHistogram, &TMainForm::btnHistogramClick);
    click(btnAllOn, &TMainForm::btnAllOnClick);
    click(btnLotEdit, &TMainForm::btnLotEditClick);
    click(btnSpecJudg, &TMainForm::btnSpecJudgClick);
    click(btnRandam, &TMainForm::btnRandamClick);
    click(btnCpkCalc, &TMainForm::btnCpkCalcClick);
    click(btnSpcJudg, &TMainForm::btnSpcJudgClick);
}

void TMainForm::applyFieldAlignment()
{
    for (QLineEdit* e : std::initializer_list<QLineEdit*>{
             spinTab, spinRow, spinCol, editUcl3, editUcl2, editUcl1, editLcl3, editLcl2, editLcl1, editRsUcl3,
             editRsUcl2, editRsUcl1, editXcl, editRcl, editCpCpk, spinBetWeen, spinKeta, editKupper, editKlower})
        e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    for (QLineEdit* e : std::initializer_list<QLineEdit*>{itemUcl3, itemUcl2, itemUcl1, itemLcl3, itemLcl2, itemLcl1,
                                                          itemRsUcl3, itemXcl, itemRcl, editProduct, editProcess,
                                                          editLabel, editMbc, editUnit})
        e->setAlignment(Qt::AlignCenter);
}

void TMainForm::wireFields()
{
    // Input method: open for names, closed for units and numbers.
    for (QWidget* w : std::initializer_list<QWidget*>{editUnit, editKupper, editKlower, editCpCpk, editUcl3, editUcl2,
                                                      editUcl1, editLcl3, editLcl2, editLcl1, editXcl, editRcl,
                                                      editRsUcl3, editRsUcl2, editRsUcl1, cmbSpecKind, cmbChart,
                                                      cmbLimit, cmbCpCpk, gridEdit, gridCtrl})
        w->setAttribute(Qt::WA_InputMethodEnabled, false);

    for (TEdit* e : {editProduct, editProcess, editMbc, editLabel, editUnit, itemUcl3, itemUcl2, itemUcl1, itemLcl3,
                     itemLcl2, itemLcl1, itemXcl, itemRcl, itemRsUcl3})
        e->keyFilter = NameKey;
    for (TEdit* e : {editKupper, editKlower, editXcl, editUcl1, editUcl2, editUcl3, editRcl, editRsUcl1, editRsUcl2,
                     editRsUcl3, editLcl1, editLcl2, editLcl3})
        e->keyFilter = NumericKey;
    for (TSpinEdit* s : {spinTab, spinRow, spinCol})
        s->keyFilter = DigitKey;
    spinKeta->keyFilter = DecimalsKey;
    spinBetWeen->keyFilter = DecimalsKey;
    editCpCpk->keyFilter = ThresholdKey;

    for (QWidget* w : std::initializer_list<QWidget*>{
             editProduct, editProcess, editMbc, editLabel, editUnit, cmbSpecKind, spinKeta, editKupper, editKlower,
             spinRow, spinCol, spinTab, cmbChart, cmbLimit, spinBetWeen, cmbCpCpk, editCpCpk, editUcl3, editUcl2,
             editUcl1, editLcl3, editLcl2, editLcl1, editXcl, editRcl, editRsUcl3, editRsUcl2, editRsUcl1, itemUcl3,
             itemUcl2, itemUcl1, itemLcl3, itemLcl2, itemLcl1, itemXcl, itemRcl, itemRsUcl3})
        registerField(w);
    // Every other control still lets the form see Enter and Esc first.
    for (QWidget* w : findChildren<QWidget*>()) {
        if (w->window() == this && w->focusPolicy() != Qt::NoFocus &&
            std::find(fields_.begin(), fields_.end(), w) == fields_.end())
            w->installEventFilter(this);
    }

    connect(spinTab, &QLineEdit::textChanged, this, [this] { RunCommand([&] { spinTabChange(); }); });
    connect(spinRow, &QLineEdit::textChanged, this, [this] { RunCommand([&] { spinRowChange(); }); });
    connect(spinCol, &QLineEdit::textChanged, this, [this] { RunCommand([&] { spinColChange(); }); });
    connect(cmbChart, &QComboBox::activated, this, [this] { RunCommand([&] { cmbChartChange(); }); });
    connect(cmbSpecKind, &QComboBox::activated, this, [this] { RunCommand([&] { cmbSpecKindChange(); }); });
    connect(cmbCpCpk, &QComboBox::activated, this, [this] { RunCommand([&] { cmbSpecKindChange(); }); });
    connect(cmbLimit, &QComboBox::activated, this, [this] { RunCommand([&] { cmbLimitChange(); }); });
    connect(chkCpCpk, &QCheckBox::toggled, this, [this] { RunCommand([&] { chkCpCpkClick(); }); });
    // Typing announces the edit before the new text reaches the session:
    // the session takes it first, then the hidden lines follow it.
    for (int f : {LimitRcl, LimitRsUcl3})
        connect(limitField(f), &QLineEdit::textEdited, this, [this, f](const QString& t) {
            session_.limits[static_cast<size_t>(f)] = t.toStdString();
            rsLineTyped();
        });
}

void TMainForm::bindSession()
{
    // Every field writes what it shows into the session as it changes, by
    // typing or by the program, so the commands read the session only.
    auto bindText = [this](QLineEdit* e, std::string& target, unsigned what) {
        target = e->text().toStdString();
        connect(e, &QLineEdit::textChanged, this, [this, &target, what](const QString& t) {
            target = t.toStdString();
            session_.notify(what);
        });
    };
    auto bindIndex = [this](QComboBox* c, int& target, unsigned what) {
        target = c->currentIndex();
        connect(c, &QComboBox::currentIndexChanged, this, [this, &target, what](int i) {
            target = i;
            session_.notify(what);
        });
    };
    auto bindCheck = [this](QCheckBox* b, bool& target, unsigned what) {
        target = b->isChecked();
        connect(b, &QCheckBox::toggled, this, [this, &target, what](bool on) {
            target = on;
            session_.notify(what);
        });
    };
    SheetHeader& h = session_.header;
    bindText(editProduct, h.product, ChangedHeader);
    bindText(editProcess, h.process, ChangedHeader);
    bindText(editMbc, h.mbc, ChangedHeader);
    bindText(editLabel, h.label, ChangedHeader);
    bindText(editUnit, h.unit, ChangedHeader);
    bindText(spinKeta, h.keta, ChangedHeader);
    bindText(editKupper, h.upper, ChangedHeader | ChangedMarking);
    bindText(editKlower, h.lower, ChangedHeader | ChangedMarking);
    bindIndex(cmbSpecKind, h.specKind, ChangedHeader | ChangedMarking);
    bindIndex(cmbChart, session_.chartKind, ChangedShape);
    bindCheck(chkCpCpk, session_.threshold.on, ChangedHeader | ChangedMarking);
    bindIndex(cmbCpCpk, session_.threshold.index, ChangedHeader | ChangedMarking);
    bindText(editCpCpk, session_.threshold.text, ChangedHeader | ChangedMarking);
    for (int f = 0; f < kLimitFields; ++f)
        bindText(limitField(f), session_.limits[static_cast<size_t>(f)], ChangedLimits);
    for (int line = 0; line < kVisibleLimitLines; ++line) {
        bool& target = session_.lineAutomatic[static_cast<size_t>(line)];
        bindCheck(limitBox(line), target, ChangedLimits);
        bindText(limitName(line), session_.lineNames[static_cast<size_t>(line)], ChangedLimits);
    }
    bindText(spinBetWeen, session_.histogramClasses, ChangedHeader);

    // What the tables show changed: one cell, or the table as a whole.
    auto bindTable = [this](StringGrid* g, unsigned what) {
        connect(g->gridModel(), &QAbstractItemModel::dataChanged, this,
                [this, what](const QModelIndex& from, const QModelIndex& to) {
                    if (from == to)
                        session_.notify(what, from.column(), from.row() + 1);
                    else
                        session_.notify(what);
                });
        connect(g->gridModel(), &QAbstractItemModel::modelReset, this, [this] { session_.notify(ChangedShape); });
    };
    bindTable(gridEdit, ChangedValues);
    bindTable(gridCtrl, ChangedLots);
    bindTable(gridCalc, ChangedCalc);
    bindTable(gridSpc, ChangedSpc);
}

void TMainForm::applyOutcome(const Outcome& o)
{
    if (o.changed & ChangedValues)
        gridEdit->gridModel()->cellsChanged();
    if (o.changed & ChangedLimits)
        for (int f = 0; f < kLimitFields; ++f)
            SetWholeText(limitField(f), QString::fromStdString(session_.limits[static_cast<size_t>(f)]));
    if (o.changed & ChangedCalc) {
        gridCalc->setShape(session_.calcRowCount(), kCalcColumns);
        gridCalc->gridModel()->cellsChanged();
    }
    if (o.changed & ChangedSpc) {
        gridSpc->setShape(session_.spcRowCount(), kSpcColumns);
        gridSpc->gridModel()->cellsChanged();
    }
    if (o.changed & ChangedVerdicts)
        showVerdicts();
    switch (o.focus) {
    case SessionFocus::Label:
        editLabel->setFocus();
        break;
    case SessionFocus::Unit:
        editUnit->setFocus();
        break;
    case SessionFocus::Upper:
        editKupper->setFocus();
        break;
    case SessionFocus::Lower:
        editKlower->setFocus();
        break;
    case SessionFocus::None:
        break;
    }
    for (const SessionMessage& m : o.messages)
        Prompts::current().message(
            this, QString::fromUtf8(m.kind == SessionMessage::Kind::Warning ? kWarningCaption : kGuideCaption),
            QString::fromStdString(m.text));
    if (o.error)
        throw *o.error;
}

void TMainForm::showVerdicts()
{
    auto show = [](QLabel* panel, const char* text) {
        if (!*text)
            panel->clear();
        else if (panel->text() != QString::fromUtf8(text))
            setVerdict(panel, QString::fromUtf8(text));
    };
    show(pnlSpecJudg, VerdictText(session_.specVerdict));
    show(pnlCpkJudg, VerdictText(session_.calcVerdict));
    const Verdict spc = session_.spcVerdict;
    show(pnlSpcJudg, spc == Verdict::None ? "" : spc == Verdict::Fail ? kSpcPanelFail : kSpcPanelPass);
    session_.notify(ChangedVerdicts);
}

void TMainForm::clearVerdicts(bool spec, bool calc, bool spcToo)
{
    if (spec)
        session_.specVerdict = Verdict::None;
    if (calc)
        session_.calcVerdict = Verdict::None;
    if (spcToo)
        session_.spcVerdict = Verdict::None;
    showVerdicts();
}

void TMainForm::registerField(QWidget* w)
{
    fields_.push_back(w);
    w->installEventFilter(this);
    if (auto* e = qobject_cast<TEdit*>(w)) {
        e->setFieldColor(kFieldNormalColor);
        // Typed into the sheet shown now.
        connect(e, &QLineEdit::textEdited, this, [this] { fieldEnteredAt_ = viewShown_; });
    }
}

bool TMainForm::isField(const QWidget* w) const
{
    return std::find(fields_.begin(), fields_.end(), w) != fields_.end();
}

bool TMainForm::isLimitField(const QWidget* w) const
{
    const QString n = w->objectName();
    return n.startsWith(QLatin1String("editUcl")) || n.startsWith(QLatin1String("editLcl")) ||
           n.startsWith(QLatin1String("editRsUcl")) || n == QLatin1String("editXcl") ||
           n == QLatin1String("editRcl");
}

bool TMainForm::isTable(const QWidget* w) const
{
    for (const QWidget* p = w; p; p = p->parentWidget())
        if (qobject_cast<const QAbstractItemView*>(p))
            return true;
    return false;
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w)
        return QMainWindow::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::KeyPress:
        if (FormKeyPress(w, static_cast<QKeyEvent*>(event)))
            return true;
        break;
    case QEvent::FocusIn:
        if (isField(w)) {
            Set_OnColor(w);
            // Entering from another control of the window; coming back from
            // a message box, a dialog or a menu is no new entry.
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                fieldEnteredAt_ = viewShown_;
        }
        break;
    case QEvent::FocusOut: {
        // Leaving a field for another control of the window, not for a
        // message box or another window.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && isField(w)) {
            // When another sheet was shown since the field was entered, its
            // text is that sheet's, left as shown: only the colour goes.
            if (fieldEnteredAt_ == viewShown_)
                RunCommand([&] { Set_OffColor(w); });
            else
                fieldColourOff(w);
        }
        break;
    }
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TMainForm::FormKeyPress(QWidget* watched, QKeyEvent* e)
{
    // A key a table did not use travels up to its parents; what counts is
    // the control that has the focus.
    QWidget* focus = QApplication::focusWidget();
    if (isTable(focus ? focus : watched))
        return false;
    if (IsEnterKey(e)) {
        focusNextChild();
        return true;
    }
    if (e->key() == Qt::Key_Escape) {
        focusPreviousChild();
        return true;
    }
    return false;
}

void TMainForm::Set_OnColor(QWidget* field)
{
    if (auto* e = qobject_cast<TEdit*>(field)) {
        if (!e->isReadOnly())
            e->setFieldColor(kFieldFocusColor);
        return;
    }
    QPalette p = field->palette();
    p.setColor(QPalette::Base, kFieldFocusColor);
    p.setColor(QPalette::Button, kFieldFocusColor);
    field->setPalette(p);
}

void TMainForm::Set_OffColor(QWidget* field)
{
    fieldColourOff(field);
    NormaliseField(field);
}

void TMainForm::fieldColourOff(QWidget* field)
{
    if (auto* e = qobject_cast<TEdit*>(field)) {
        if (!e->isReadOnly())
            e->setFieldColor(kFieldNormalColor);
        return;
    }
    field->setPalette(QPalette());
}

void TMainForm::NormaliseField(QWidget* field)
{
    auto* e = qobject_cast<TEdit*>(field);
    if (!e || e->isReadOnly())
        return;
    if (field == editLabel) {
        if (IsBlank(editLabel->text().toStdString()) && selectedTab_ >= 0)
            editLabel->setText(tabCtrl->tabText(selectedTab_));
        if (selectedTab_ >= 0)
            tabCtrl->setTabText(selectedTab_, editLabel->text());
        return;
    }
    if (auto* s = qobject_cast<TSpinEdit*>(field)) {
        s->clampOnExit();
        if (s == spinKeta) {
            for (TEdit* lim : {editKupper, editKlower}) {
                const std::string t = lim->text().toStdString();
                if (!IsBlank(t))
                    SetWholeText(lim, QString::fromStdString(FormatFixed(StrToFloat(t), spinKeta->value())));
            }
        }
        return;
    }
    const std::string t = e->text().toStdString();
    if (IsBlank(t))
        return;
    if (e == editKupper || e == editKlower) {
        double v = 0;
        SetWholeText(e, TryStrToFloat(t, v) ? QString::fromStdString(FormatFixed(v, spinKeta->value())) : QString());
        return;
    }
    if (e == editCpCpk) {
        double v = 0;
        e->setText(TryStrToFloat(t, v) ? QString::fromStdString(FormatFixed(v, 2)) : QStringLiteral("1.33"));
        return;
    }
    if (isLimitField(e)) {
        const bool typed = e->isModified();
        // The rewritten text may be longer than the typing limit; it is shown whole.
        SetWholeText(e, QString::fromStdString(FormatFixed(StrToFloat(t), 4)));
        // The hidden lines follow the rounded text as it is now shown.
        if (typed && (e == editRcl || e == editRsUcl3))
            rsLineTyped();
    }
}

void TMainForm::CommitPendingInput()
{
    gridEdit->commitEditor();
    // The window's focus widget, also while a menu or a message box is active.
    QWidget* f = focusWidget();
    if (f && isField(f) && fieldEnteredAt_ == viewShown_)
        RunCommand([&] { NormaliseField(f); });
}

void TMainForm::setVerdict(QLabel* panel, const QString& text)
{
    panel->setText(text);
    QPalette p = panel->palette();
    p.setColor(QPalette::WindowText, text == QStringLiteral("不合格") ? kRed : kLime);
    panel->setPalette(p);
}

void TMainForm::ShowError(const std::exception& e)
{
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    if (dynamic_cast<const GuidanceStop*>(&e)) {
        Prompts::current().message(this, QString::fromUtf8(kGuideCaption), QString::fromUtf8(e.what()));
        return;
    }
    // An error of a library speaks English: the box then says in the
    // program's words that the command stopped, with that text below.
    Prompts::current().error(this, QString::fromStdString(ErrorBoxText(e.what())));
}

void TMainForm::setupTableDrawing()
{
    // Measurement and lot tables: the current cell yellow while focused, the
    // red marking of out-of-limit values (entry_view.cpp).
    gridEdit->drawCell = [this](int col, int row, bool focused, bool isCurrent) {
        return gridEditDrawCell(col, row, focused, isCurrent);
    };
    gridCtrl->drawCell = [this](int col, int row, bool focused, bool isCurrent) {
        return gridCtrlDrawCell(col, row, focused, isCurrent);
    };
    // Statistics and SPC tables: alternate light green rows, the current row
    // yellow, red marks (capability_view.cpp, spc_view.cpp).
    gridCalc->drawCell = [this](int col, int row, bool focused, bool isCurrent) {
        return gridCalcDrawCell(col, row, focused, isCurrent);
    };
    gridSpc->drawCell = [this](int col, int row, bool focused, bool isCurrent) {
        return gridSpcDrawCell(col, row, focused, isCurrent);
    };
}

void TMainForm::showEvent(QShowEvent* e)
{
    QMainWindow::showEvent(e);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TMainForm::closeEvent(QCloseEvent* e)
{
    // Closing is a save point: what is being typed is taken, and the shown
    // sheet is stored.
    CommitPendingInput();
    if (selectedTab_ >= 0)
        RunCommand([&] { SaveGridsToSheet(selectedTab_); });
    FormCloseQuery();
    EndJournal();
    e->accept();
}

void TMainForm::FormCloseQuery()
{
    WindowGeometry g;
    g.Left = x();
    g.Top = y();
    g.Height = height();
    g.Width = width();
    // A store that cannot be written must not keep the program from closing.
    WriteSettings(*store_, g, Options, Settings);
}

}  // namespace trevolo
