// TVermainDlg: the main dialog. Two title lines, the version and revision labels, the
// list of script entries (one row per entry with commands, multi-selection), and the
// buttons OK, Cancel, notes and refresh. Its events go to the InstallerFlow; Timer1
// polls the running job.
#pragma once

#include <QStyledItemDelegate>
#include <QTimer>

#include "installer/app/FixedDialog.h"

class InstallerFlow;
class QFrame;
class QLabel;
class QListWidget;
class QPushButton;
class TReadmeDlg;

// Rows of the entry list: a fixed height of 21 pixels, each drawn as its plain text two
// pixels from the left edge over the filled row background.
class EntryRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    static constexpr int kRowHeight = 21;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

class TVermainDlg : public FixedDialog {
    Q_OBJECT
public:
    explicit TVermainDlg(InstallerFlow& flow);
    void SetReadmeDlg(TReadmeDlg* readme) { readme_ = readme; }

    QLabel* Title1Label;
    QLabel* Title2Label;
    QLabel* VernoLabel;
    QLabel* KanriLabel;
    QFrame* ListPanel;
    QListWidget* VerctlList;
    QPushButton* OkButton;
    QPushButton* CancelButton;
    QPushButton* BikouButton;
    QPushButton* HyoujiButton;
    QTimer* Timer1;

public slots:
    void reject() override;

private:
    void BikouButtonClick();
    InstallerFlow& flow_;
    TReadmeDlg* readme_ = nullptr;
};
