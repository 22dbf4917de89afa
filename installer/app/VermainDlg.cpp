#include "installer/app/VermainDlg.h"

#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>

#include "installer/app/InstallerFlow.h"
#include "installer/app/ReadmeDlg.h"
#include "installer/app/SystemText.h"
#include "installer/app/WidgetMaking.h"

void EntryRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette::ColorGroup group =
        option.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive;
    painter->save();
    painter->fillRect(option.rect, option.palette.brush(
                                       group, selected ? QPalette::Highlight : QPalette::Base));
    painter->setPen(option.palette.color(group, selected ? QPalette::HighlightedText
                                                         : QPalette::Text));
    painter->setFont(option.font);
    const QRect textRect = option.rect.adjusted(2, 0, 0, 0);
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      index.data(Qt::DisplayRole).toString());
    if (option.state & QStyle::State_HasFocus) {
        painter->setPen(QPen(option.palette.color(group, QPalette::Text), 1, Qt::DotLine));
        painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}

QSize EntryRowDelegate::sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    return QSize(QStyledItemDelegate::sizeHint(option, index).width(), kRowHeight);
}


TVermainDlg::TVermainDlg(InstallerFlow& flow)
    : FixedDialog("TVermainDlg", 540, 390, EscapeKey::Cancels), flow_(flow) {
    setWindowTitle(FromSystem("Morvan（インストール）"));
    Title1Label = MakeLabel(this, "Title1Label", "", QRect(14, 10, 330, 20), Qt::AlignLeft);
    Title2Label = MakeLabel(this, "Title2Label", "", QRect(14, 32, 330, 20), Qt::AlignLeft);
    HyoujiButton = MakeButton(this, "HyoujiButton", "最新表示", QRect(440, 8, 88, 26));
    VernoLabel = MakeLabel(this, "VernoLabel", "", QRect(250, 38, 278, 20), Qt::AlignRight);
    KanriLabel = MakeLabel(this, "KanriLabel", "", QRect(250, 58, 278, 20), Qt::AlignRight);

    ListPanel = new QFrame(this);
    ListPanel->setObjectName(QStringLiteral("ListPanel"));
    ListPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ListPanel->setGeometry(10, 84, 520, 246);
    VerctlList = new QListWidget(ListPanel);
    VerctlList->setObjectName(QStringLiteral("VerctlList"));
    VerctlList->setGeometry(2, 2, 516, 242);
    VerctlList->setFont(FixedFont());
    VerctlList->setSelectionMode(QAbstractItemView::MultiSelection);
    VerctlList->setUniformItemSizes(true);
    VerctlList->setItemDelegate(new EntryRowDelegate(VerctlList));
    VerctlList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    OkButton = MakeButton(this, "OkButton", "OK", QRect(150, 344, 76, 28));
    CancelButton = MakeButton(this, "CancelButton", "ｷｬﾝｾﾙ", QRect(232, 344, 76, 28));
    BikouButton = MakeButton(this, "BikouButton", "備考", QRect(314, 344, 76, 28));
    OkButton->setDefault(true);
    OkButton->setAutoDefault(true);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);

    setTabOrder(VerctlList, OkButton);
    setTabOrder(OkButton, CancelButton);
    setTabOrder(CancelButton, BikouButton);
    setTabOrder(BikouButton, HyoujiButton);

    connect(OkButton, &QPushButton::clicked, this, [this] { flow_.OkButtonClick(); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { flow_.CancelButtonClick(); });
    connect(BikouButton, &QPushButton::clicked, this, [this] { BikouButtonClick(); });
    connect(HyoujiButton, &QPushButton::clicked, this, [this] { flow_.HyoujiButtonClick(); });
    connect(Timer1, &QTimer::timeout, this, [this] { flow_.Timer1Timer(); });
}

void TVermainDlg::reject() { flow_.CancelButtonClick(); }

void TVermainDlg::BikouButtonClick() {
    if (readme_ != nullptr) readme_->exec();
}
