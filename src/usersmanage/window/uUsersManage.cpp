#include "uUsersManage.h"

#include "AgentRequest.h"
#include "ClientPresence.h"
#include "DbError.h"
#include "DepartTreeModel.h"
#include "DialogSupport.h"
#include "FlagSets.h"
#include "InputBlocker.h"
#include "LanguageHooks.h"
#include "LiveRefresh.h"
#include "LogonInfo.h"
#include "MessageDialogs.h"
#include "Multilanguage.h"
#include "TMultilanguage.h"
#include "U_ScanClient.h"
#include "UserIcons.h"
#include "UserListLoader.h"
#include "UserListModel.h"
#include "uDepartRole.h"
#include "uUserAuth.h"
#include "uUserChose.h"
#include "uUserInfo.h"
#include "uUsersSearchDlg.h"
#include "ui_uUsersManage.h"

#include <QApplication>
#include <QDragMoveEvent>
#include <QElapsedTimer>
#include <QHash>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QSet>
#include <QShortcut>

using namespace Qt::Literals::StringLiterals;

TFrmUsersManage* FrmUsersManage = nullptr;

namespace {

// ImageUserPly holds the tree's icons, and the list's two share them with the controlled
// departments.
static_assert(DepartTree::ControlledIcon == UserRow::OnlineImage);
static_assert(DepartTree::ControlledInUseIcon == UserRow::OfflineImage);

QPixmap blankPixmap() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// A building: the whole organisation.
QIcon rootIcon() {
    QPixmap pixmap = blankPixmap();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0x1f, 0x4e, 0x8c));
    p.setBrush(QColor(0x3c, 0x7d, 0xd9));
    p.drawRect(QRectF(3.5, 2.5, 9, 12));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 2; ++column)
            p.drawRect(QRectF(5 + column * 4, 4 + row * 3.3, 2, 2));
    return QIcon(pixmap);
}

// A folder: an ordinary department.
QIcon departIcon() {
    QPixmap pixmap = blankPixmap();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0xb0, 0x80, 0x10));
    p.setBrush(QColor(0xf5, 0xc5, 0x42));
    QPainterPath path;
    path.moveTo(1.5, 3.5);
    path.lineTo(6.5, 3.5);
    path.lineTo(8, 5);
    path.lineTo(14.5, 5);
    path.lineTo(14.5, 13.5);
    path.lineTo(1.5, 13.5);
    path.closeSubpath();
    p.drawPath(path);
    return QIcon(pixmap);
}

QList<QIcon> makeImageUserPly() {
    return {rootIcon(), departIcon(), userIcon(true), userIcon(false)};
}

} // namespace

TFrmUsersManage::TFrmUsersManage(QObject* owner, QWidget* parent)
    : TChildForm(owner, parent), m_ui(std::make_unique<Ui::TFrmUsersManage>()),
      ImageUserPly(makeImageUserPly()) {
    m_ui->setupUi(this);
    Multilanguage1 = new TMultilanguage(this);
    Multilanguage1->SetShowLanguageMenu(false);
    Multilanguage1->SetAutoGenIniFile(true);
    Multilanguage1->SetActive(true);
    SetupViews();
    ConnectHandlers();
    FormCreate();
    Loaded();
}

TFrmUsersManage::~TFrmUsersManage() {
    m_loader.reset();  // a running load ends before the list it fills
    m_command.reset(); // a request still running ends unanswered
    UDPSev.reset();
    if (FrmUsersManage == this)
        FrmUsersManage = nullptr;
}

void TFrmUsersManage::SetupViews() {
    m_users = new UserListModel(ImageUserPly, this);
    QTableView* list = m_ui->LV_Man;
    list->setModel(m_users);
    // A click on a column header sorts by it; until then the rows keep the database's order.
    list->horizontalHeader()->setSectionsClickable(true);
    list->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    // Connected before the view's own sorting: the hourglass shows while a long list sorts.
    connect(list->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this,
            [] { showBusyUntilIdle(); });
    list->setSortingEnabled(true);
    FitColumnWidths();
    list->viewport()->installEventFilter(this);
    list->installEventFilter(this);
    auto* reread = new QShortcut(QKeySequence::Refresh, this); // owned by the window
    connect(reread, &QShortcut::activated, this, [this] { RereadViews(); });

    m_departs = new DepartTreeModel(ImageUserPly, this);
    QTreeView* tree = m_ui->TV_Department;
    tree->setModel(m_departs);
    tree->viewport()->installEventFilter(this);
    // The selection stays visible while another control has the focus.
    QPalette palette = tree->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    tree->setPalette(palette);
    m_ui->SplitterMain->setStretchFactor(1, 1);
    m_ui->SplitterMain->setSizes({200, 640});

    m_ui->MbtCom->setMenu(m_ui->PMCom);
    m_ui->MBtAuth->setMenu(m_ui->PMAuth);
    m_ui->MBtShow->setMenu(m_ui->PMShow);
}

void TFrmUsersManage::ConnectHandlers() {
    connect(m_ui->TV_Department->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] {
                if (!m_treeQuiet)
                    TV_DepartmentChange();
            });
    connect(m_ui->TV_Department, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) {
                const QPointer<TFrmUsersManage> self(this);
                TV_DepartmentContextPopup(pos);
                if (self) // not closed while a failed reload was reported
                    ShowPopup(m_ui->PMDepartment, m_ui->TV_Department, pos);
            });
    connect(m_ui->LV_Man, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        LV_ManContextPopup(pos);
        if (m_userMenuPops)
            ShowPopup(m_ui->PMUser, m_ui->LV_Man, pos);
    });
    connect(m_ui->LV_Man->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { LV_ManSelectItem(); });
    for (QAction* filter : {m_ui->S_All, m_ui->S_Online, m_ui->S_NotOn})
        connect(filter, &QAction::triggered, this, [this, filter] { S_AllClick(filter); });
    connect(m_ui->BtnRefresh, &QPushButton::clicked, this, [this] { BtnRefreshClick(); });
    connect(m_ui->BtClearFilter, &QToolButton::clicked, this, [this] { ClearFilter(); });
    ConnectDepartmentHandlers();
    ConnectUserHandlers();
    ConnectCommandHandlers();
}

void TFrmUsersManage::ConnectDepartmentHandlers() {
    connect(m_ui->MiDAdd, &QAction::triggered, this, [this] { MiDAddClick(); });
    connect(m_ui->MiDModify, &QAction::triggered, this, [this] { MiDModifyClick(); });
    connect(m_ui->MiDDelete, &QAction::triggered, this, [this] { MiDDeleteClick(); });
    connect(m_ui->MiDRole, &QAction::triggered, this, [this] { MiDRoleClick(); });
    connect(m_ui->MiDUser, &QAction::triggered, this, [this] { MiDUserClick(); });
}

void TFrmUsersManage::ConnectUserHandlers() {
    connect(m_ui->MiUAdd, &QAction::triggered, this, [this] { MiUAddClick(); });
    connect(m_ui->MiUModify, &QAction::triggered, this, [this] { MiUModifyClick(); });
    connect(m_ui->MiUDelete, &QAction::triggered, this, [this] { MiUDeleteClick(); });
    connect(m_ui->MiUAuth, &QAction::triggered, this, [this] { MiUAuthClick(); });
    connect(m_ui->MiOffline, &QAction::triggered, this, [this] { MiOfflineClick(); });
    connect(m_ui->MiExport, &QAction::triggered, this, [this] { MiExportClick(); });
    connect(m_ui->N6, &QAction::triggered, this, [this] { N6Click(); });
    connect(m_ui->BtSearch, &QPushButton::clicked, this, [this] { BtSearchClick(); });
    connect(m_ui->PMUser, &QMenu::aboutToShow, this, [this] { PMUserPopup(); });
    connect(m_ui->LV_Man, &QAbstractItemView::doubleClicked, this, [this] { LV_ManDblClick(); });
}

void TFrmUsersManage::ShowPopup(QMenu* menu, QWidget* view, const QPoint& pos) {
    auto* scrollArea = qobject_cast<QAbstractScrollArea*>(view);
    QWidget* origin = scrollArea ? scrollArea->viewport() : view;
    menu->popup(origin->mapToGlobal(pos));
}

void TFrmUsersManage::FormCreate() {
    ADOQuery1.setConnection(LogonInfo->Connection);
    ADOQuery2.setConnection(LogonInfo->Connection);
    ClientPort = LogonInfo->ClientPort;
    m_loader = std::make_unique<UserListLoader>(*m_users, ADOQuery1.connection(), nullptr);
    connect(m_loader.get(), &UserListLoader::progressed, this, [this] {
        ApplyPendingPresence();
        RestoreListPlace();
        RefreshStatus();
    });
    OpenPresenceListener();
    connect(m_loader.get(), &UserListLoader::failed, this, [this](const QString& message) {
        RefreshStatus();
        ReportShowUsersFailure(message);
    });
    if (DbConnection* connection = ADOQuery1.connection()) {
        connect(connection, &DbConnection::waitingForLock, this, [] { showBusyUntilIdle(); });
        m_live = std::make_unique<LiveRefresh>(
            *connection, [this] { return isEditing(); }, [this] { RereadViews(false); });
    }
    SetLanguages();
}

// When the host switches languages at run time, each dialog of the module goes once through
// its language hook.
void TFrmUsersManage::SetLanguages() {
    if (!LanguageSwitchOpen())
        return;
    TFrmUserInfo userInfo;
    TFrmDepartRole departRole;
    TFrm_UserChose userChose;
    TFrmUsersSearchDlg usersSearch;
    TFrmUserAuth userAuth;
    TFrm_ScanClient scanClient;
    for (QWidget* dialog : std::initializer_list<QWidget*>{&userInfo, &departRole, &userChose,
                                                           &usersSearch, &userAuth, &scanClient})
        SetFormLanguages(dialog);
}

// The show step runs right after the show event rather than inside it: it may ask questions,
// and Qt is still walking the widgets being shown.
void TFrmUsersManage::showEvent(QShowEvent* event) {
    TChildForm::showEvent(event);
    if (Shown || m_showPending)
        return;
    m_showPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!Shown)
                FormShow();
        },
        Qt::QueuedConnection);
}

// A translator installed or removed while the window is open: the form's captions, the column
// headers and the status line follow.
void TFrmUsersManage::changeEvent(QEvent* event) {
    TChildForm::changeEvent(event);
    if (event->type() != QEvent::LanguageChange)
        return;
    m_ui->retranslateUi(this);
    RetranslateBulkCommands();
    emit m_users->headerDataChanged(Qt::Horizontal, 0, UserListModel::SubItemCount);
    FitColumnWidths();
    ShowDepartCaption();
    ShowAgentNotice();
    RefreshStatus();
}

// The selected department above the list, and the view filter or search narrowing the list,
// with the button that clears it.
void TFrmUsersManage::ShowDepartCaption() {
    const QModelIndex node = selectedNode();
    if (!node.isValid())
        return;
    QString text = GetString(u"Depart"_s) + u" >> "_s + node.data().toString();
    if (!m_filterCaption.isEmpty())
        text += u"    ("_s + GetString(u"FilterActive"_s) + m_filterCaption + u')';
    m_ui->LbDepart->setText(text);
    m_ui->BtClearFilter->setVisible(!m_filterCaption.isEmpty());
    m_ui->BtClearFilter->setToolTip(GetString(u"FilterClear"_s));
    m_ui->BtClearFilter->setAccessibleName(GetString(u"FilterClear"_s));
}

void TFrmUsersManage::ClearFilter() {
    S_AllClick(m_ui->S_All);
}

// The columns' own widths, widened where a caption needs more (English ones are longer).
void TFrmUsersManage::FitColumnWidths() {
    QHeaderView* header = m_ui->LV_Man->horizontalHeader();
    for (int column = 0; column <= UserListModel::SubItemCount; ++column)
        header->resizeSection(column, std::max(UserListModel::Columns[column].width,
                                               header->sectionSizeHint(column)));
}

// Rights are applied before the tree is filled, so a failing load can never leave an
// administrator with controls his rights withhold.
void TFrmUsersManage::FormShow() {
    SetCompsAuths();
    const QPointer<TFrmUsersManage> self(this);
    try {
        BuildDepartTree();
    } catch (const DbError& error) {
        MyMessageBox(0, u"FormShow failed: "_s + error.message(), GetString(u"idinf"_s),
                     MB_WARNING_OK);
    }
    if (!self)
        return; // closed while a failure was shown
    if (isWindow())
        setWindowState(windowState() | Qt::WindowMaximized);
    Shown = true;
    m_showPending = false;
}

// A read-only database keeps the rights' controls where they are but disables every command
// that would write, and the dragging that moves departments and users.
void TFrmUsersManage::SetCompsAuths() {
    const qint32 auths = LogonInfo->AdminAuths;
    m_canWrite = !LogonInfo->Connection || !LogonInfo->Connection->isReadOnly();
    const bool editDeparts = BT(auths, AA_UserEdepart);
    for (QAction* item : {m_ui->MiDAdd, m_ui->MiDModify, m_ui->MiDDelete, m_ui->MiDRole})
        item->setVisible(editDeparts);
    for (QAction* item : {m_ui->MiDAdd, m_ui->MiUAuth, m_ui->MiOffline, m_ui->N6})
        item->setEnabled(m_canWrite);

    m_userMenuPops = BT(auths, AA_UserEuser);
    const bool dragUsers = m_userMenuPops && m_canWrite;
    m_ui->LV_Man->setDragEnabled(dragUsers);
    m_ui->LV_Man->setDragDropMode(dragUsers ? QAbstractItemView::DragOnly
                                            : QAbstractItemView::NoDragDrop);
    m_ui->TV_Department->setDragEnabled(m_canWrite);

    m_ui->MBtAuth->setVisible(BT(auths, AA_UserEauth));
    m_ui->MbtCom->setVisible(BT(auths, AA_UserC));
}

void TFrmUsersManage::SetEnables(bool value) {
    m_ui->MbtCom->setEnabled(value);
    m_ui->MBtAuth->setEnabled(value);
}

QModelIndex TFrmUsersManage::selectedNode() const {
    return m_ui->TV_Department->currentIndex();
}

std::optional<qint32> TFrmUsersManage::selectedDepart() const {
    const QModelIndex node = selectedNode();
    return node.isValid() ? std::optional(m_departs->departId(node)) : std::nullopt;
}

void TFrmUsersManage::SelectNode(const QModelIndex& node) {
    const QScopedValueRollback quiet(m_treeQuiet, true);
    m_ui->TV_Department->setCurrentIndex(node);
}

QList<int> TFrmUsersManage::selectedRows() const {
    QList<int> rows;
    const QModelIndexList indexes = m_ui->LV_Man->selectionModel()->selectedRows();
    rows.reserve(indexes.size());
    for (const QModelIndex& index : indexes)
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TFrmUsersManage::BuildDepartTree() {
    if (m_live)
        m_live->catchUp();
    DepartTree departs = DepartTree::read(ADOQuery1.connection(), LogonInfo->RootName);
    m_departsStoredTwice = departs.storedTwice();
    {
        const QScopedValueRollback quiet(m_treeQuiet, true);
        m_departs->setTree(std::move(departs));
        const QModelIndex root = m_departs->index(0, 0);
        m_ui->TV_Department->expand(root);
        const QModelIndex selected = m_departs->indexOf(LogonInfo->CurDepartId);
        m_ui->TV_Department->setCurrentIndex(selected.isValid() ? selected : root);
    }
    TreeDepartFresh();
}

// The caption and the current department follow the selection before the load: a load that
// fails leaves an empty list and zero counters, all of them about the selected department.
bool TFrmUsersManage::TreeDepartFresh() {
    const std::optional<qint32> depart = selectedDepart();
    if (!depart)
        return true;
    SetEnables(false);
    m_filterCaption.clear(); // the load below is unfiltered
    ShowDepartCaption();
    LogonInfo->CurDepartId = *depart;
    return ShowUsers(QString());
}

// Selects the department without reloading the list; callers refresh afterwards.
void TFrmUsersManage::Expand(qint32 id) {
    const QModelIndex found = m_departs->indexOf(id);
    if (!found.isValid())
        return;
    SelectNode(found);
    for (QModelIndex node = found; node.isValid(); node = node.parent())
        m_ui->TV_Department->expand(node);
}

void TFrmUsersManage::TV_DepartmentChange() {
    if (Shown && selectedNode().isValid())
        TreeDepartFresh();
}

void TFrmUsersManage::TV_DepartmentContextPopup(const QPoint& pos) {
    const QModelIndex node = m_ui->TV_Department->indexAt(pos);
    const bool onDepartment = node.isValid() && m_departs->departId(node) != 0;
    for (QAction* action : {m_ui->MiDModify, m_ui->MiDDelete, m_ui->MiDRole, m_ui->MiDUser})
        action->setEnabled(onDepartment && m_canWrite);
    if (!node.isValid())
        return;
    SelectNode(node); // one reload below, not two
    TreeDepartFresh();
}

bool TFrmUsersManage::ShowUsers(const QString& filter) {
    const std::optional<qint32> depart = selectedDepart();
    if (!depart)
        return true;
    if (filter.isEmpty())
        m_filterCaption.clear();
    const QString where =
        *depart != 0 ? u"where U.pid="_s + QString::number(*depart) : u"where 1 = 1 "_s;
    if (!LoadUsers(where + filter))
        return false; // reported; the window may have been closed meanwhile
    ShowDepartCaption();
    return true;
}

bool TFrmUsersManage::LoadUsers(const QString& where) {
    if (m_live)
        m_live->catchUp();
    m_listWhere = where;
    try {
        m_loader->start(UserListLoader::statement(where));
    } catch (const DbError& error) {
        RefreshStatus();
        ReportShowUsersFailure(error.message());
        return false;
    }
    RefreshStatus();
    return true;
}

void TFrmUsersManage::RereadViews(bool reportFailure) {
    const QPointer<TFrmUsersManage> self(this);
    ListPlace place;
    for (const int row : selectedRows())
        place.selectedUids.append(m_users->row(row).Item.Id);
    place.topRow = std::max(0, m_ui->LV_Man->indexAt(QPoint(0, 0)).row());
    const int treeScroll = m_ui->TV_Department->verticalScrollBar()->value();
    const QSet<qint32> expanded = ExpandedDeparts();
    const qint32 depart = LogonInfo->CurDepartId;
    const QString where = m_listWhere;
    const QString filterCaption = m_filterCaption;
    try {
        BuildDepartTree();
    } catch (const DbError& error) {
        if (reportFailure)
            MyMessageBox(0, u"BuildDepartTree failed: "_s + error.message(), GetString(u"idinf"_s),
                         MB_WARNING_OK);
        return;
    }
    if (!self)
        return;
    // A filter or a search on the same department is applied again.
    if (LogonInfo->CurDepartId == depart && m_listWhere != where) {
        if (!LoadUsers(where))
            return;
        m_filterCaption = filterCaption;
        ShowDepartCaption();
    }
    for (const qint32 id : expanded) {
        if (const QModelIndex node = m_departs->indexOf(id); node.isValid())
            m_ui->TV_Department->expand(node);
    }
    m_ui->TV_Department->verticalScrollBar()->setValue(treeScroll);
    m_placeToRestore = place;
    RestoreListPlace();
}

QSet<qint32> TFrmUsersManage::ExpandedDeparts() const {
    QSet<qint32> ids;
    for (int node = 0; node < m_departs->tree().size(); ++node) {
        if (m_ui->TV_Department->isExpanded(m_departs->indexOfNode(node)))
            ids.insert(m_departs->tree().id(node));
    }
    return ids;
}

// Once the rows from the kept top row on are shown (or the load has ended), scrolls there and
// selects again the users that are listed.
void TFrmUsersManage::RestoreListPlace() {
    if (!m_placeToRestore)
        return;
    QTableView* list = m_ui->LV_Man;
    const int shown = m_users->rowCount();
    const int page = list->viewport()->height() / std::max(1, list->rowHeight(0));
    if (isLoadingUsers() && shown <= m_placeToRestore->topRow + page)
        return; // a screenful below the top row is needed to scroll it to the top
    QItemSelection selection;
    for (const qint32 uid : m_placeToRestore->selectedUids) {
        if (const int row = m_users->findById(uid); row >= 0)
            selection.select(m_users->index(row, 0),
                             m_users->index(row, UserListModel::SubItemCount));
    }
    list->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (shown > 0)
        list->scrollTo(m_users->index(std::min(m_placeToRestore->topRow, shown - 1), 0),
                       QAbstractItemView::PositionAtTop);
    m_placeToRestore.reset();
}

bool TFrmUsersManage::isEditing() const {
    // A drag holds a mouse button down; renames and every other edit are dialogs.
    return !Shown || QApplication::activeModalWidget() || QApplication::activePopupWidget() ||
           QGuiApplication::mouseButtons() != Qt::NoButton || isWaitingForAgents();
}

bool TFrmUsersManage::isLoadingUsers() const {
    return m_loader->isLoading();
}

qint32 TFrmUsersManage::TotalCount() const {
    return m_users->store().size();
}

qint32 TFrmUsersManage::OnlineCount() const {
    return m_users->store().onlineCount();
}

qint32 TFrmUsersManage::DecryptCount() const {
    return m_users->store().decryptCount();
}

void TFrmUsersManage::ReportShowUsersFailure(const QString& message) {
    MyMessageBox(0, u"ShowUsers failed: "_s + message, GetString(u"idinf"_s), MB_WARNING_OK);
}

void TFrmUsersManage::RefreshStatus() {
    m_ui->LblOnle->setText(GetString(u"idonline"_s) + QString::number(OnlineCount()));
    m_ui->LblOffLine->setText(GetString(u"idoffline"_s) +
                              QString::number(TotalCount() - OnlineCount()));
    m_ui->LblTotal->setText(GetString(u"idAuser"_s) + QString::number(TotalCount()));
    m_ui->LblLde->setText(GetString(u"idLDe"_s) + QString::number(DecryptCount()));
    const auto chosen = m_ui->LV_Man->selectionModel()->selectedRows().size();
    m_ui->LblChose->setText(GetString(u"Chosen"_s) + tr("：") + QString::number(chosen));
    QStringList twice;
    for (const qint32 id : std::as_const(m_departsStoredTwice))
        twice.append(QString::number(id));
    m_ui->LblNote->setText(twice.isEmpty() ? QString()
                                           : GetString(u"DepartIdTwice"_s) + twice.join(u", "_s));
    m_ui->LblNote->setVisible(!twice.isEmpty());
}

void TFrmUsersManage::S_AllClick(QAction* clicked) {
    clicked->setChecked(true);
    m_filterCaption = plainCaption(clicked->text());
    QString filter;
    if (m_ui->S_Online->isChecked())
        filter = u" and OnLined <> 0"_s;
    else if (m_ui->S_NotOn->isChecked())
        filter = u" and OnLined = 0"_s;
    ShowUsers(filter);
}

void TFrmUsersManage::LV_ManClick() {
    SetEnables(m_ui->LV_Man->selectionModel()->hasSelection());
}

void TFrmUsersManage::LV_ManContextPopup(const QPoint& pos) {
    const QModelIndex index = m_ui->LV_Man->indexAt(pos);
    if (!index.isValid())
        return;
    m_ui->LV_Man->selectionModel()->select(index,
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    LV_ManClick();
}

void TFrmUsersManage::LV_ManSelectItem() {
    RefreshStatus();
}

bool TFrmUsersManage::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    const bool onTree = watched == m_ui->TV_Department->viewport();
    const bool onList = watched == m_ui->LV_Man->viewport();
    if ((onTree || onList) && type == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton)
        return true; // the context-menu handlers decide what a right-click selects
    if (onTree)
        return TreeDragEvent(event);
    if (onList && type == QEvent::MouseButtonRelease)
        LV_ManClick();
    if (watched == m_ui->LV_Man && type == QEvent::KeyRelease)
        LV_ManClick(); // keyboard selection enables the commands as a click does
    return TChildForm::eventFilter(watched, event);
}

// What a drag carries: users from the list, a department from the tree, or something from
// elsewhere (files from another program), which the tree never takes.
TFrmUsersManage::DragKind TFrmUsersManage::DragKindOf(const QMimeData* mime) const {
    if (!mime)
        return DragKind::Foreign;
    if (mime->hasFormat(UserListModel::mimeType()))
        return DragKind::Users;
    const QStringList treeFormats = m_ui->TV_Department->model()->mimeTypes();
    if (!treeFormats.isEmpty() && mime->hasFormat(treeFormats.first()))
        return DragKind::Department;
    return DragKind::Foreign;
}

// Drags over the tree: only this window's tree and list are sources, and the drop rules
// decide. A drop only ever copies, so the source view never removes what was dragged; the
// move itself runs after the drag has ended, since it may ask a question.
bool TFrmUsersManage::TreeDragEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter: {
        auto* enter = static_cast<QDragEnterEvent*>(event);
        const DragKind kind = DragKindOf(enter->mimeData());
        if (kind == DragKind::Foreign) {
            enter->ignore();
            return true;
        }
        // A department dragged from the tree moves the department, not users still
        // selected in the list.
        if (kind == DragKind::Department)
            m_ui->LV_Man->clearSelection();
        enter->acceptProposedAction();
        return true;
    }
    case QEvent::DragMove: {
        auto* move = static_cast<QDragMoveEvent*>(event);
        move->setDropAction(Qt::CopyAction);
        move->setAccepted(DragKindOf(move->mimeData()) != DragKind::Foreign &&
                          TV_DepartmentDragOver(move->position().toPoint()));
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (DragKindOf(drop->mimeData()) == DragKind::Foreign) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        const QPoint pos = drop->position().toPoint();
        QMetaObject::invokeMethod(
            this, [this, pos] { TV_DepartmentDragDrop(pos); }, Qt::QueuedConnection);
        return true;
    }
    default:
        return false;
    }
}
