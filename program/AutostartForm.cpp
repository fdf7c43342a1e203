#include "program/AutostartForm.h"

#include "platform/IniFile.h"
#include "lang/lang_res.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const char* const Section = "AUTOSTART";
}

TAutoForm::TAutoForm(QWidget* mainForm)
    : QDialog(mainForm, Qt::Dialog | Qt::WindowStaysOnTopHint), Form(mainForm) {
    setWindowTitle("SELECT CONNECT AUTO");
    QFont tahoma("Tahoma");
    tahoma.setPixelSize(14);
    setFont(tahoma);
    resize(475, 506);
    List = new QListWidget(this);
    List->setObjectName("CheckListBox1");
    Button1 = new QPushButton("Ok", this);
    Button1->setFixedSize(98, 33);
    auto* panel = new QWidget(this);
    panel->setFixedHeight(77);
    auto* panelLayout = new QHBoxLayout(panel);
    panelLayout->addStretch();
    panelLayout->addWidget(Button1);
    panelLayout->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(List);
    layout->addWidget(panel);
    connect(List, &QListWidget::itemChanged, this,
            [this](QListWidgetItem* item) { CheckListBox1ClickCheck(item); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
}

std::string TAutoForm::IniPath(const std::string& path) {
    return path.empty() ? "kervola.ini" : path;
}

TAutostartSettings TAutoForm::ReadSettings(const std::string& path) {
    const TIniFile ini(IniPath(path));
    TAutostartSettings s;
    s.Connection = ini.ReadInteger(Section, "CONNECTION", -1);
    s.Left = ini.ReadInteger(Section, "LEFT", 1);
    s.Top = ini.ReadInteger(Section, "TOP", 1);
    s.Width = ini.ReadInteger(Section, "WIDTH", 720);
    s.Height = ini.ReadInteger(Section, "HEIGHT", 576);
    s.ControlsEnabled = ini.ReadString(Section, "CONTROLS", "ON") == "ON";
    return s;
}

int TAutoForm::LoadAutostart(const std::string& path, TAutostartSettings* settings) {
    Path = IniPath(path);
    const TAutostartSettings s = ReadSettings(Path);
    Selected = s.Connection;
    if (settings)
        *settings = s;
    CheckAutostartItem(Selected);
    return Selected;
}

bool TAutoForm::SaveAutostart(const std::string& path) {
    Path = IniPath(path);
    int last = -1;
    for (int i = 0; i < List->count(); ++i)
        if (List->item(i)->checkState() == Qt::Checked)
            last = i;
    TIniFile ini(Path);
    bool ok = ini.WriteInteger(Section, "CONNECTION", last);
    if (Form) {
        const QRect frame = Form->frameGeometry();
        ok = ini.WriteInteger(Section, "LEFT", frame.left()) && ok;
        ok = ini.WriteInteger(Section, "TOP", frame.top()) && ok;
        ok = ini.WriteInteger(Section, "WIDTH", Form->width()) && ok;
        ok = ini.WriteInteger(Section, "HEIGHT", Form->height()) && ok;
    }
    return ok;
}

void TAutoForm::SetEntries(const QStringList& labels) {
    Updating = true;
    List->clear();
    for (const QString& label : labels) {
        auto* item = new QListWidgetItem(label, List);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    Updating = false;
}

void TAutoForm::CheckAutostartItem(int index) {
    Updating = true;
    for (int i = 0; i < List->count(); ++i)
        List->item(i)->setCheckState(Qt::Unchecked);
    if (index >= 0 && index < List->count())
        List->item(index)->setCheckState(Qt::Checked);
    Updating = false;
}

void TAutoForm::CheckListBox1ClickCheck(QListWidgetItem* item) {
    if (Updating || !item)
        return;
    const Qt::CheckState state = item->checkState();
    const int index = List->row(item);
    CheckAutostartItem(-1);
    Updating = true;
    item->setCheckState(state);
    Updating = false;
    Selected = state == Qt::Checked ? index : -1;
}

void TAutoForm::Button1Click() {
    SaveAutostart(Path);
    close();
}

void TAutoForm::showEvent(QShowEvent* event) {
    setWindowTitle(Lang(ltSelectAutoconnect));
    QDialog::showEvent(event);
}

void TAutoForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QDialog::keyPressEvent(event);
}
