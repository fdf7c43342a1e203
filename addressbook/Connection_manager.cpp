#include "addressbook/Connection_manager.h"

#include "config/QuoteCheck.h"
#include "platform/Folders.h"
#include "lang/lang_res.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFont>
#include <QFontMetrics>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QToolButton>

std::function<void(const QString& text)> TConnect_manager::MessageHook;

namespace {

constexpr int ClientWidth = 783;
constexpr int ClientHeight = 514;
constexpr int ItemHeight = 20;
constexpr int DefaultPort = 8080;
constexpr const char* DefaultAddress = "192.168.1.100";
constexpr const char* HostsName = "hosts.ini";
constexpr const char* DragFormat = "application/x-kervola-host-row";

QString FromBytes(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

std::string ToBytes(const QString& s) {
    return s.toUtf8().toStdString();
}

// One list line; the item owns the record it shows.
class THostItem final : public QListWidgetItem {
public:
    explicit THostItem(const THostRec& record) : QListWidgetItem(FromBytes(record.Caption)) {
        Record.Assign(record);
        setSizeHint(QSize(0, ItemHeight));
    }
    THostRec Record;
};

// The entry list: drags start only here and it accepts only its own items. A drop moves the item
// under the press point to the place of the item under the drop point.
class THostList final : public QListWidget {
public:
    explicit THostList(TConnect_manager* owner) : QListWidget(owner), Owner(owner) {
        setSelectionMode(QAbstractItemView::SingleSelection);
        setDragEnabled(true);
        setAcceptDrops(true);
        setDragDropMode(QAbstractItemView::DragDrop);
        setUniformItemSizes(true);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        const QModelIndex index = indexAt(event->position().toPoint());
        PressRow = index.isValid() ? index.row() : -1;
        QListWidget::mousePressEvent(event);
    }
    void startDrag(Qt::DropActions) override {
        auto* mime = new QMimeData;
        mime->setData(DragFormat, QByteArray::number(PressRow));
        auto* drag = new QDrag(this);
        drag->setMimeData(mime);
        // The drop moves the item itself; the view must not remove anything afterwards.
        drag->exec(Qt::MoveAction);
        Owner->ListBox1EndDrag();
    }
    void dragEnterEvent(QDragEnterEvent* event) override { AcceptOwn(event); }
    void dragMoveEvent(QDragMoveEvent* event) override { AcceptOwn(event); }
    void dropEvent(QDropEvent* event) override {
        if (event->source() != this) {
            event->ignore();
            return;
        }
        const QModelIndex target = indexAt(event->position().toPoint());
        event->setDropAction(Qt::MoveAction);
        event->accept();
        Owner->DropEntry(PressRow, target.isValid() ? target.row() : -1);
    }

private:
    void AcceptOwn(QDragMoveEvent* event) {
        if (event->source() == this && event->mimeData()->hasFormat(DragFormat)) {
            event->setDropAction(Qt::MoveAction);
            event->accept();
        } else {
            event->ignore();
        }
    }

    TConnect_manager* Owner;
    int PressRow = -1;
};

THostItem* HostItem(QListWidgetItem* item) {
    return static_cast<THostItem*>(item);
}

} // namespace

TConnect_manager::TConnect_manager(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
    BuildControls();
}

TConnect_manager::~TConnect_manager() = default;

void TConnect_manager::BuildControls() {
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(14);
    setFont(font);
    setFixedSize(ClientWidth, ClientHeight);
    setSizeGripEnabled(false);

    ListBox1 = new THostList(this);
    ListBox1->setGeometry(8, 8, 340, ClientHeight - 16);

    const int right = 358;
    const int rightWidth = ClientWidth - 8 - right;
    ButtonAdd = new QPushButton(this);
    ButtonDelete = new QPushButton(this);
    ButtonUndo = new QToolButton(this);
    ButtonAdd->setGeometry(right, 8, 150, 30);
    ButtonDelete->setGeometry(right + 160, 8, 150, 30);
    ButtonUndo->setGeometry(ClientWidth - 8 - 34, 8, 34, 30);
    ButtonUndo->setIcon(
        QIcon::fromTheme(QStringLiteral("edit-undo"), style()->standardIcon(QStyle::SP_ArrowBack)));
    ButtonUndo->setEnabled(false);

    auto addEdit = [&](int top, QLabel*& label, QLineEdit*& edit) {
        label = new QLabel(this);
        edit = new QLineEdit(this);
        label->setGeometry(right, top, rightWidth, 20);
        edit->setGeometry(right, top + 22, rightWidth, 26);
        label->setBuddy(edit);
        edit->installEventFilter(this);
    };
    addEdit(56, LabelLabel, EditLabel);
    addEdit(112, LabelAddress, EditAddress);
    addEdit(168, LabelPort, EditPort);
    addEdit(224, LabelLogin, EditLogin);
    addEdit(280, LabelPassword, EditPassword);
    EditPassword->setEchoMode(QLineEdit::Password);
    EditPassword->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));

    CheckLoadConfig = new QCheckBox(this);
    CheckLoadConfig->setGeometry(right, ClientHeight - 84, rightWidth, 24);
    CheckLoadConfig->setChecked(true);

    QFont bold = font;
    bold.setBold(true);
    ButtonConnect = new QPushButton(this);
    ButtonDisconnect = new QPushButton(this);
    ButtonClose = new QPushButton(this);
    const int bottom = ClientHeight - 8 - 32;
    ButtonConnect->setGeometry(right, bottom, 140, 32);
    ButtonDisconnect->setGeometry(right + 148, bottom, 140, 32);
    ButtonClose->setGeometry(ClientWidth - 8 - 110, bottom, 110, 32);
    for (QPushButton* b : {ButtonConnect, ButtonDisconnect, ButtonClose})
        b->setFont(bold);
    // Enter belongs to the list and the edits, never to a default button.
    for (QPushButton* b : {ButtonAdd, ButtonDelete, ButtonConnect, ButtonDisconnect, ButtonClose}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    ListBox1->installEventFilter(this);
    connect(ListBox1, &QListWidget::itemSelectionChanged, this, [this] { ListBox1Click(); });
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, [this] { ChooseSelected(); });
    connect(ButtonAdd, &QPushButton::clicked, this, [this] { AddDetector(); });
    connect(ButtonDelete, &QPushButton::clicked, this, [this] { DeleteDetector(); });
    connect(ButtonUndo, &QToolButton::clicked, this, [this] { UndoDelete(); });
    connect(ButtonConnect, &QPushButton::clicked, this, [this] { ConnectClick(); });
    connect(ButtonDisconnect, &QPushButton::clicked, this, [this] { DisconnectClick(); });
    connect(ButtonClose, &QPushButton::clicked, this, &QDialog::reject);
    SetCaptions();
}

void TConnect_manager::SetCaptions() {
    setWindowTitle(Lang(ltConnection));
    ButtonAdd->setText(Lang(ltAddDetector));
    ButtonDelete->setText(Lang(ltDeleteDetector));
    LabelLabel->setText(Lang(ltDetectorLabel));
    LabelAddress->setText(Lang(ltHostAddress));
    LabelPort->setText(Lang(ltTCPPort));
    LabelLogin->setText(Lang(ltLogin));
    LabelPassword->setText(Lang(ltPassword));
    CheckLoadConfig->setText(Lang(ltLoadCurrentConfig));
    ButtonConnect->setText(Lang(ltConnect));
    ButtonDisconnect->setText(Lang(ltDisconnect));
    ButtonClose->setText(Lang(ltClose));

    const QFontMetrics metrics(ButtonAdd->font());
    const int addWidth = metrics.horizontalAdvance(ButtonAdd->text()) + 40;
    const int deleteWidth = metrics.horizontalAdvance(ButtonDelete->text()) + 40;
    const QRect add = ButtonAdd->geometry();
    ButtonAdd->setGeometry(add.x(), add.y(), addWidth, add.height());
    ButtonDelete->setGeometry(add.x() + addWidth + 10, add.y(), deleteWidth, add.height());
}

std::string TConnect_manager::HostsFileName() {
    return DataFolder() + HostsName;
}

void TConnect_manager::ShowMessage(const QString& text) {
    if (MessageHook) {
        MessageHook(text);
        return;
    }
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox::information(this, QStringLiteral("KERVOLA"), shown);
}

void TConnect_manager::LoadHosts() {
    const std::string path = HostsFileName();
    std::vector<THostRec> records;
    std::string error;
    switch (LoadHostsFile(path, records, &error)) {
    case THostsLoad::Missing:
        ShowMessage(QStringLiteral("File ") + FromBytes(path) + QStringLiteral(" not found.\r\n") +
                    QStringLiteral("New ") + HostsName + QStringLiteral(" file will be created."));
        return;
    case THostsLoad::Unreadable:
        ShowMessage(FromBytes(error));
        return;
    case THostsLoad::Recovered:
        // The list is written back when the dialog closes.
        KeepDamagedHostsFile(path);
        break;
    case THostsLoad::Loaded:
        break;
    }
    ListBox1->clear();
    for (const THostRec& record : records)
        ListBox1->addItem(new THostItem(record));
    if (ListBox1->count() > 0)
        SelectEntry(0);
}

void TConnect_manager::SaveHosts() {
    std::vector<THostRec> records;
    records.reserve(static_cast<size_t>(ListBox1->count()));
    for (int i = 0; i < ListBox1->count(); ++i)
        records.push_back(HostItem(ListBox1->item(i))->Record);
    std::string error;
    if (!SaveHostsFile(HostsFileName(), records, &error))
        ShowMessage(FromBytes(error));
}

int TConnect_manager::EntryCount() const {
    return ListBox1->count();
}

QStringList TConnect_manager::Labels() const {
    QStringList labels;
    for (int i = 0; i < ListBox1->count(); ++i)
        labels << ListBox1->item(i)->text();
    return labels;
}

const THostRec* TConnect_manager::Entry(int index) const {
    if (index < 0 || index >= ListBox1->count())
        return nullptr;
    return &HostItem(ListBox1->item(index))->Record;
}

int TConnect_manager::SelectedIndex() const {
    const QList<QListWidgetItem*> selected = ListBox1->selectedItems();
    return selected.isEmpty() ? -1 : ListBox1->row(selected.first());
}

void TConnect_manager::SelectEntry(int index) {
    if (index < 0 || index >= ListBox1->count()) {
        ListBox1->clearSelection();
        return;
    }
    ListBox1->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
    // The handler also runs when the entry was already selected.
    ListBox1Click();
}

void TConnect_manager::ListBox1Click() {
    const int index = SelectedIndex();
    if (index < 0)
        return;
    ButtonConnect->setEnabled(true);
    const THostRec& r = HostItem(ListBox1->item(index))->Record;
    EditLabel->setText(FromBytes(r.Caption));
    EditAddress->setText(FromBytes(r.Address));
    EditPort->setText(QString::number(r.Port));
    EditLogin->setText(FromBytes(r.Login));
    EditPassword->setText(FromBytes(r.Password));
    const QString created =
        r.Created == 0
            ? QString()
            : QLocale().toString(QDateTime::fromSecsSinceEpoch(static_cast<qint64>(r.Created)),
                                 QLocale::ShortFormat);
    ListBox1->setToolTip(FromBytes(r.Caption) + QStringLiteral("  ") + FromBytes(r.Address) +
                         QStringLiteral(" : ") + QString::number(r.Port) + QStringLiteral("  ") +
                         created);
}

void TConnect_manager::ChooseSelected() {
    const int index = SelectedIndex();
    if (index < 0)
        return;
    ButtonConnect->setEnabled(true);
    LastIndex = index;
    if (OnChoose)
        OnChoose(this, &HostItem(ListBox1->item(index))->Record);
    accept();
}

void TConnect_manager::ConnectClick() {
    if (SelectedIndex() < 0) {
        accept();
        return;
    }
    ChooseSelected();
}

void TConnect_manager::DisconnectClick() {
    if (OnChoose)
        OnChoose(this, nullptr);
}

bool TConnect_manager::LoadCurrentConfig() const {
    return CheckLoadConfig->isChecked();
}

void TConnect_manager::SetLoadCurrentConfig(bool on) {
    CheckLoadConfig->setChecked(on);
}

THostRec TConnect_manager::RecordFromEdits(const THostRec* base) const {
    // A file from elsewhere may hold texts that are not UTF-8 (a password above all); an edit
    // left as it was shown must give back the original bytes, not their replacement characters.
    auto bytes = [base](const QLineEdit* edit, std::string THostRec::*field) {
        const QString text = edit->text();
        if (base && FromBytes(base->*field) == text)
            return base->*field;
        return ToBytes(text);
    };
    THostRec r;
    r.Caption = bytes(EditLabel, &THostRec::Caption);
    r.Address = bytes(EditAddress, &THostRec::Address);
    r.Port = PortFromText(ToBytes(EditPort->text()), DefaultPort);
    r.Login = bytes(EditLogin, &THostRec::Login);
    r.Password = bytes(EditPassword, &THostRec::Password);
    r.Created = std::time(nullptr);
    return r;
}

bool TConnect_manager::RefuseBothQuotes(const THostRec* base) {
    struct Field {
        QLineEdit* Edit;
        std::string THostRec::*Value;
        int Caption;
    };
    const Field fields[] = {{EditLabel, &THostRec::Caption, ltDetectorLabel},
                            {EditAddress, &THostRec::Address, ltHostAddress},
                            {EditLogin, &THostRec::Login, ltLogin},
                            {EditPassword, &THostRec::Password, ltPassword}};
    bool refused = false;
    for (const Field& f : fields) {
        const QString kept = base ? FromBytes(base->*f.Value) : QString();
        // What the file held stays as it is; only what was typed is refused.
        if (f.Edit->text() == kept || !HoldsBothQuotes(ToBytes(f.Edit->text())))
            continue;
        f.Edit->setText(kept);
        if (!refused)
            ShowMessage(Lang(ltBothQuotes).arg(Lang(f.Caption)));
        refused = true;
    }
    return refused;
}

void TConnect_manager::AddDetector() {
    EditLabel->setText(EditLabel->text() + QLatin1Char('1'));
    EditLabel->setFocus();
    EditLabel->selectAll();
    if (!IsValidIpAddress(ToBytes(EditAddress->text())))
        EditAddress->setText(QString::fromLatin1(DefaultAddress));
    RefuseBothQuotes(Entry(SelectedIndex()));
    ListBox1->addItem(new THostItem(RecordFromEdits(Entry(SelectedIndex()))));
    SelectEntry(ListBox1->count() - 1);
}

void TConnect_manager::DeleteDetector() {
    const int index = SelectedIndex();
    if (index < 0 || ListBox1->count() < 2)
        return;
    ButtonUndo->setEnabled(true);
    // The file keeps the list as it was, which is what the undo button reloads.
    SaveHosts();
    delete ListBox1->takeItem(index);
    if (SelectedIndex() < 0)
        SelectEntry(ListBox1->count() - 1);
    else
        ListBox1Click();
}

void TConnect_manager::UndoDelete() {
    LoadHosts();
    ButtonUndo->setEnabled(false);
}

void TConnect_manager::CommitEdits() {
    const int index = SelectedIndex();
    if (index < 0)
        return;
    THostItem* item = HostItem(ListBox1->item(index));
    RefuseBothQuotes(&item->Record);
    item->setText(EditLabel->text());
    item->Record = RecordFromEdits(&item->Record);
}

void TConnect_manager::DropEntry(int fromIndex, int toIndex) {
    const int count = ListBox1->count();
    if (fromIndex < 0 || fromIndex >= count || toIndex < 0 || toIndex >= count)
        return;
    QListWidgetItem* item = ListBox1->takeItem(fromIndex);
    ListBox1->insertItem(toIndex, item);
    SelectEntry(toIndex);
}

void TConnect_manager::ListBox1EndDrag() {
    if (SelectedIndex() < 0)
        ButtonConnect->setEnabled(false);
}

void TConnect_manager::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    SetCaptions();
    CheckLoadConfig->setChecked(true);
    ButtonUndo->setEnabled(false);
    ListBox1->setFocus();
    if (LastIndex >= 0 && LastIndex < ListBox1->count())
        SelectEntry(LastIndex);
}

void TConnect_manager::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        if (!focusWidget() || focusWidget() == ListBox1 || focusWidget() == this)
            reject();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

bool TConnect_manager::eventFilter(QObject* watched, QEvent* event) {
    const bool isEdit = watched == EditLabel || watched == EditAddress || watched == EditPort ||
                        watched == EditLogin || watched == EditPassword;
    if (isEdit && event->type() == QEvent::FocusOut) {
        CommitEdits();
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (watched == ListBox1) {
        if (enter) {
            ChooseSelected();
            return true;
        }
        if (key == Qt::Key_Escape) {
            reject();
            return true;
        }
        return false;
    }
    if (isEdit && enter) {
        CommitEdits();
        focusNextChild();
        return true;
    }
    // Esc in an edit leaves the dialog open.
    return isEdit && key == Qt::Key_Escape;
}
