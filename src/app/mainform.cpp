// The main window: construction, menus, layout and the field behaviour; the
// sheet cycle (storing and showing sheets, the tabs, the sheet count and the
// table dimensions); the settings dialogs and the help menu.
#include "app/mainform.h"

#include "app/plant_store_view.h"

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
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "app/about_form.h"
#include "app/plant_store_view.h"
#include "app/chart_page.h"
#include "app/fonts.h"
#include "app/header_panel.h"
#include "app/limit_panel.h"
#include "app/lot_edit_form.h"
#include "app/option_form.h"
#include "app/pages.h"
#include "app/panel_parts.h"
#include "app/paths.h"
#include "app/prompts.h"
#include "app/setting_form.h"
#include "app/sheets_form.h"
#include "app/splash.h"
#include "app/version.h"
#include "document/judgment_chain.h"
#include "exchange/messages.h"
#include "model/comfunction.h"
#include "model/number.h"
#include "model/sheetio.h"
#include "store/store_commands.h"

namespace trevolo {

namespace {

QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

// The caption of the SPC page, naming the spread side of the chart kind.
QString SpcPageCaption(int chartKind)
{
    return QStringLiteral("SPC異常判定(X側-%1側)").arg(QString::fromUtf8(SpreadSideName(chartKind)));
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
    plantStore_ = new PlantStoreView(this, store_, menuFile, menuFileExit, menuSetting);
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
    // The plant store's live view and outbox thread end before the document.
    delete plantStore_;
    plantStore_ = nullptr;
    // The chart page listens to the session, which goes before the pages.
    delete chartPage;
    chartPage = nullptr;
    gridEdit->gridModel()->onEdit = nullptr;
    gridCtrl->onToggle = nullptr;
    session_.removeListener(tableViews_.get());
    workbook_.removeListener(bookViews_.get());
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
    menuSettingSheets =
        add(menuSetting, "menuSettingSheets", QStringLiteral("シート数設定(&S)"), &TMainForm::menuSettingSheetsClick);
    menuSettingInit =
        add(menuSetting, "menuSettingInit", QStringLiteral("各種初期値設定(&I)"), &TMainForm::menuSettingInitClick);
    menuSetting->addSeparator();
    menuSettingOption = add(menuSetting, "menuSettingOption", QStringLiteral("異常判定ルール設定(&R)"),
                            &TMainForm::menuSettingOptionClick);

    menuExec = mainMenu->addMenu(QStringLiteral("実行(&E)"));
    menuExecSpec = add(menuExec, "menuExecSpec", QStringLiteral("規格判定(&K)"), &TMainForm::menuExecSpecClick);
    menuExecOperation =
        add(menuExec, "menuExecOperation", QStringLiteral("CP-CPK不良率判定(&O)"), &TMainForm::menuExecOperationClick);
    menuExecSpc = add(menuExec, "menuExecSpc", QStringLiteral("SPC異常判定(&S)"), &TMainForm::menuExecSpcClick);
    menuExec->addSeparator();
    menuExecChart = add(menuExec, "menuExecChart", QStringLiteral("管理図作成(&C)"), &TMainForm::btnControlChartClick);
    menuExecHist = add(menuExec, "menuExecHist", QStringLiteral("ヒストグラム作成(&H)"), &TMainForm::btnHistogramClick);

    menuHelp = mainMenu->addMenu(QStringLiteral("ヘルプ(&H)"));
    menuHelpManual = add(menuHelp, "menuHelpManual", QStringLiteral("操作手順書(&M)"), &TMainForm::menuHelpManualClick);
    menuHelpHome =
        add(menuHelp, "menuHelpHome", QStringLiteral("著作権者ホームページ(&H)"), &TMainForm::menuHelpHomeClick);
    menuHelp->addSeparator();
    menuHelpAbout =
        add(menuHelp, "menuHelpAbout", QStringLiteral("バージョン情報(&A)"), &TMainForm::menuHelpAboutClick);
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
    chartPage = new ChartPage(*this, {gridCtrl, gridEdit, gridCalc, gridSpc}, pageInput);
    pageInput->addTab(chartPage, QStringLiteral("管理図表示"));

    // The sheet count: a hidden field the File menu, the reset and the
    // sheet-count dialog set.
    spinTab = new TSpinEdit(1, 1000, entryPage_);
    spinTab->setObjectName(QStringLiteral("spinTab"));
    spinTab->setMaxLength(3);
    spinTab->hide();

    auto command = [this](void (TMainForm::*handler)()) {
        return [this, handler] {
            CommitPendingInput();
            RunCommand([&] { (this->*handler)(); });
        };
    };
    connect(header_, &HeaderPanel::clearClicked, this, command(&TMainForm::btnSpecClearClick));
    connect(limits_, &LimitPanel::computeClicked, this, command(&TMainForm::btn3StdevClick));
    connect(btnReset, &QPushButton::clicked, this, command(&TMainForm::btnResetClick));
    connect(btnExcel, &QPushButton::clicked, this, command(&TMainForm::btnExcelClick));
    connect(btnControlChart, &QPushButton::clicked, this, command(&TMainForm::btnControlChartClick));
    connect(btnHistogram, &QPushButton::clicked, this, command(&TMainForm::btnHistogramClick));
    connect(entryPage_, &EntryPage::allOnClicked, this, command(&TMainForm::btnAllOnClick));
    connect(entryPage_, &EntryPage::lotEditClicked, this, command(&TMainForm::btnLotEditClick));
    connect(entryPage_, &EntryPage::specJudgClicked, this, command(&TMainForm::btnSpecJudgClick));
    connect(entryPage_, &EntryPage::randamClicked, this, command(&TMainForm::btnRandamClick));
    connect(capabilityPage_, &CapabilityPage::cpkCalcClicked, this, command(&TMainForm::btnCpkCalcClick));
    connect(spcPage_, &SpcPage::spcJudgClicked, this, command(&TMainForm::btnSpcJudgClick));
}

void TMainForm::applyFieldAlignment()
{
    for (QLineEdit* e : std::initializer_list<QLineEdit*>{spinTab, spinRow, spinCol})
        e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
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

    connect(spinTab, &QLineEdit::textChanged, this, [this] { RunCommand([&] { spinTabChange(); }); });
    connect(spinRow, &QLineEdit::textChanged, this, [this] { RunCommand([&] { spinRowChange(); }); });
    connect(spinCol, &QLineEdit::textChanged, this, [this] { RunCommand([&] { spinColChange(); }); });
    connect(limits_, &LimitPanel::chartChosen, this, [this] { RunCommand([&] { cmbChartChange(); }); });
    connect(header_, &HeaderPanel::specKindChosen, this, [this] { RunCommand([&] { cmbSpecKindChange(); }); });
    connect(capabilityPage_, &CapabilityPage::thresholdKindChosen, this,
            [this] { RunCommand([&] { cmbSpecKindChange(); }); });
    connect(limits_, &LimitPanel::methodChosen, this, [this] { RunCommand([&] { cmbLimitChange(); }); });
    connect(capabilityPage_, &CapabilityPage::thresholdToggled, this, [this] { RunCommand([&] { chkCpCpkClick(); }); });
    connect(limits_, &LimitPanel::lineToggled, this, [this](int line) { RunCommand([&] { limitCheckClick(line); }); });
    connect(limits_, &LimitPanel::rsLineTyped, this, [this] { rsLineTyped(); });
}

namespace {

// The window as a listener of the shown sheet: the tables repaint what the
// session's commands changed (one cell, or the table as a whole), and the
// verdict panels show the verdicts as they stand.
class TableViews final : public SessionListener {
public:
    TableViews(SheetSession& session, StringGrid* lots, StringGrid* values, StringGrid* calc, StringGrid* spc,
               std::function<void()> verdicts, std::function<void()> sheet, std::function<void()> lines)
        : session_(session),
          lots_(lots),
          values_(values),
          calc_(calc),
          spc_(spc),
          verdicts_(std::move(verdicts)),
          sheet_(std::move(sheet)),
          lines_(std::move(lines))
    {
    }

    void sessionChanged(unsigned what, int col, int row) override
    {
        // A sheet shown afresh: the fields, counts and table shapes first.
        if (what & ChangedSheet)
            sheet_();
        else if (what & ChangedLineStates)
            lines_();
        const bool oneCell = col >= 0 && row >= 1;
        if (what & ChangedValues) {
            if (oneCell && !(what & ChangedMarking))
                values_->gridModel()->cellChanged(col, row);
            else
                values_->gridModel()->cellsChanged();
        } else if (what & ChangedMarking) {
            values_->viewport()->update();
        }
        if (what & ChangedLots) {
            if (oneCell)
                lots_->gridModel()->cellChanged(col, row);
            else
                lots_->gridModel()->cellsChanged();
        }
        if (what & ChangedCalc) {
            calc_->setShape(session_.calcRowCount(), kCalcColumns);
            calc_->gridModel()->cellsChanged();
        } else if (what & (ChangedMarking | ChangedHeader)) {
            calc_->viewport()->update();
        }
        if (what & ChangedSpc) {
            spc_->setShape(session_.spcRowCount(), kSpcColumns);
            spc_->gridModel()->cellsChanged();
        }
        if (what & ChangedVerdicts)
            verdicts_();
    }

private:
    SheetSession& session_;
    StringGrid* lots_;
    StringGrid* values_;
    StringGrid* calc_;
    StringGrid* spc_;
    std::function<void()> verdicts_;
    std::function<void()> sheet_;
    std::function<void()> lines_;
};

// The window as a listener of the workbook: the tabs and the crash journal.
class BookViews final : public WorkbookListener {
public:
    explicit BookViews(std::function<void(unsigned, int, int)> changed) : changed_(std::move(changed)) {}
    void workbookChanged(unsigned what, int first, int last) override { changed_(what, first, last); }

private:
    std::function<void(unsigned, int, int)> changed_;
};

}  // namespace

namespace {

// Ctrl+Z: -1 (undo); Ctrl+Y and Ctrl+Shift+Z: 1 (redo); any other key: 0.
int HistoryKey(const QKeyEvent* e)
{
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    if (e->key() == Qt::Key_Z && mods == Qt::ControlModifier)
        return -1;
    if ((e->key() == Qt::Key_Y && mods == Qt::ControlModifier) ||
        (e->key() == Qt::Key_Z && mods == (Qt::ControlModifier | Qt::ShiftModifier)))
        return 1;
    return 0;
}

}  // namespace

void TMainForm::bindSession()
{
    // The fields are bound by their panels; the tables and the verdict
    // panels listen to the session.
    tableViews_ = std::make_unique<TableViews>(
        session_, gridCtrl, gridEdit, gridCalc, gridSpc, [this] { showVerdicts(); }, [this] { showShownSheet(); },
        [this] { limits_->showSession(); });
    session_.addListener(tableViews_.get());
    bookViews_ =
        std::make_unique<BookViews>([this](unsigned what, int first, int last) { workbookChanged(what, first, last); });
    workbook_.addListener(bookViews_.get());
    // Typing into the lot or measurement table goes through the session's
    // commands, which keep the history.
    gridEdit->gridModel()->onEdit = [this](int col, int row, const std::string& text) {
        RunCommand([&] { session_.edits().typeValue(col, row, text); });
    };
    gridCtrl->onToggle = [this](int top, int bottom) { RunCommand([&] { session_.edits().toggleLots(top, bottom); }); };
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

void TMainForm::showVerdicts()
{
    entryPage_->showVerdict(VerdictText(session_.specVerdict()));
    capabilityPage_->showVerdict(VerdictText(session_.calcVerdict()));
    const Verdict spc = session_.spcVerdict();
    spcPage_->showVerdict(spc == Verdict::None ? "" : spc == Verdict::Fail ? kSpcPanelFail : kSpcPanelPass);
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
        if (const int key = HistoryKey(static_cast<QKeyEvent*>(event)); key != 0 && (isField(w) || isTable(w))) {
            RunCommand([&] { undoRedo(key > 0); });
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
    if (header_->isLabel(field)) {
        workbook_.relabel(session_);
        if (header_->label() != Q(session_.header().label))
            header_->setLabel(Q(session_.header().label));
        return;
    }
    if (header_->normalise(field) || limits_->normalise(field) || capabilityPage_->normalise(field))
        return;
    if (auto* s = qobject_cast<TSpinEdit*>(field))
        s->clampOnExit();
}

void TMainForm::CommitPendingInput()
{
    gridEdit->commitEditor();
    // The window's focus widget, also while a menu or a message box is active.
    QWidget* f = focusWidget();
    if (f && isField(f) && fieldEnteredAt_ == viewShown_)
        RunCommand([&] { NormaliseField(f); });
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
    WriteSettings(*store_, g, Options, Settings);
}

void TMainForm::FormShow()
{
    struct CloseSplash {
        TSplashForm* s;
        ~CloseSplash() { s->close(); }
    } closeSplash{SplashForm};
    SplashForm->showText(QStringLiteral("アプリケーションを起動中です。"));
    ReadVersionInfo(Version);
    setWindowTitle(QStringLiteral("Trevolo  [for Version ") + Q(Version.VersionText) + QStringLiteral("]"));
    RunCommand([&] { resetWorkbook(); });
}

void TMainForm::selectTabInCode(int index)
{
    const QSignalBlocker block(tabCtrl);
    tabCtrl->setCurrentIndex(index);
    selectedTab_ = (index >= 0 && index < tabCtrl->count()) ? index : -1;
}

void TMainForm::showSheet(int index)
{
    selectTabInCode(index);
    tabCtrlChange();
}

void TMainForm::storeShownSheet()
{
    CommitPendingInput();
    if (selectedTab_ >= 0)
        SaveGridsToSheet(selectedTab_);
}

void TMainForm::SaveGridsToSheet(int index)
{
    // With no tab selected there is no record of the shown sheet to write.
    if (index != selectedTab_ || !workbook_.contains(index))
        return;
    workbook_.storeShown(session_);
    if (header_->label() != Q(session_.header().label))
        header_->setLabel(Q(session_.header().label));
    // The counts are stored as their fields show them, also while a count
    // typed there has not laid the tables out (yet).
    Struct_Sheet& s = Sheets[static_cast<size_t>(index)];
    s.Row = std::clamp(spinRow->value(), kMinLots, kMaxLots);
    s.Col = std::clamp(spinCol->value(), kMinN, kMaxN);
}

void TMainForm::ResetLimitPanel()
{
    session_.resetLimits();
    session_.clearResults();
    limits_->showSession();
}

void TMainForm::showShownSheet()
{
    ++viewShown_;
    selectTabInCode(selectedTab_);
    if (selectedTab_ >= 0)
        tabCtrl->setTabText(selectedTab_, Q(session_.header().label));
    pageInput->setCurrentIndex(0);
    header_->showHeader();
    limits_->showSession();
    capabilityPage_->showThreshold();
    {
        const QSignalBlocker row(spinRow);
        const QSignalBlocker col(spinCol);
        spinRow->setValue(session_.lots());
        spinCol->setValue(session_.columns());
    }
    LayoutGrids();
    if (workbook_.contains(selectedTab_) && !Sheets[static_cast<size_t>(selectedTab_)].DataList.empty())
        gridEdit->autoColWidth();
}

void TMainForm::workbookChanged(unsigned what, int first, int last)
{
    const int count = workbook_.count();
    if (what & BookCount) {
        const QSignalBlocker block(tabCtrl);
        while (tabCtrl->count() < count)
            tabCtrl->addTab(Q(Sheets[static_cast<size_t>(tabCtrl->count())].Label));
        while (tabCtrl->count() > count)
            tabCtrl->removeTab(tabCtrl->count() - 1);
        if (spinTab->value() != count) {
            const QSignalBlocker quiet(spinTab);
            spinTab->setValue(count);
        }
    }
    if (what & BookLabels)
        for (int i = std::max(first, 0); i < (last < 0 ? count : std::min(last, count)); ++i)
            tabCtrl->setTabText(i, Q(workbook_.label(i, session_)));
    // The journal keeps the count with the records.
    if (what & (BookRecords | BookCount))
        JournalSheets(first, last);
}

void TMainForm::LayoutTables()
{
    const int lots = std::clamp(spinRow->value(), kMinLots, kMaxLots);
    const int n = std::clamp(spinCol->value(), kMinN, kMaxN);
    applyOutcome(workbook_.layOut(session_, lots, n, false));
    LayoutGrids();
}

void TMainForm::LayoutGrids()
{
    const int rows = session_.lots() + 1;
    const int n = session_.columns();

    gridCtrl->setShape(rows, 2);
    gridCtrl->setColWidth(0, 85);
    gridCtrl->setColWidth(1, 60);

    gridEdit->setShape(rows, n);
    for (int c = 0; c < n; ++c)
        gridEdit->setColWidth(c, 85);

    gridCalc->setShape(rows, 10);
    for (int c = 0; c < 10; ++c)
        gridCalc->setColWidth(c, 90);
    gridCalc->setColWidth(0, 85);
    gridCalc->setColWidth(1, 82);
    gridCalc->setColWidth(9, 96);

    gridSpc->setShape(rows, 18);
    for (int c = 0; c < 18; ++c)
        gridSpc->setColWidth(c, 44);
    gridSpc->setColWidth(0, 85);
    gridSpc->setColWidth(17, 96);
    limits_->showChartKind(IndexOf(session_.chartKind()));
    pageInput->setTabText(2, SpcPageCaption(IndexOf(session_.chartKind())));

    for (StringGrid* g : {static_cast<StringGrid*>(gridCtrl), gridEdit, gridCalc, gridSpc})
        g->gridModel()->cellsChanged();
}

void TMainForm::tabCtrlChanging()
{
    if (selectedTab_ >= 0)
        SaveGridsToSheet(selectedTab_);
    if (journal_)
        journal_->writeShownNow();
}

void TMainForm::tabCtrlChange()
{
    BusyCursor busy;
    applyOutcome(workbook_.showSheet(selectedTab_, session_));
    tabCtrl->setFocus();
}

void TMainForm::spinTabChange()
{
    applySheetCount(false);
}

void TMainForm::applySheetCount(bool all)
{
    const QString t = spinTab->text();
    if (t.isEmpty() || t == QLatin1String("0"))
        return;
    const int v = std::clamp(spinTab->value(), 1, 1000);
    if (all || workbook_.count() != v)
        workbook_.resize(v, all, spinRow->value(), spinCol->value(), session_);
}

void TMainForm::spinRowChange()
{
    const QString t = spinRow->text();
    if (t.isEmpty() || t == QLatin1String("0") || spinRow->value() < spinRow->minValue())
        return;
    const int lots = std::clamp(spinRow->value(), kMinLots, kMaxLots);
    const int n = std::clamp(spinCol->value(), kMinN, kMaxN);
    applyOutcome(workbook_.layOut(session_, lots, n, true));
    LayoutGrids();
}

void TMainForm::spinColChange()
{
    const QString t = spinCol->text();
    if (t.isEmpty() || t == QLatin1String("0"))
        return;
    limits_->setChartIndex(ShownChartKind(t == QLatin1String("1") ? 1 : 0, Settings.ChartIndex));
    if (spinCol->value() > spinCol->maxValue()) {
        spinCol->setValue(spinCol->maxValue());  // runs this handler again
        return;
    }
    LayoutTables();
}

void TMainForm::btnResetClick()
{
    if (!Prompts::current().question(this, QString::fromUtf8(kGuideCaption),
                                     QStringLiteral("※全てのシートの内容が消去されます。\n"
                                                    "元に戻す事が出来ませんが、本当に宜しいですか？")))
        return;
    resetWorkbook();
}

void TMainForm::resetWorkbook()
{
    applyOutcome(workbook_.reset(session_));
    header_->focusFirst();
}

void TMainForm::menuSettingSheetsClick()
{
    SheetsForm->spinTab->setValue(spinTab->value());
    // An emptied count confirmed in the dialog changes nothing, as an empty
    // count does here.
    if (SheetsForm->exec() == QDialog::Accepted && !SheetsForm->spinTab->text().isEmpty())
        spinTab->setText(SheetsForm->spinTab->text());
}

void TMainForm::cmbChartChange()
{
    if (spinCol->text() == QLatin1String("1"))
        limits_->setChartIndex(ChartXRs);
    if (limits_->chartIndex() == ChartXRs)
        spinCol->setText(QStringLiteral("1"));
    ResetLimitPanel();
    LayoutTables();
    if (selectedTab_ >= 0)
        SaveGridsToSheet(selectedTab_);
}

void TMainForm::cmbSpecKindChange()
{
    header_->applySpecKind();
}

void TMainForm::btnSpecClearClick()
{
    // With no tab selected the label stays as it is.
    session_.clearHeader(workbook_.contains(selectedTab_) ? Sheets[static_cast<size_t>(selectedTab_)].Label
                                                          : session_.header().label,
                         Settings);
    header_->showCleared(Settings.Keta);
    gridEdit->viewport()->update();
    gridCalc->viewport()->update();
}

void TMainForm::btnAllOnClick()
{
    session_.edits().enableAllLots();
}

void TMainForm::chkCpCpkClick()
{
    capabilityPage_->applyThreshold();
}

void TMainForm::menuExecSpecClick()
{
    btnSpecJudgClick();
    pageInput->setCurrentIndex(0);
}

void TMainForm::menuExecOperationClick()
{
    btnCpkCalcClick();
    pageInput->setCurrentIndex(1);
}

void TMainForm::menuExecSpcClick()
{
    btnSpcJudgClick();
    pageInput->setCurrentIndex(2);
}

void TMainForm::menuHelpManualClick()
{
    Prompts::current().openUrl(QUrl::fromLocalFile(ManualPath()));
}

void TMainForm::menuHelpHomeClick()
{
    Prompts::current().openUrl(QUrl(QString::fromLatin1(kHomePageUrl)));
}

void TMainForm::menuHelpAboutClick()
{
    AboutForm->execFor(Version);
}

void TMainForm::menuSettingInitClick()
{
    if (!SettingForm->execFor(Settings))
        return;
    const int chartBefore = limits_->chartIndex();

    // Sheets are added with the new initial values but with the lot count
    // and n the view shows now: the sheet count is applied first.
    spinTab->setValue(Settings.Tab);
    spinRow->setValue(Settings.Row);
    spinCol->setValue(Settings.Col);
    header_->showSettings(Settings);
    capabilityPage_->showSettings(Settings);
    limits_->setChartIndex(Settings.ChartIndex);
    limits_->setMethod(Settings.LimitIndex);

    if (limits_->chartIndex() != chartBefore) {
        // Limits, statistics and SPC marks of another chart kind must not
        // stay beside the new one, and the SPC table's titles follow the
        // kind; the lot numbers shown are kept.
        const int lots = gridCtrl->RowCount() - 1;
        std::vector<std::string> labels;
        labels.reserve(static_cast<size_t>(std::max(lots, 0)));
        for (int r = 1; r <= lots; ++r)
            labels.push_back(gridCtrl->cells().text(0, r));
        ResetLimitPanel();
        LayoutTables();
        for (int r = 1; r <= lots; ++r)
            for (StringGrid* g : {static_cast<StringGrid*>(gridCtrl), gridCalc, gridSpc})
                g->cells().setText(0, r, labels[static_cast<size_t>(r - 1)]);
        for (StringGrid* g : {static_cast<StringGrid*>(gridCtrl), gridCalc, gridSpc})
            g->gridModel()->cellsChanged();
    }
    cmbLimitChange();
}

void TMainForm::menuSettingOptionClick()
{
    // What OK stores is used by the next judgment and written to the
    // settings when the program closes.
    if (!OptionForm)
        OptionForm = new TOptionForm(this);
    OptionForm->execFor(Options);
}

}  // namespace trevolo
