#include "NotesWindow.h"

#include <brelvo/Brelvo.h>

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QTextEdit>
#include <QTextCursor>
#include <QVBoxLayout>

#include <utility>

namespace {

const char* kStyle = R"(
NotesWindow, QStackedWidget > QWidget { background: #f4f5f7; }
QWidget#header { background: #3b6ea5; }
QLabel#headerTitle { color: white; font-size: 19px; font-weight: bold; }
QPushButton#headerButton { color: white; background: transparent; border: none; font-size: 16px; padding: 6px 10px; }
QPushButton#headerButton:pressed { color: #cfe0f2; }
QListWidget { border: none; background: white; font-size: 16px; }
QListWidget::item { padding: 12px 16px; border-bottom: 1px solid #e3e5e8; color: #222; }
QListWidget::item:selected { background: #dce8f5; color: #222; }
QPushButton#primary { background: #3b6ea5; color: white; font-size: 16px; border: none; border-radius: 8px; min-height: 44px; }
QPushButton#primary:pressed { background: #2f5a88; }
QLineEdit { font-size: 18px; padding: 8px; border: 1px solid #cdd2d8; border-radius: 6px; background: white; }
QTextEdit { font-size: 16px; padding: 6px; border: 1px solid #cdd2d8; border-radius: 6px; background: white; }
QLabel#about { font-size: 15px; color: #333; }
QLabel#status { font-size: 13px; color: #667; }
)";

QPushButton* headerButton(const QString& text) {
    auto* button = new QPushButton(text);
    button->setObjectName(QStringLiteral("headerButton"));
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

QString preview(const Note& note) {
    QString first = note.body.section(QLatin1Char('\n'), 0, 0).trimmed();
    if (first.size() > 38) first = first.left(37) + QChar(0x2026);
    return first.isEmpty() ? note.title : note.title + QLatin1Char('\n') + first;
}

}  // namespace

NotesWindow::NotesWindow(NoteStore& store, const QStringList& about, QWidget* parent)
    : QWidget(parent), store_(store) {
    setWindowTitle(QStringLiteral("Notes"));
    setStyleSheet(QString::fromLatin1(kStyle));
    resize(390, 844);

    stack_ = new QStackedWidget;
    listPage_ = makeListPage();
    editorPage_ = makeEditorPage();
    settingsPage_ = makeSettingsPage(about);
    stack_->addWidget(listPage_);
    stack_->addWidget(editorPage_);
    stack_->addWidget(settingsPage_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(stack_);
    reloadList();
}

QWidget* NotesWindow::makeHeader(const QString& title, QPushButton* left, QPushButton* right, QLabel** label) {
    auto* header = new QWidget;
    header->setObjectName(QStringLiteral("header"));
    header->setAttribute(Qt::WA_StyledBackground);
    header->setFixedHeight(56);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(6, 0, 6, 0);
    auto* text = new QLabel(title);
    text->setObjectName(QStringLiteral("headerTitle"));
    text->setAlignment(Qt::AlignCenter);
    // Equal room on both sides keeps the title centred.
    auto* leftSlot = new QWidget;
    auto* rightSlot = new QWidget;
    for (auto [slot, button] : {std::pair{leftSlot, left}, std::pair{rightSlot, right}}) {
        slot->setFixedWidth(88);
        auto* l = new QHBoxLayout(slot);
        l->setContentsMargins(0, 0, 0, 0);
        if (button) l->addWidget(button);
    }
    row->addWidget(leftSlot);
    row->addWidget(text, 1);
    row->addWidget(rightSlot);
    if (label) *label = text;
    return header;
}

QWidget* NotesWindow::makeListPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 16);
    layout->setSpacing(12);
    auto* settings = headerButton(QStringLiteral("About"));
    connect(settings, &QPushButton::clicked, this, &NotesWindow::showSettings);
    layout->addWidget(makeHeader(QStringLiteral("Notes"), nullptr, settings));

    list_ = new QListWidget;
    list_->setWordWrap(true);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(list_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) { openNote(list_->row(item)); });
    connect(list_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { openNote(list_->row(item)); });
    layout->addWidget(list_, 1);

    status_ = new QLabel;
    status_->setObjectName(QStringLiteral("status"));
    status_->setAlignment(Qt::AlignCenter);
    layout->addWidget(status_);

    auto* add = new QPushButton(QStringLiteral("New note"));
    add->setObjectName(QStringLiteral("primary"));
    connect(add, &QPushButton::clicked, this, [this] { openNote(-1); });
    auto* row = new QHBoxLayout;
    row->setContentsMargins(16, 0, 16, 0);
    row->addWidget(add);
    layout->addLayout(row);
    return page;
}

QWidget* NotesWindow::makeEditorPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 16);
    layout->setSpacing(12);
    back_ = headerButton(QStringLiteral("\u2039 Notes"));
    save_ = headerButton(QStringLiteral("Save"));
    connect(back_, &QPushButton::clicked, this, &NotesWindow::showList);
    connect(save_, &QPushButton::clicked, this, &NotesWindow::saveNote);
    layout->addWidget(makeHeader(QStringLiteral("Note"), back_, save_, &editorTitle_));

    auto* fields = new QVBoxLayout;
    fields->setContentsMargins(16, 4, 16, 0);
    fields->setSpacing(10);
    title_ = new QLineEdit;
    title_->setPlaceholderText(QStringLiteral("Title"));
    body_ = new QTextEdit;
    body_->setAcceptRichText(false);
    body_->setPlaceholderText(QStringLiteral("Write something"));
    fields->addWidget(title_);
    fields->addWidget(body_, 1);
    layout->addLayout(fields, 1);
    return page;
}

QWidget* NotesWindow::makeSettingsPage(const QStringList& about) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 16);
    auto* back = headerButton(QStringLiteral("\u2039 Notes"));
    connect(back, &QPushButton::clicked, this, &NotesWindow::showList);
    layout->addWidget(makeHeader(QStringLiteral("About"), back, nullptr));

    QStringList lines{QStringLiteral("<b>Notes %1</b>").arg(QCoreApplication::applicationVersion().toHtmlEscaped()),
                      QStringLiteral("A small notes application, in beta.")};
    for (const QString& line : about) lines << line.toHtmlEscaped();
    lines << QStringLiteral("Notes are kept in %1").arg(store_.path().toHtmlEscaped());
    auto* text = new QLabel(lines.join(QStringLiteral("<br><br>")));
    text->setObjectName(QStringLiteral("about"));
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    text->setContentsMargins(20, 16, 20, 0);
    layout->addWidget(text, 1);
    return page;
}

void NotesWindow::reloadList() {
    list_->clear();
    for (const Note& note : store_.notes()) list_->addItem(preview(note));
    status_->setText(store_.notes().size() == 1 ? QStringLiteral("1 note")
                                                : QStringLiteral("%1 notes").arg(store_.notes().size()));
}

void NotesWindow::openNote(int row) {
    const bool existing = row >= 0 && row < store_.notes().size();
    editing_ = existing ? row : -1;
    title_->setText(existing ? store_.notes()[row].title : QString());
    body_->setPlainText(existing ? store_.notes()[row].body : QString());
    editorTitle_->setText(existing ? QStringLiteral("Edit note") : QStringLiteral("New note"));
    stack_->setCurrentWidget(editorPage_);
    (existing ? static_cast<QWidget*>(body_) : title_)->setFocus();
    if (existing) body_->moveCursor(QTextCursor::End);
}

void NotesWindow::saveNote() {
    const bool added = editing_ < 0;
    if (!store_.save(editing_, title_->text(), body_->toPlainText())) {
        status_->setText(QStringLiteral("Could not save to %1").arg(store_.path()));
        return;
    }
    if (added) editing_ = 0;  // a new note goes to the top
    reloadList();
    list_->setCurrentRow(editing_);
    status_->setText(QStringLiteral("Saved \u201c%1\u201d").arg(store_.notes()[editing_].title));
    // A line for the testing service's log of this build.
    brelvo::Brelvo::shared().BVLog(QStringLiteral("note %1: %2 characters")
                                       .arg(added ? QStringLiteral("added") : QStringLiteral("saved"))
                                       .arg(body_->toPlainText().size()),
                                   2);
}

void NotesWindow::showList() {
    stack_->setCurrentWidget(listPage_);
}

void NotesWindow::showSettings() {
    stack_->setCurrentWidget(settingsPage_);
}

bool NotesWindow::listShown() const {
    return stack_->currentWidget() == listPage_;
}

bool NotesWindow::editorShown() const {
    return stack_->currentWidget() == editorPage_;
}
