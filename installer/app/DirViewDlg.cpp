#include "installer/app/DirViewDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QStyle>

#include "installer/app/InstallerFlow.h"
#include "installer/app/SystemText.h"
#include "installer/app/WidgetMaking.h"
#include "installer/util/DriveProbe.h"
#include "platform/Cp932.h"
#include "platform/FileSearch.h"
#include "platform/Files.h"
#include "platform/Prefix.h"

namespace {

constexpr int kDirectoryRole = Qt::UserRole + 1;
const QString kIndent = QStringLiteral("  ");

// "C:\" for a root, else the path without a trailing "\".
std::string NormalDirectory(std::string directory) {
    if (directory.size() > 3 && platform::FindLastCharDbcs(directory, '\\') == directory.size() - 1) {
        directory.pop_back();
    }
    if (directory.size() == 2 && directory[1] == ':') directory += "\\";
    return directory;
}

std::string ChildPath(const std::string& directory, const std::string& name) {
    return directory.back() == '\\' && directory.size() == 3 ? directory + name
                                                             : directory + "\\" + name;
}

}  // namespace

DirectoryListBox::DirectoryListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { SetDirectory(RowDirectory(item)); });
}

std::string DirectoryListBox::RowDirectory(const QListWidgetItem* item) {
    return item == nullptr ? std::string() : ToSystem(item->data(kDirectoryRole).toString());
}

void DirectoryListBox::SetDirectory(const std::string& requested) {
    directory_ = NormalDirectory(platform::FullWindowsPath(requested));
    clear();
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);

    // The open directories from the root down to the current one.
    std::vector<std::string> open{directory_.substr(0, 3)};
    std::size_t from = 3;
    while (from < directory_.size()) {
        std::size_t next = platform::FindCharDbcs(directory_, '\\', from);
        if (next == std::string::npos) next = directory_.size();
        open.push_back(directory_.substr(0, next));
        from = next + 1;
    }
    QListWidgetItem* current = nullptr;
    for (std::size_t depth = 0; depth < open.size(); ++depth) {
        std::string dir, name;
        if (depth == 0) {
            name = open[0];
        } else {
            name = open[depth].substr(platform::FindLastCharDbcs(open[depth], '\\') + 1);
        }
        auto* item = new QListWidgetItem(openIcon, kIndent.repeated(static_cast<int>(depth)) +
                                                       FromSystem(name));
        item->setData(kDirectoryRole, FromSystem(open[depth]));
        addItem(item);
        current = item;
    }
    std::vector<platform::FindEntry> entries;
    const std::string pattern = ChildPath(directory_, "*");
    if (platform::FindFiles(pattern, platform::FindSelection::AllEntries, entries) == 0) {
        for (const platform::FindEntry& entry : entries) {
            if (!(entry.attributes & platform::kAttrDirectory)) continue;
            if (entry.attributes & (platform::kAttrHidden | platform::kAttrSystem)) continue;
            auto* item = new QListWidgetItem(
                closedIcon,
                kIndent.repeated(static_cast<int>(open.size())) + FromSystem(entry.name));
            item->setData(kDirectoryRole, FromSystem(ChildPath(directory_, entry.name)));
            addItem(item);
        }
    }
    setCurrentItem(current);
}

void DirectoryListBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        const std::string row = RowDirectory(currentItem());
        if (!row.empty() && row != directory_) {
            // Enter on another row opens it; on the current directory it is OK's.
            SetDirectory(row);
            event->accept();
            return;
        }
        event->ignore();
        return;
    }
    QListWidget::keyPressEvent(event);
}

TDirViewDlg::TDirViewDlg(InstallerFlow& flow)
    : FixedDialog("TDirViewDlg", 330, 350, EscapeKey::Ignored), flow_(flow) {
    setWindowTitle(FromSystem("ディレクトリー参照"));
    DriveLabel = MakeLabel(this, "DriveLabel", "ドライブ", QRect(14, 10, 300, 20));
    DriveCombo = new QComboBox(this);
    DriveCombo->setObjectName(QStringLiteral("DriveCombo"));
    DriveCombo->setGeometry(14, 32, 302, 26);
    DriveCombo->setFont(FixedFont());
    DirectoryLabel = MakeLabel(this, "DirectoryLabel", "ディレクトリ", QRect(14, 64, 300, 20));
    DirectoryList = new DirectoryListBox(this);
    DirectoryList->setObjectName(QStringLiteral("DirectoryList"));
    DirectoryList->setGeometry(14, 86, 302, 206);
    OkButton = MakeButton(this, "OkButton", "OK", QRect(76, 306, 84, 28));
    CancelButton = MakeButton(this, "CancelButton", "ｷｬﾝｾﾙ", QRect(170, 306, 84, 28));
    OkButton->setDefault(true);
    setTabOrder(DriveCombo, DirectoryList);
    setTabOrder(DirectoryList, OkButton);
    setTabOrder(OkButton, CancelButton);
    connect(DriveCombo, &QComboBox::activated, this, [this](int index) { DriveComboChange(index); });
    connect(OkButton, &QPushButton::clicked, this, [this] { OkButtonClick(); });
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TDirViewDlg::FillDrives() {
    const QSignalBlocker blocker(DriveCombo);
    DriveCombo->clear();
    for (char letter : platform::ListDrives()) {
        DriveCombo->addItem(FromSystem(std::string(1, letter) + ":"), QChar::fromLatin1(letter));
    }
}

void TDirViewDlg::SelectDriveOf(const std::string& directory) {
    if (directory.empty()) return;
    const int index = DriveCombo->findData(QChar::fromLatin1(platform::UpperCaseAscii(directory.substr(0, 1))[0]));
    const QSignalBlocker blocker(DriveCombo);
    DriveCombo->setCurrentIndex(index);
}

void TDirViewDlg::showEvent(QShowEvent* event) {
    FillDrives();
    if (DirectoryList->Directory().empty()) {
        const std::string current = platform::GetCurrentDirectoryW();
        DirectoryList->SetDirectory(platform::DirectoryExists(current) ? current : "C:\\");
    }
    const std::size_t colon = platform::FindCharDbcs(StartDir, ':');
    const std::string drive = colon == std::string::npos ? "" : StartDir.substr(0, colon + 1);
    if (!drive.empty() && IsDriveAvailable(drive[0])) {
        SelectDriveOf(drive);
        if (platform::DirectoryExists(StartDir)) DirectoryList->SetDirectory(StartDir);
    }
    SelectDriveOf(DirectoryList->Directory());
    FixedDialog::showEvent(event);
}

void TDirViewDlg::DriveComboChange(int index) {
    const QString letter = DriveCombo->itemData(index).toString();
    if (letter.isEmpty()) return;
    const char drive = letter.at(0).toLatin1();
    if (InstallerFlow::DriveChangeAllowed(drive)) {
        DirectoryList->SetDirectory(std::string(1, drive) + ":\\");
    } else {
        SelectDriveOf(DirectoryList->Directory());
    }
}

void TDirViewDlg::OkButtonClick() {
    const std::string directory = DirectoryList->Directory();
    if (flow_.DirViewOk(directory) == DialogOutcome::Ok) {
        StartDir = directory;
        accept();
    }
}
