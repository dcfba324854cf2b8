#include "platform/qt/QtForms.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/qt/QtImages.h"
#include "ports/AboutForm.h"

namespace folioray {

namespace {

QLabel* TextLabel(const std::string& text, const char* name, QWidget* parent) {
    auto* label = new QLabel(QString::fromStdString(text), parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QFrame* Line(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

}  // namespace

DetForm::DetForm(QWidget* parent) : QDialog(parent), image1_(new QLabel(this)) {
    setObjectName(QStringLiteral("DetForm"));
    setWindowTitle(QStringLiteral("Full Size View"));
    setWindowIcon(DetailWindowIcon());
    setModal(true);
    setSizeGripEnabled(false);
    image1_->setObjectName(QStringLiteral("Image1"));
    image1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    image1_->installEventFilter(this);
    resize(312, 213);  // design inner size 4680 x 3195 twips
}

void DetForm::setPicture(const QImage& picture) {
    pictureSize_ = picture.size();
    image1_->setPixmap(QPixmap::fromImage(picture));
}

void DetForm::setInnerSize(const QSize& size) {
    resize(size);
}

void DetForm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // The picture box always fills the inner area.
    image1_->setGeometry(rect());
}

bool DetForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == image1_ && event->type() == QEvent::MouseButtonDblClick &&
        pictureSize_.isValid()) {
        // Fit the window around the picture again after the user resized it.
        resize(pictureSize_);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

AboutDialog::AboutDialog(AboutForm& about, QWidget* parent) : QDialog(parent), about_(about) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QString::fromStdString(about.Caption()));
    setModal(true);

    auto* picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setPixmap(QPixmap::fromImage(DrawProductPicture()));
    picIcon->setFixedSize(90, 62);

    auto* title = TextLabel(about.lblTitle(), "lblTitle", this);
    QFont bigger = title->font();
    bigger.setBold(true);
    bigger.setPointSizeF(bigger.pointSizeF() * 1.25);
    title->setFont(bigger);

    auto* cmdOK = new QPushButton(QString::fromStdString(about.cmdOKCaption()), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    auto* cmdSysInfo = new QPushButton(QString::fromStdString(about.cmdSysInfoCaption()), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));

    auto* text = new QVBoxLayout;
    text->addWidget(title);
    text->addWidget(TextLabel(about.lblVersion(), "lblVersion", this));
    text->addSpacing(6);
    text->addWidget(TextLabel(about.lblDescription(), "lblDescription", this));
    text->addWidget(TextLabel(about.lblDescription1(), "lblDescription1", this));

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    buttons->addStretch();

    auto* grid = new QGridLayout(this);
    grid->addWidget(picIcon, 0, 0, Qt::AlignTop);
    grid->addLayout(text, 0, 1, 1, 2);
    grid->addWidget(Line(this), 1, 0, 1, 3);
    grid->addWidget(TextLabel(about.lblDisclaimer(), "lblDisclaimer", this), 2, 0, 1, 2);
    grid->addLayout(buttons, 2, 2);
    grid->setColumnStretch(1, 1);
    // Sized from the font, so that a larger one still shows every line: the text column
    // holds about sixty characters, and the height follows the wrapped paragraphs.
    const int textWidth = fontMetrics().averageCharWidth() * 62;
    for (QLabel* label : findChildren<QLabel*>()) {
        if (label->wordWrap()) label->setMinimumWidth(textWidth);
    }
    grid->activate();
    const int width = std::max(560, grid->totalMinimumSize().width());
    setFixedSize(width, grid->totalHeightForWidth(width));

    connect(cmdOK, &QPushButton::clicked, this, [this] {
        about_.cmdOK_Click();
        accept();
    });
    connect(cmdSysInfo, &QPushButton::clicked, this, [this] {
        try {
            about_.cmdSysInfo_Click();
        } catch (...) {
            // The click ignores any failure of the launcher.
        }
    });
}

int ChooseFromList(QWidget* parent, const QString& title, const QString& label,
                   const QStringList& headings, const QList<QStringList>& rows, int current) {
    if (rows.isEmpty()) return -1;
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("ChooseFromList"));
    dialog.setWindowTitle(title);
    auto* table = new QTreeWidget(&dialog);
    table->setRootIsDecorated(false);
    table->setHeaderLabels(headings);
    table->setAllColumnsShowFocus(true);
    for (const QStringList& row : rows) table->addTopLevelItem(new QTreeWidgetItem(row));
    for (int c = 0; c < headings.size(); ++c) table->resizeColumnToContents(c);
    table->setCurrentItem(table->topLevelItem(current >= 0 && current < rows.size() ? current : 0));
    table->setMinimumWidth(table->header()->length() + 2 * table->frameWidth() + 4);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(label, &dialog));
    layout->addWidget(table);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(table, &QTreeWidget::itemDoubleClicked, &dialog, &QDialog::accept);
    if (dialog.exec() != QDialog::Accepted) return -1;
    return table->indexOfTopLevelItem(table->currentItem());
}

}  // namespace folioray
