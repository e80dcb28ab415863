// The main window: construction, menus, layout, the field behaviour and the
// wiring of the controllers that own the commands; the rule options dialog
// and the help menu.
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
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "app/about_form.h"
#include "app/alarm_controller.h"
#include "app/entry_controller.h"
#include "app/exchange_controller.h"
#include "app/judgment_controller.h"
#include "app/limit_revision.h"
#include "app/notes_controller.h"
#include "app/sheets_controller.h"
#include "app/table_views.h"
#include "app/chart_page.h"
#include "app/fields.h"
#include "app/window_fields.h"
#include "app/fonts.h"
#include "app/plant_store_view.h"
#include "app/header_panel.h"
#include "app/limit_panel.h"
#include "app/option_form.h"
#include "app/pages.h"
#include "app/panel_parts.h"
#include "app/paths.h"
#include "app/prompts.h"
#include "app/splash.h"
#include "app/store_worker.h"
#include "app/version.h"
#include "document/judgment_chain.h"
#include "exchange/messages.h"
#include "model/comfunction.h"
#include "model/number.h"
#include "model/sheetio.h"
#include "store/qt_text.h"
#include "store/store_commands.h"

namespace trevolo {

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
    auto* tabCtrl = new QTabBar(central);
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

    splash_ = new TSplashForm(this);
    // Creation step: zero-filled records, then the settings store.
    workbook_.options = RuleOptions();
    workbook_.settings = InitialValues();
    WindowGeometry g;
    ReadSettings(*store_, g, workbook_.options, workbook_.settings);
    move(g.Left, g.Top);
    resize(g.Width, g.Height);
    for (QLineEdit* e : std::initializer_list<QLineEdit*>{spinTab, spinRow, spinCol})
        e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    pageInput->setCurrentIndex(0);
    createControllers();
    about_ = new TAboutForm(this);
    wireFields();
    bindSession();
    plantStore_ = new PlantStoreView(workbook_, session_, *this, store_,
                                     {menuFile, menuFileExit, menuSetting, statusBar()}, this);
    // One connection on a thread of its own reads and writes the store for
    // the alarm bar, the notes and the limit revisions.
    storeWorker_ = new StoreWorker(this);
    alarms_ = new AlarmController(*plantStore_, session_, *storeWorker_, {this, menuSetting}, this);
    connect(plantStore_, &PlantStoreView::storeChanged, alarms_, &AlarmController::refresh);
    bv->insertWidget(bv->indexOf(pageInput), alarms_->bar());
    notes_ = std::make_unique<NotesController>(session_, *plantStore_, *storeWorker_, *chartPage_, gridCtrl, this);
    revisions_ = std::make_unique<LimitRevisionController>(session_, *plantStore_, *storeWorker_, gridCtrl,
                                                           menuSetting, this);
    connect(plantStore_, &PlantStoreView::storeChanged, notes_.get(), &NotesController::refresh);
    connect(plantStore_, &PlantStoreView::storeChanged, revisions_.get(), &LimitRevisionController::refresh);
    gridCtrl->setFocus();
    setMinimumSize(1070, 602);
    resize(std::max(width(), 1070), std::max(height(), 602));
}

TMainForm::~TMainForm()
{
    // Hidden here, an open editor commits and the focus leaves while the
    // handlers can still run; the tables are destroyed after this body, and
    // no event or edit of theirs may reach the handlers of a window gone.
    hide();
    entry_.reset();
    // The plant store's parts follow its view; they go first.
    notes_.reset();
    revisions_.reset();
    // The plant store's live view and outbox thread end before the document.
    delete alarms_;
    alarms_ = nullptr;
    delete plantStore_;
    plantStore_ = nullptr;
    // The chart page listens to the session, which goes before the pages.
    delete chartPage_;
    chartPage_ = nullptr;
    session_.removeListener(tableViews_.get());
    workbook_.removeListener(bookViews_.get());
}

void TMainForm::createMenus()
{
    QMenuBar* mainMenu = menuBar();
    mainMenu->setObjectName(QStringLiteral("mainMenu"));
    // Every command of the menus is a save point first, then runs guarded.
    auto add = [this](QMenu* menu, const char* name, const QString& caption, std::function<void()> handler) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, [this, handler] {
            commitPendingInput();
            runCommand(handler);
        });
        return a;
    };
    menuFile = mainMenu->addMenu(QStringLiteral("ファイル(&F)"));
    add(menuFile, "mainMenuXlsImport", QStringLiteral("Excelデータの取り込み(&V)"),
        [this] { exchange_->mainMenuXlsImportClick(); });
    add(menuFile, "mainMenuCsvImport", QStringLiteral("CSVデータの取り込み(&W)"),
        [this] { exchange_->mainMenuCsvImportClick(); });
    menuFile->addSeparator();
    add(menuFile, "mainMenuXlsSave", QStringLiteral("全てのシートをExcelで保存(&E)"),
        [this] { exchange_->mainMenuXlsSaveClick(); });
    add(menuFile, "mainMenuCsvSave", QStringLiteral("全てのシートをCSVで保存(&C)"),
        [this] { exchange_->mainMenuCsvSaveClick(); });
    menuFile->addSeparator();
    menuFileExit = menuFile->addAction(QStringLiteral("終了(&X)"));
    menuFileExit->setObjectName(QStringLiteral("menuFileExit"));
    connect(menuFileExit, &QAction::triggered, this, &QWidget::close);

    menuSetting = mainMenu->addMenu(QStringLiteral("設定(&S)"));
    add(menuSetting, "menuSettingSheets", QStringLiteral("シート数設定(&S)"), [this] { sheets_->menuSettingSheetsClick(); });
    add(menuSetting, "menuSettingInit", QStringLiteral("各種初期値設定(&I)"), [this] {
        if (sheets_->menuSettingInitClick())
            judgments_->cmbLimitChange();
    });
    menuSetting->addSeparator();
    add(menuSetting, "menuSettingOption", QStringLiteral("異常判定ルール設定(&R)"), [this] { menuSettingOptionClick(); });

    QMenu* menuExec = mainMenu->addMenu(QStringLiteral("実行(&E)"));
    add(menuExec, "menuExecSpec", QStringLiteral("規格判定(&K)"), [this] { judgments_->menuExecSpecClick(); });
    add(menuExec, "menuExecOperation", QStringLiteral("CP-CPK不良率判定(&O)"),
        [this] { judgments_->menuExecOperationClick(); });
    add(menuExec, "menuExecSpc", QStringLiteral("SPC異常判定(&S)"), [this] { judgments_->menuExecSpcClick(); });
    menuExec->addSeparator();
    add(menuExec, "menuExecChart", QStringLiteral("管理図作成(&C)"), [this] { exchange_->btnControlChartClick(); });
    add(menuExec, "menuExecHist", QStringLiteral("ヒストグラム作成(&H)"), [this] { exchange_->btnHistogramClick(); });

    QMenu* menuHelp = mainMenu->addMenu(QStringLiteral("ヘルプ(&H)"));
    add(menuHelp, "menuHelpManual", QStringLiteral("操作手順書(&M)"),
        [] { Prompts::current().openUrl(QUrl::fromLocalFile(ManualPath())); });
    add(menuHelp, "menuHelpHome", QStringLiteral("著作権者ホームページ(&H)"),
        [] { Prompts::current().openUrl(QUrl(QString::fromLatin1(kHomePageUrl))); });
    menuHelp->addSeparator();
    add(menuHelp, "menuHelpAbout", QStringLiteral("バージョン情報(&A)"), [this] { about_->execFor(Version); });
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

    // The sheet's header fields, and the control-limit panel with the
    // chart kind, limit method and histogram classes.
    header_ = new HeaderPanel(session_, pnlHedCtrl);
    groups->addWidget(header_, 4);
    limits_ = new LimitPanel(session_, pnlHedCtrl);
    groups->addWidget(limits_, 6);

    // The command strip along the bottom of the block.
    auto* pnlCommand = new QWidget(pnlHedCtrl);
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
    auto* btnReset = Button("btnReset", QStringLiteral("全てリセット"), pnlCommand);
    auto* btnExcel = Button("btnExcel", QStringLiteral("判定結果出力"), pnlCommand);
    auto* btnControlChart = Button("btnControlChart", QStringLiteral("管理図作成"), pnlCommand);
    auto* btnHistogram = Button("btnHistogram", QStringLiteral("ﾋｽﾄｸﾞﾗﾑ作成"), pnlCommand);
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

void TMainForm::createPages()
{
    pageInput = new QTabWidget(this);
    pageInput->setObjectName(QStringLiteral("pageInput"));

    // Page 0: entry and the specification judgment.
    entryPage_ = new EntryPage(session_, pageInput);
    gridCtrl = entryPage_->lotTable();
    gridEdit = entryPage_->valueTable();
    pageInput->addTab(entryPage_, QStringLiteral("測定値入力＆規格判定"));
    // Page 1: statistics and Cp/Cpk.
    capabilityPage_ = new CapabilityPage(session_, pageInput);
    gridCalc = capabilityPage_->table();
    pageInput->addTab(capabilityPage_, QStringLiteral("CP-CPK不良率判定"));
    // Page 2: the SPC judgment.
    spcPage_ = new SpcPage(session_, pageInput);
    gridSpc = spcPage_->table();
    pageInput->addTab(spcPage_, SpcPageCaption(ChartXbarR));
    // Page 3: the control charts and the histogram.
    chartPage_ = new ChartPage(session_, *this, {gridCtrl, gridEdit, gridCalc, gridSpc}, pageInput);
    pageInput->addTab(chartPage_, QStringLiteral("管理図表示"));

    // The sheet count: a hidden field the File menu, the reset and the
    // sheet-count dialog set.
    spinTab = new TSpinEdit(1, 1000, entryPage_);
    spinTab->setObjectName(QStringLiteral("spinTab"));
    spinTab->setMaxLength(3);
    spinTab->hide();
}

void TMainForm::createControllers()
{
    auto* tabCtrl = findChild<QTabBar*>(QStringLiteral("tabCtrl"));
    auto* btnReset = pnlHedCtrl->findChild<QPushButton*>(QStringLiteral("btnReset"));
    WindowHost& host = *this;
    sheets_ = std::make_unique<SheetsController>(
        workbook_, session_, host,
        SheetsController::Controls{tabCtrl, spinTab, spinRow, spinCol, btnReset, header_, limits_, capabilityPage_,
                                   pageInput, gridCtrl, gridEdit, gridCalc, gridSpc},
        this);
    judgments_ = std::make_unique<JudgmentController>(
        workbook_, session_, host, *sheets_,
        JudgmentController::Controls{header_, limits_, entryPage_, capabilityPage_, spcPage_, pageInput, spinCol,
                                     gridEdit, gridCalc, gridSpc});
    exchange_ = std::make_unique<ExchangeController>(workbook_, session_, host, *sheets_, *judgments_,
                                                     ExchangeController::Controls{splash_, pageInput, gridCalc, gridSpc},
                                                     this);
    entry_ = std::make_unique<EntryController>(workbook_, session_, host, *sheets_,
                                               EntryController::Controls{gridEdit, gridCtrl, header_, limits_}, this);
    connect(entryPage_, &EntryPage::lotEditClicked, this, [this] {
        commitPendingInput();
        runCommand([this] { entry_->btnLotEditClick(); });
    });
    // The report buttons of the command strip.
    const std::pair<const char*, void (ExchangeController::*)()> reports[] = {
        {"btnExcel", &ExchangeController::btnExcelClick},
        {"btnControlChart", &ExchangeController::btnControlChartClick},
        {"btnHistogram", &ExchangeController::btnHistogramClick},
    };
    for (const auto& [name, handler] : reports)
        connect(pnlHedCtrl->findChild<QPushButton*>(QLatin1String(name)), &QPushButton::clicked, this,
                [this, handler = handler] {
                    commitPendingInput();
                    runCommand([&] { (exchange_.get()->*handler)(); });
                });
}

void TMainForm::wireFields()
{
    for (TSpinEdit* s : {spinTab, spinRow, spinCol})
        s->keyFilter = DigitKey;

    for (QWidget* w : header_->fields())
        registerField(w);
    for (QWidget* w : std::initializer_list<QWidget*>{spinRow, spinCol, spinTab})
        registerField(w);
    for (QWidget* w : limits_->fields())
        registerField(w);
    for (QWidget* w : capabilityPage_->fields())
        registerField(w);
    // Every other control still lets the form see Enter and Esc first.
    for (QWidget* w : findChildren<QWidget*>()) {
        if (w->window() == this && w->focusPolicy() != Qt::NoFocus &&
            std::find(fields_.begin(), fields_.end(), w) == fields_.end())
            w->installEventFilter(this);
    }
}

void TMainForm::bindSession()
{
    // The fields are bound by their panels; the tables and the verdict
    // panels listen to the session, the tabs and the journal to the workbook.
    tableViews_ = std::make_unique<TableViews>(
        session_, gridCtrl, gridEdit, gridCalc, gridSpc, [this] { judgments_->showVerdicts(); },
        [this] {
            ++viewShown_;
            sheets_->showShownSheet();
        },
        [this] { limits_->showSession(); });
    session_.addListener(tableViews_.get());
    bookViews_ = std::make_unique<BookViews>([this](unsigned what, int first, int last) {
        sheets_->workbookChanged(what, first, last);
        // The journal keeps the count with the records.
        if (what & (BookRecords | BookCount))
            exchange_->JournalSheets(first, last);
    });
    workbook_.addListener(bookViews_.get());
}

void TMainForm::applyOutcome(const Outcome& o)
{
    // The tables and verdicts were repainted as the session told its
    // listeners; the fields show what they hold.
    if (o.changed & ChangedLimits)
        limits_->showLimits();
    header_->focus(o.focus);
    for (const SessionMessage& m : o.messages)
        Prompts::current().message(
            this, QString::fromUtf8(m.kind == SessionMessage::Kind::Warning ? kWarningCaption : kGuideCaption),
            QString::fromStdString(m.text));
    if (o.error)
        throw *o.error;
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
    case QEvent::ShortcutOverride:
        // A field's own undo gives way to the sheet's: the key comes to the
        // field as a key press, which runs the sheet's undo below.
        if (HistoryKey(static_cast<QKeyEvent*>(event)) != 0 && isField(w)) {
            event->accept();
            return true;
        }
        break;
    case QEvent::KeyPress:
        // The sheet's undo keys work on every control of the window (the tab
        // strip and the buttons a command leaves the focus on included),
        // except a text box of no sheet, which keeps its own.
        if (const int key = HistoryKey(static_cast<QKeyEvent*>(event));
            key != 0 && (isField(w) || isTable(w) || !EditsText(w))) {
            runCommand([&] { entry_->undoRedo(key > 0); });
            return true;
        }
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
                runCommand([&] { Set_OffColor(w); });
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
    ShowFieldFocused(field, true);
}
void TMainForm::Set_OffColor(QWidget* field)
{
    fieldColourOff(field);
    NormaliseField(field);
}

void TMainForm::fieldColourOff(QWidget* field)
{
    ShowFieldFocused(field, false);
}
void TMainForm::NormaliseField(QWidget* field)
{
    auto* e = qobject_cast<TEdit*>(field);
    if (!e || e->isReadOnly())
        return;
    if (header_->isLabel(field)) {
        workbook_.relabel(session_);
        if (header_->label() != ToQString(session_.header().label))
            header_->setLabel(ToQString(session_.header().label));
        return;
    }
    if (header_->normalise(field) || limits_->normalise(field) || capabilityPage_->normalise(field))
        return;
    if (auto* s = qobject_cast<TSpinEdit*>(field))
        s->clampOnExit();
}

void TMainForm::commitPendingInput()
{
    gridEdit->commitEditor();
    // The window's focus widget, also while a menu or a message box is active.
    QWidget* f = focusWidget();
    if (f && isField(f) && fieldEnteredAt_ == viewShown_)
        runCommand([&] { NormaliseField(f); });
}

void TMainForm::runCommand(const std::function<void()>& command)
{
    // What the command changes reaches the journal as one transaction.
    JournalBatch batch(journal());
    try {
        command();
    } catch (const std::exception& e) {
        ShowError(e);
    }
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
    commitPendingInput();
    if (workbook_.current >= 0)
        runCommand([&] { sheets_->store(); });
    FormCloseQuery();
    exchange_->EndJournal();
    // Lots still in the outbox are not lost: the next start sends them.
    if (plantStore_) {
        if (const std::int64_t waiting = WaitingLots(plantStore_->outboxPath()); waiting > 0)
            Prompts::current().message(this, QString::fromUtf8(kGuideCaption),
                                       QStringLiteral("工場データベースへ未送信の %1 ロットがあります。\n"
                                                      "次回の起動時に送信されます。")
                                           .arg(waiting));
    }
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
    WriteSettings(*store_, g, workbook_.options, workbook_.settings);
}

void TMainForm::FormShow()
{
    struct CloseSplash {
        TSplashForm* s;
        ~CloseSplash() { s->close(); }
    } closeSplash{splash_};
    splash_->showText(QStringLiteral("アプリケーションを起動中です。"));
    ReadVersionInfo(Version);
    setWindowTitle(QStringLiteral("Trevolo  [for Version ") + ToQString(Version.versionText) + QStringLiteral("]"));
    runCommand([&] { sheets_->resetWorkbook(); });
}

void TMainForm::showSheet(int index)
{
    sheets_->showSheet(index);
}

void TMainForm::storeShownSheet()
{
    commitPendingInput();
    if (workbook_.current >= 0)
        sheets_->store();
}

void TMainForm::menuSettingOptionClick()
{
    // What OK stores is used by the next judgment and written to the
    // settings when the program closes.
    if (!options_)
        options_ = new TOptionForm(this);
    options_->execFor(workbook_.options);
}

}  // namespace trevolo
